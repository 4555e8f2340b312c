#!/usr/bin/env python3
"""Start and end of the real binary under the test's X server: the window
position written at exit and restored at the next start, a second instance
that ends at once, a "HotSync Manager" window of another process closed
before the ports open, and the exit program started once however the
program ends (Ctrl+E, the close box, SIGTERM)."""

import os
import signal
import subprocess
import sys
import time
import unittest

import e2elib

TW = e2elib.TWIPS_PER_PIXEL
X11RAW = os.path.join(os.path.dirname(os.path.abspath(__file__)), "x11raw.py")


def open_devices(pid):
    """The real paths of the files a process holds open."""
    paths = set()
    fd_dir = "/proc/%d/fd" % pid
    try:
        names = os.listdir(fd_dir)
    except OSError:
        return paths
    for name in names:
        try:
            paths.add(os.path.realpath(os.path.join(fd_dir, name)))
        except OSError:
            pass
    return paths


class LifecycleTest(unittest.TestCase):

    def settings(self, s, status="OFF", preferences=None, display=None):
        handheld, _ = s.pty_pair()
        modem, _ = s.pty_pair()
        extra = {"Preferences": dict(preferences or {})}
        if display:
            extra["Display"] = display
        s.standard_ini(handheld, modem, status=status, extra=extra)
        return handheld, modem

    def test_position_written_at_exit_and_restored(self):
        with e2elib.Session("position") as s:
            self.settings(s, display={"XLoc": str(100 * TW), "YLoc": str(200 * TW)})
            p = s.start_loomway()
            p.wait_for_window()
            e2elib.wait_until(lambda: (p.geometry().x, p.geometry().y) == (100, 200), 10,
                              what="the stored position")
            e2elib.run(["xdotool", "windowmove", str(p.wid), "150", "250"])
            e2elib.wait_until(lambda: (p.geometry().x, p.geometry().y) == (150, 250), 10,
                              what="the moved window")
            p.key("ctrl+e")
            self.assertEqual(p.wait_for_exit(), 0)
            display = s.ini().get("Display", {})
            self.assertEqual((display.get("XLoc"), display.get("YLoc")),
                             (str(150 * TW), str(250 * TW)))

            again = s.start_loomway()
            again.wait_for_window()
            e2elib.wait_until(lambda: (again.geometry().x, again.geometry().y) == (150, 250),
                              10, what="the position restored at the next start")
            again.process.send_signal(signal.SIGTERM)
            again.wait_for_exit()
            display = s.ini().get("Display", {})
            self.assertEqual((display.get("XLoc"), display.get("YLoc")),
                             (str(150 * TW), str(250 * TW)))

    def test_nothing_written_when_minimized(self):
        with e2elib.Session("minimized") as s:
            marker = s.path("exit-program-ran")
            self.settings(s, display={"XLoc": str(100 * TW), "YLoc": str(200 * TW)},
                          preferences={"StartApp": "sh -c 'echo ran >> %s'" % marker})
            p = s.start_loomway()
            p.wait_for_window()
            e2elib.run(["xdotool", "windowmove", str(p.wid), "150", "250"])
            e2elib.wait_until(lambda: (p.geometry().x, p.geometry().y) == (150, 250), 10,
                              what="the moved window")
            e2elib.run([sys.executable, X11RAW, "iconify", str(p.wid)])
            e2elib.wait_until(lambda: not e2elib.window_is_viewable(p.wid), 10,
                              what="the minimized window")
            time.sleep(0.5)
            p.process.send_signal(signal.SIGTERM)
            self.assertEqual(p.wait_for_exit(), 0)
            time.sleep(1.0)
            display = s.ini().get("Display", {})
            self.assertEqual((display.get("XLoc"), display.get("YLoc")),
                             (str(100 * TW), str(200 * TW)))
            self.assertFalse(os.path.exists(marker))

    def test_second_instance_ends_at_once(self):
        with e2elib.Session("second") as s:
            self.settings(s)
            first = s.start_loomway()
            first.wait_for_window()
            second = s.start_loomway()
            self.assertEqual(second.wait_for_exit(10), 0)
            self.assertEqual(e2elib.find_windows(e2elib.TITLE, second.pid), [])
            self.assertTrue(first.running())
            self.assertEqual(e2elib.find_windows(e2elib.TITLE, first.pid), [first.wid])

    def test_hotsync_manager_closed_before_the_ports_open(self):
        with e2elib.Session("hotsync") as s:
            handheld, modem = self.settings(s, status="ON",
                                            preferences={"CloseApp": "HotSync Manager"})
            log = s.path("hotsync.log")
            other = s.track(subprocess.Popen(
                [sys.executable, X11RAW, "window", "HotSync Manager", "--close-delay", "1.5",
                 "--log", log], stdout=subprocess.PIPE, preexec_fn=e2elib.die_with_test))
            other_wid = int(other.stdout.readline())
            other.stdout.close()
            devices = {os.path.realpath(handheld), os.path.realpath(modem)}
            p = s.start_loomway()
            open_while_there = []
            deadline = time.monotonic() + 30
            while time.monotonic() < deadline:
                there = e2elib.window_exists(other_wid)
                held = devices & open_devices(p.pid)
                if held and there:
                    open_while_there.append(held)
                if held == devices and not there:
                    break
                self.assertTrue(p.running(), s.program_log())
                time.sleep(0.02)
            self.assertEqual(open_while_there, [])
            self.assertEqual(devices & open_devices(p.pid), devices)
            self.assertEqual(other.wait(10), 0)
            with open(log) as f:
                self.assertEqual(len(f.readlines()), 1)
            p.wait_for_window()

    def test_start_goes_on_when_the_window_stays(self):
        # A "HotSync Manager" that never closes: start-up gives up waiting
        # for it (after 10 seconds) and opens the ports all the same.
        with e2elib.Session("hotsync-stays") as s:
            handheld, modem = self.settings(s, status="ON",
                                            preferences={"CloseApp": "HotSync Manager"})
            log = s.path("hotsync.log")
            other = s.track(subprocess.Popen(
                [sys.executable, X11RAW, "window", "HotSync Manager", "--ignore-close",
                 "--log", log], stdout=subprocess.PIPE, preexec_fn=e2elib.die_with_test))
            other_wid = int(other.stdout.readline())
            other.stdout.close()
            devices = {os.path.realpath(handheld), os.path.realpath(modem)}
            p = s.start_loomway()
            e2elib.wait_until(lambda: os.path.exists(log), 20, what="the close request")
            self.assertEqual(devices & open_devices(p.pid), set())
            e2elib.wait_until(lambda: devices & open_devices(p.pid) == devices, 30,
                              what="the ports to open after the wait")
            p.wait_for_window()
            self.assertTrue(e2elib.window_exists(other_wid))
            self.assertIsNone(other.poll())
            with open(log) as f:
                self.assertEqual(len(f.readlines()), 1)

    def test_exit_program_runs_once(self):
        ways = {
            "ctrl+e": lambda p: p.key("ctrl+e"),
            "close box": lambda p: e2elib.run([sys.executable, X11RAW, "close", str(p.wid)]),
            "SIGTERM": lambda p: p.process.send_signal(signal.SIGTERM),
        }
        for way, end in ways.items():
            with self.subTest(way=way), e2elib.Session("exitprogram") as s:
                marker = s.path("exit-program-ran")
                command = "sh -c 'echo ran >> %s'" % marker
                self.settings(s, status="ON", preferences={"StartApp": command})
                p = s.start_loomway()
                p.wait_for_window()
                self.assertFalse(os.path.exists(marker))
                end(p)
                self.assertEqual(p.wait_for_exit(), 0)
                e2elib.wait_until(lambda: os.path.exists(marker), 10, what="the exit program")
                time.sleep(0.5)
                with open(marker) as f:
                    self.assertEqual(f.read(), "ran\n")
                self.assertIn("XLoc", s.ini().get("Display", {}))


if __name__ == "__main__":
    unittest.main(verbosity=2)
