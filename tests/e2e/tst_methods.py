#!/usr/bin/env python3
"""What of the handheld's data reaches the modem through the real binary: the
requests it keeps, and the methods of the settings file."""

import unittest

import e2e

EVERY_BYTE = bytes(range(256))


class MethodsTest(unittest.TestCase):

    def start(self, s, read_window=False, **methods):
        p, self.handheld_far, modem_far = s.relay(
            read_window, Methods=methods, Preferences={"MenuVisible": "NO"})
        return p, s.far(self.handheld_far), s.far(modem_far)

    def test_requests_are_not_forwarded(self):
        with e2e.Session() as s:
            p, handheld, modem = self.start(s)
            r = s.sim("--device", self.handheld_far, "handheld", "send", "-", input=b"before")
            self.assertEqual((r.returncode, modem.read(6)), (0, b"before"))
            r = s.sim("--device", self.handheld_far, "handheld", "clip", "not for the modem")
            self.assertEqual(r.returncode, 0, r.stderr)
            e2e.wait_until(lambda: e2e.clipboard() == b"not for the modem", 10, "the clipboard")
            self.assertEqual(modem.read_for(0.5), b"")
            # Split: "<LMW_C>sp" and "lit</LMW_" go on, "C>" completes the request.
            r = s.sim("--device", self.handheld_far, "--chunk", "9", "--delay", "150",
                      "handheld", "clip", "split")
            self.assertEqual(r.returncode, 0, r.stderr)
            self.assertEqual(modem.read(18), b"<LMW_C>split</LMW_")
            self.assertEqual(modem.read_for(0.5), b"")
            e2e.wait_until(lambda: e2e.clipboard() == b"split", 10, "the split request")

    def test_serial_method_off(self):
        with e2e.Session() as s:
            p, handheld, modem = self.start(s, True, LMW_S="NO", LMW_P="YES", LMW_C="YES")
            handheld.write(EVERY_BYTE)
            self.assertEqual(modem.read_for(1.0), b"")
            p.wait_for_counters(256, 0)  # not forwarded, still counted
            # The handheld port is still read: its requests work.
            r = s.sim("--device", self.handheld_far, "handheld", "clip", "serial is off")
            self.assertEqual(r.returncode, 0, r.stderr)
            e2e.wait_until(lambda: e2e.clipboard() == b"serial is off", 10, "the clipboard")
            self.assertEqual(modem.read_for(0.3), b"")

    def test_request_methods_off_forward_requests(self):
        with e2e.Session() as s:
            p, handheld, modem = self.start(s, LMW_S="YES", LMW_P="NO", LMW_C="NO")
            before = e2e.clipboard()
            handheld.write(b"<LMW_C>ordinary data</LMW_C>")
            self.assertEqual(modem.read(28), b"<LMW_C>ordinary data</LMW_C>")
            self.assertEqual(e2e.clipboard(), before)
            # A status query is ordinary data too: forwarded, never answered.
            handheld.write(b"<LMW_P><SRESP></LMW_P>")
            self.assertEqual(modem.read(22), b"<LMW_P><SRESP></LMW_P>")
            self.assertEqual(handheld.read_for(1.0), b"")


if __name__ == "__main__":
    unittest.main(verbosity=2)
