#!/usr/bin/env python3
"""Start and end: the kept window position, a second instance, the view items' sizes, a
"HotSync Manager" window closed before the ports open, the exit program run once."""

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


def show_window(title, close_delay, log, ignore_close=False):
    """A window of this title; notes each close request in log and closes
    close_delay seconds after the first (never with ignore_close)."""
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
            if not ignore_close:
                time.sleep(close_delay)
                return


class LifecycleTest(unittest.TestCase):

    def start(self, s, status="OFF", **preferences):
        """Writes the settings; the ports and the exit program's marker file."""
        (handheld, _), (modem, _) = s.pty_pair(), s.pty_pair()
        marker = s.path("ran")
        s.write_ini(handheld, modem, Preferences=dict(
                        Status=status, StartApp="sh -c 'echo ran >> %s'" % marker, **preferences),
                    Display={"XLoc": str(100 * TW), "YLoc": str(200 * TW)})
        return {handheld, modem}, marker

    def display(self, s):
        """The [Display] keys of the settings file."""
        ini = configparser.ConfigParser(interpolation=None, strict=False)
        ini.optionxform = str
        ini.read(s.ini_path, encoding="latin-1")
        return dict(ini["Display"]) if ini.has_section("Display") else {}

    def stored_position(self, s):
        return self.display(s).get("XLoc"), self.display(s).get("YLoc")

    def move(self, p, x, y):
        e2e.run(["xdotool", "windowmove", str(p.wid), str(x), str(y)])
        e2e.wait_until(lambda: p.geometry()[:2] == (x, y), 10, "the window at %d,%d" % (x, y))

    def test_position_views_second_instance_and_exit(self):
        with e2e.Session() as s:
            _, marker = self.start(s)
            p = s.loomway()
            p.wait_for_window()
            e2e.wait_until(lambda: p.geometry()[:2] == (100, 200), 10, "the stored position")
            second = s.loomway()
            self.assertEqual(second.wait_for_exit(10), 0)

            # The view items size the window. Heights depend on the live
            # status bar height, read off the full view.
            full = e2e.wait_until(lambda: p.geometry()[2] == 406 and p.geometry(), 10, "full")
            panes = 855 + 2370 + 855 / 5
            bar = (full[3] * TW - panes) / 3.2
            self.assertTrue(12 * TW < bar < 40 * TW, full)
            for keys, width, height in [
                    ("ctrl+d", 4425, 2.4 * bar + 1170), ("ctrl+s", 6090, 2.35 * bar + 1170),
                    ("ctrl+h", 6090, 2.35 * bar + 1170),  # "H&ide Menu" waits for a view
                    ("ctrl+f", 6090, 2.2 * bar + panes), ("ctrl+d", 4425, 1170)]:
                p.key(keys)
                p.wait_for_size(width / TW, height / TW)
            # A double-click on imgPWR shows everything ("ALL").
            p.click((720 + 120 + 240) // TW, 240 // TW, count=2)
            p.wait_for_size(406, (3.2 * bar + panes) / TW)

            # "&Exit" keeps the position and starts the exit program once.
            self.move(p, 150, 250)
            self.assertFalse(os.path.exists(marker))
            p.key("ctrl+e")
            self.assertEqual(p.wait_for_exit(), 0)
            self.assertEqual(self.stored_position(s), (str(150 * TW), str(250 * TW)))
            e2e.wait_until(lambda: os.path.exists(marker), 10, "the exit program")
            again = s.loomway()
            again.wait_for_window()
            e2e.wait_until(lambda: again.geometry()[:2] == (150, 250), 10, "the kept position")
            self.assertEqual(open(marker).read(), "ran\n")

    def test_nothing_happens_at_exit_when_minimized(self):
        with e2e.Session() as s:
            _, marker = self.start(s)
            p = s.loomway()
            p.wait_for_window()
            self.move(p, 150, 250)
            iconify(p.wid)
            e2e.wait_until(lambda: "IsViewable" not in e2e.run(["xwininfo", "-id", str(p.wid)])
                           .stdout.decode(), 10, "the minimized window")
            time.sleep(0.5)
            p.process.send_signal(signal.SIGTERM)
            self.assertEqual(p.wait_for_exit(), 0)
            time.sleep(1.0)
            self.assertEqual(self.stored_position(s), (str(100 * TW), str(200 * TW)))
            self.assertFalse(os.path.exists(marker))

    def test_hotsync_manager_window(self):
        """Closed before the ports open; a window that stays delays the start only."""
        for stays in (False, True):
            with self.subTest(stays=stays), e2e.Session() as s:
                devices, _ = self.start(s, "ON", CloseApp="HotSync Manager")
                log = s.path("hotsync.log")
                other = s.start([sys.executable, os.path.abspath(__file__), "window",
                                 "HotSync Manager", "1.5", log] + ["--ignore"] * stays,
                                stdout=subprocess.PIPE)
                wid = int(other.stdout.readline())
                p = s.loomway()
                if stays:
                    e2e.wait_until(lambda: os.path.exists(log), 20, "the close request")
                    self.assertEqual(e2e.held(p.pid, devices), set())
                    e2e.wait_until(lambda: e2e.held(p.pid, devices) == devices, 30, "the ports")
                    self.assertIsNone(other.poll())
                else:
                    deadline = time.monotonic() + 30
                    while e2e.held(p.pid, devices) != devices and time.monotonic() < deadline:
                        there = e2e.geometry(wid) is not None
                        self.assertFalse(there and e2e.held(p.pid, devices), "ports open too early")
                        self.assertTrue(p.running())
                        time.sleep(0.02)
                    self.assertEqual(e2e.held(p.pid, devices), devices)
                    self.assertEqual(other.wait(10), 0)
                self.assertEqual(open(log).read(), "close requested\n")

    def test_exit_program_runs_once(self):
        ways = {"close box": lambda p: e2e.close_window(p.wid),
                "SIGTERM": lambda p: p.process.send_signal(signal.SIGTERM)}
        for way, end in ways.items():
            with self.subTest(way=way), e2e.Session() as s:
                _, marker = self.start(s, status="ON")
                p = s.loomway()
                p.wait_for_window()
                self.assertFalse(os.path.exists(marker))
                end(p)
                self.assertEqual(p.wait_for_exit(), 0)
                e2e.wait_until(lambda: os.path.exists(marker), 10, "the exit program")
                time.sleep(0.5)
                self.assertEqual(open(marker).read(), "ran\n")
                self.assertIn("XLoc", self.display(s))


if sys.argv[1:2] == ["window"]:
    show_window(sys.argv[2], float(sys.argv[3]), sys.argv[4], sys.argv[5:] == ["--ignore"])
elif __name__ == "__main__":
    unittest.main(verbosity=2)
