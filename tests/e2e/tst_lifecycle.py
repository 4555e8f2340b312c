#!/usr/bin/env python3
"""Start and end over two program starts: a "HotSync Manager" window closed before the
ports open, the stored window position, a second instance, "&Exit" storing the position and
running the exit program once; minimized, a SIGTERM ends the program with neither."""

import configparser
import os
import signal
import struct
import subprocess
import sys
import time
import unittest

import e2e

TW = e2e.TW


def iconify(wid):
    """Minimizes a window as a window manager does: unmapped, WM_STATE Iconic."""
    x = e2e.X11()
    x.request(10, struct.pack("<I", wid))  # UnmapWindow
    state = x.atom("WM_STATE")
    x.set_property(wid, state, state, 32, struct.pack("<II", 3, 0))
    x.sync()


def show_window(title, log):
    """A window of this title; notes a close request in log and closes 1.5 s after it."""
    x = e2e.X11()
    wid = x.base | 1
    x.request(1, struct.pack("<IIhhHHHHIII", wid, x.root, 40, 40, 200, 100, 0, 1, 0, 0x2, 0))
    x.set_property(wid, 39, 31, 8, title.encode())  # WM_NAME, STRING
    x.set_property(wid, x.atom("_NET_WM_NAME"), x.atom("UTF8_STRING"), 8, title.encode())
    protocols, delete = x.atom("WM_PROTOCOLS"), x.atom("WM_DELETE_WINDOW")
    x.set_property(wid, protocols, 4, 32, struct.pack("<I", delete))
    x.request(8, struct.pack("<I", wid))  # MapWindow
    x.sync()
    print(wid, flush=True)
    while True:
        event = x.packet()
        if event[0] & 0x7F == 33 and struct.unpack("<II", event[8:16]) == (protocols, delete):
            with open(log, "a") as f:
                f.write("close requested\n")
            time.sleep(1.5)
            return


class LifecycleTest(unittest.TestCase):

    def test_start_and_end(self):
        with e2e.Session() as s:
            (handheld, _), (modem, _) = s.pty_pair(), s.pty_pair()
            devices, marker, log = {handheld, modem}, s.path("ran"), s.path("hotsync.log")
            s.write_ini(handheld, modem, Preferences={
                            "CloseApp": "HotSync Manager",
                            "StartApp": "sh -c 'echo ran >> %s'" % marker},
                        Display={"XLoc": str(100 * TW), "YLoc": str(200 * TW)})

            def stored():
                ini = configparser.ConfigParser(interpolation=None, strict=False)
                ini.read(s.ini_path, encoding="latin-1")
                return ini["Display"]["XLoc"], ini["Display"]["YLoc"]

            def move(p, x, y):
                e2e.run(["xdotool", "windowmove", str(p.wid), str(x), str(y)])
                e2e.wait_until(lambda: p.geometry()[:2] == (x, y), 10, "the window moved")

            other = s.start([sys.executable, os.path.abspath(__file__), "window",
                             "HotSync Manager", log], stdout=subprocess.PIPE)
            wid = int(other.stdout.readline())
            p = s.loomway()

            def opened():
                there = e2e.geometry(wid) is not None
                self.assertFalse(there and e2e.held(p.pid, devices), "ports open too early")
                return e2e.held(p.pid, devices) == devices
            e2e.wait_until(opened, 30, "the ports")
            self.assertEqual(other.wait(10), 0)
            self.assertEqual(open(log).read(), "close requested\n")

            p.wait_for_window()
            e2e.wait_until(lambda: p.geometry()[:2] == (100, 200), 10, "the stored position")
            self.assertEqual(s.loomway().wait_for_exit(10), 0)  # a second instance
            move(p, 150, 250)
            self.assertFalse(os.path.exists(marker))
            p.key("ctrl+e")
            self.assertEqual(p.wait_for_exit(), 0)
            self.assertEqual(stored(), (str(150 * TW), str(250 * TW)))
            e2e.wait_until(lambda: os.path.exists(marker), 10, "the exit program")

            # The kept position; minimized, the end stores nothing and runs nothing.
            p = s.loomway()
            p.wait_for_window()
            e2e.wait_until(lambda: p.geometry()[:2] == (150, 250), 10, "the kept position")
            move(p, 300, 350)
            iconify(p.wid)
            e2e.wait_until(lambda: "IsViewable" not in e2e.run(["xwininfo", "-id", str(p.wid)])
                           .stdout.decode(), 10, "the minimized window")
            time.sleep(0.5)
            p.process.send_signal(signal.SIGTERM)
            self.assertEqual(p.wait_for_exit(), 0)
            time.sleep(1.0)
            self.assertEqual(stored(), (str(150 * TW), str(250 * TW)))
            self.assertEqual(open(marker).read(), "ran\n")


if sys.argv[1:2] == ["window"]:
    show_window(sys.argv[2], sys.argv[3])
elif __name__ == "__main__":
    unittest.main(verbosity=2)
