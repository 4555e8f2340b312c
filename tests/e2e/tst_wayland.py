#!/usr/bin/env python3
"""On a Wayland session (weston headless with XWayland) the window appears on XWayland,
where Qt alone would not choose X11."""

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
            runtime, log, quiet = s.path("wayland-runtime"), s.path("weston.log"), subprocess.DEVNULL
            os.mkdir(runtime, 0o700)
            env = {k: v for k, v in os.environ.items()
                   if k not in ("DISPLAY", "QT_QPA_PLATFORM", "WAYLAND_DISPLAY")}
            env["XDG_RUNTIME_DIR"] = runtime
            weston = s.start(["weston", "--backend=headless-backend.so", "--xwayland",
                              "--socket=loomway-test", "--idle-time=0", "--log=" + log],
                             env=env, stdout=quiet, stderr=quiet)

            def display():
                text = open(log).read() if os.path.exists(log) else "no log"
                found = re.search(r"xserver listening on display (:\d+)", text)
                return found[1] if found else weston.poll() is not None and "ended; " + text[-400:]
            xdisplay = e2e.wait_until(display, 20, "weston's XWayland display")
            if not xdisplay.startswith(":"):
                self.skipTest("weston with XWayland cannot start here: " + xdisplay)

            env.update(WAYLAND_DISPLAY="loomway-test", XDG_SESSION_TYPE="wayland", DISPLAY=xdisplay)
            program = e2e.Program(s.start([e2e.LOOMWAY], env=env, stdout=quiet, stderr=quiet), None)
            os.environ["DISPLAY"] = xdisplay  # where xdotool looks for the window
            self.assertTrue(program.wait_for_window(30))


if __name__ == "__main__":
    unittest.main()
