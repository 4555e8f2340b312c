#!/usr/bin/env python3
"""On a Wayland session (weston's headless backend with XWayland) the program
runs through XWayland: its window appears on the XWayland display, although
the session says Wayland and Qt alone would not choose X11 there."""

import os
import re
import shutil
import subprocess
import unittest

import e2e


class WaylandTest(unittest.TestCase):

    def test_window_on_xwayland(self):
        if not shutil.which("weston") or not shutil.which("Xwayland"):
            self.skipTest("weston or Xwayland is not installed")
        with e2e.Session() as s:
            runtime = s.path("wayland-runtime")
            os.mkdir(runtime, 0o700)
            log = s.path("weston.log")
            env = {k: v for k, v in os.environ.items()
                   if k not in ("DISPLAY", "QT_QPA_PLATFORM", "WAYLAND_DISPLAY")}
            env["XDG_RUNTIME_DIR"] = runtime
            weston = s.start(["weston", "--backend=headless-backend.so", "--xwayland",
                              "--socket=loomway-test", "--idle-time=0", "--log=" + log],
                             env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

            def display():
                if weston.poll() is not None:
                    return "ended"
                text = open(log).read() if os.path.exists(log) else ""
                found = re.search(r"xserver listening on display (:\d+)", text)
                return found.group(1) if found else None
            try:
                xdisplay = e2e.wait_until(display, 20, "weston's XWayland display")
            except AssertionError:
                xdisplay = "ended"
            if xdisplay == "ended":
                self.skipTest("weston with XWayland cannot start here: " +
                              (open(log).read()[-400:] if os.path.exists(log) else "no log"))

            env.update(WAYLAND_DISPLAY="loomway-test", XDG_SESSION_TYPE="wayland",
                       DISPLAY=xdisplay)
            program = s.start([e2e.LOOMWAY], env=env, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL)

            def window():
                if program.poll() is not None:
                    raise AssertionError("loomway ended with %s" % program.returncode)
                return e2e.run(["xdotool", "search", "--name", "^%s$" % re.escape(e2e.TITLE)],
                               env=dict(env, DISPLAY=xdisplay)).stdout.split()
            self.assertTrue(e2e.wait_until(window, 30, "the window on XWayland"))


if __name__ == "__main__":
    unittest.main()
