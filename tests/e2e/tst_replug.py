#!/usr/bin/env python3
"""A replug: the socat pair behind the cradle's by-id link ends and starts
again under that link. The relay resumes by itself; Reconnect=NO: the message."""

import os
import subprocess
import time
import unittest

import e2e

MESSAGE = "Verify Power/Connection"


def plug(s, link, far):
    line = s.start(["socat", "pty,raw,echo=0,link=" + link, "pty,raw,echo=0,link=" + far],
                   stderr=subprocess.DEVNULL)
    e2e.wait_until(lambda: os.path.exists(link) and os.path.exists(far), 5)
    return line, e2e.FarEnd(far)


def unplug(line, end):
    line.terminate()
    line.wait(5)
    end.close()


def cpu_ticks(pid):
    with open("/proc/%d/stat" % pid) as f:
        return sum(map(int, f.read().rsplit(")", 1)[1].split()[11:13]))  # utime, stime


class ReplugTest(unittest.TestCase):

    def test_replug(self):
        with e2e.Session() as s:
            palm, palm_far = s.path("serial/by-id/usb-Palm_Cradle-if00"), s.path("palm-far")
            os.makedirs(os.path.dirname(palm))
            line, hh = plug(s, palm, palm_far)
            modem, modem_far = s.pty_pair()
            s.write_ini(palm, modem)
            p = s.loomway(read_window=True, env={"LOOMWAY_SERIAL_DIR": s.path("serial")})
            p.wait_for_window()
            md = s.far(modem_far)
            hh.write(b"before")
            self.assertEqual(md.read(6), b"before")

            unplug(line, hh)
            e2e.wait_until(lambda: p.status(1) == "Waiting for COM1 (%s)" % palm, 10, "panel 2")
            held = bytes(range(256)) * 4
            md.write(held)
            ticks = cpu_ticks(p.pid)
            time.sleep(2)
            self.assertLessEqual(cpu_ticks(p.pid) - ticks, 4, "CPU ticks of 10 ms in 2 s waiting")

            line, hh = plug(s, palm, palm_far)
            self.assertEqual(hh.read(len(held)), held)
            hh.write(b"after")
            self.assertEqual(md.read(5), b"after")
            self.assertEqual(e2e.windows(p.pid, MESSAGE), [])

            s.write_ini(palm, modem, Ports={"Reconnect": "NO"})
            unplug(line, hh)
            e2e.wait_until(lambda: e2e.windows(p.pid, MESSAGE), 10, "the lost-device message")


if __name__ == "__main__":
    unittest.main(verbosity=2)
