#!/usr/bin/env python3
"""A replugged cradle, end to end: the socat pair behind the cradle's link is
ended and started again under the same link, as udev removes and re-creates a
USB adapter's stable name. The relay resumes by itself, with no message and no
click; what the modem sent meanwhile waited in the modem port. With
[Ports] Reconnect=NO a loss shows the message of old and switches off."""

import os
import subprocess
import termios
import time
import tty
import unittest

import e2elib
from farend import FarEnd

MESSAGE = "Verify Power/Connection"


class KeptFarEnd(FarEnd):
    """Opened without flushing what already waits on the line."""

    def __init__(self, path):
        self.fd = os.open(path, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
        tty.setraw(self.fd, termios.TCSANOW)


def plug(session, link, far):
    line = session.track(subprocess.Popen(
        ["socat", "pty,raw,echo=0,link=" + link, "pty,raw,echo=0,link=" + far],
        stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
        preexec_fn=e2elib.die_with_test))
    seen = e2elib.wait_until(lambda: os.path.exists(link) and time.monotonic(), 5, step=0.001,
                             what="the cradle's link")
    e2elib.wait_until(lambda: os.path.exists(far), 5, step=0.001, what="the far end")
    return line, seen


def unplug(line, far_end):
    line.terminate()
    line.wait(5)
    far_end.close()


def cpu_ticks(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return int(fields[11]) + int(fields[12])  # utime + stime


def notice(program):
    """The text of the status bar's second panel."""
    bars = program.shown.frame.find(lambda n, role: role == "status bar", depth=2)
    return bars[0].children()[1].name()


class ReplugTest(unittest.TestCase):

    def test_replug_resumes_by_itself_and_no_keeps_the_message(self):
        with e2elib.Session("replug") as s:
            serial = s.path("serial")
            palm = os.path.join(serial, "by-id", "usb-Palm_Cradle-if00")
            palm_far = s.path("palm-far")
            os.makedirs(os.path.dirname(palm))
            line, _ = plug(s, palm, palm_far)
            modem, modem_far = s.pty_pair()
            s.standard_ini(palm, modem)
            p = s.start_loomway(env={"LOOMWAY_SERIAL_DIR": serial}, read_window=True)
            p.wait_for_window()
            hh, md = FarEnd(palm_far), FarEnd(modem_far)
            s.cleanups += [lambda: hh.close(), md.close]
            hh.write(b"before")
            self.assertEqual(md.read(6), b"before")

            unplug(line, hh)
            waiting = "Waiting for COM1 (%s)" % palm
            e2elib.wait_until(lambda: notice(p) == waiting, 10, what="panel 2 to name the port")
            held = bytes(range(256)) * 4
            md.write(held)
            before = cpu_ticks(p.pid)
            time.sleep(2)
            ticks = cpu_ticks(p.pid) - before
            print("CPU while waiting: %d ticks of 1/%d s in 2 s" %
                  (ticks, os.sysconf("SC_CLK_TCK")))
            self.assertLessEqual(ticks, 4)  # at most 2 % of one core
            self.assertEqual(p.shown.status(), "STATUS:  ON")

            line, returned = plug(s, palm, palm_far)
            hh = KeptFarEnd(palm_far)
            got = hh.read(1)
            resumed = time.monotonic() - returned
            print("relay resumed %.0f ms after the link came back" % (resumed * 1000))
            got += hh.read(len(held) - len(got)) if len(got) < len(held) else b""
            self.assertEqual(got, held)
            self.assertLess(resumed, 1.0)
            hh.write(b"after")
            self.assertEqual(md.read(5), b"after")
            e2elib.wait_until(lambda: notice(p) == "", 5, what="panel 2 to clear")
            self.assertEqual(e2elib.find_windows(MESSAGE, p.pid), [])

            ini = s.ini()
            ini["Ports"]["Reconnect"] = "NO"
            s.write_ini(ini)
            unplug(line, hh)
            e2elib.wait_until(lambda: e2elib.find_windows(MESSAGE, p.pid), 10,
                              what="the message of a lost device")
            self.assertEqual(notice(p), "")
            self.assertTrue(p.running())


if __name__ == "__main__":
    unittest.main(verbosity=2)
