#!/usr/bin/env python3
"""The redirection switch of the real binary, clicked from outside: the
status bar says ON or OFF, and the two serial devices are held open only
while redirection is on; data goes through again after the switch-on."""

import os
import unittest

import e2elib
from farend import FarEnd

TW = e2elib.TWIPS_PER_PIXEL
# imgOnOff: 525 x 240 twips at (30, 90) of picOnOff, which sits at the
# client's top left. The window shows no menu bar: client = window.
SWITCH = ((30 + 525 // 2) // TW, (90 + 240 // 2) // TW)


def held(pid, devices):
    fd_dir = "/proc/%d/fd" % pid
    open_now = set()
    for name in os.listdir(fd_dir):
        try:
            open_now.add(os.path.realpath(os.path.join(fd_dir, name)))
        except OSError:
            pass
    return devices & open_now


class SwitchTest(unittest.TestCase):

    def test_switch_click_turns_redirection_off_and_on(self):
        with e2elib.Session("switch") as s:
            handheld, handheld_far = s.pty_pair()
            modem, modem_far = s.pty_pair()
            devices = {os.path.realpath(handheld), os.path.realpath(modem)}
            s.standard_ini(handheld, modem, status="ON", startup="LEDs",
                           extra={"Preferences": {"MenuVisible": "NO"}})
            p = s.start_loomway(read_window=True)
            p.wait_for_window()
            p.wait_for_size(4425 // TW, 1170 // TW)
            hh = FarEnd(handheld_far)
            md = FarEnd(modem_far)
            s.cleanups += [hh.close, md.close]
            self.assertEqual(p.shown.status(), "STATUS:  ON")
            self.assertEqual(held(p.pid, devices), devices)
            hh.write(b"on")
            self.assertEqual(md.read(2), b"on")

            p.click(*SWITCH)
            e2elib.wait_until(lambda: p.shown.status() == "STATUS:  OFF", 10,
                              what="the status bar to say OFF")
            e2elib.wait_until(lambda: not held(p.pid, devices), 10, what="the ports to close")

            p.click(*SWITCH)
            e2elib.wait_until(lambda: p.shown.status() == "STATUS:  ON", 10,
                              what="the status bar to say ON")
            self.assertEqual(held(p.pid, devices), devices)
            hh.write(b"on again")
            self.assertEqual(md.read(8), b"on again")
            self.assertTrue(p.running())


if __name__ == "__main__":
    unittest.main(verbosity=2)
