#!/usr/bin/env python3
"""The relay of the real binary between two pseudo-terminal pairs: every byte
value both ways, counters and panes, the switch that holds the ports, and the
requests and methods that decide what reaches the modem."""

import unittest

import e2e

EVERY_BYTE = bytes(range(256))
SWITCH = ((30 + 525 // 2) // e2e.TW, (90 + 240 // 2) // e2e.TW)  # imgOnOff, top left


class RelayTest(unittest.TestCase):

    def start(self, s, read_window=False, **methods):
        handheld, self.handheld_far = s.pty_pair()
        modem, modem_far = s.pty_pair()
        self.devices = {handheld, modem}
        s.write_ini(handheld, modem, Methods=methods, Preferences={"MenuVisible": "NO"})
        p = s.loomway(read_window)
        p.wait_for_window()
        return p, s.far(self.handheld_far), s.far(modem_far)

    def test_every_byte_value_both_ways_and_the_switch(self):
        with e2e.Session() as s:
            p, handheld, modem = self.start(s, read_window=True)
            self.assertEqual(p.counters(), (0, 0))
            data = EVERY_BYTE * 64
            writer = handheld.write_in_background(data)
            self.assertEqual(modem.read(len(data)), data)
            writer.join(10)
            back = bytes(reversed(data))
            writer = modem.write_in_background(back)
            self.assertEqual(handheld.read(len(back)), back)
            writer.join(10)
            self.assertEqual(modem.read_for(0.3) + handheld.read_for(0.3), b"")
            p.wait_for_counters(len(data), len(back))

            # "&Both" clears counters and panes; a pane shows each byte as one
            # character, control bytes as their pictures.
            p.key("ctrl+b")
            p.wait_for_counters(0, 0)
            self.assertEqual(p.panes(), ("", ""))
            handheld.write(EVERY_BYTE)
            self.assertEqual(modem.read(256), EVERY_BYTE)
            modem.write(b"back\x00\xff")
            self.assertEqual(handheld.read(6), b"back\x00\xff")
            p.wait_for_counters(256, 6)
            shown = "".join(chr(0x2400 + b) if b < 32 and b != 10 else "\u2421" if b == 127
                            else chr(b) for b in EVERY_BYTE)
            self.assertEqual(p.panes(), (shown, "back\u2400\xff"))

            # The switch: the ports are held only while redirection is on.
            self.assertEqual(p.status(), "STATUS:  ON")
            self.assertEqual(e2e.held(p.pid, self.devices), self.devices)
            p.click(*SWITCH)
            e2e.wait_until(lambda: p.status() == "STATUS:  OFF", 10, "OFF")
            e2e.wait_until(lambda: not e2e.held(p.pid, self.devices), 10, "the ports to close")
            p.click(*SWITCH)
            e2e.wait_until(lambda: p.status() == "STATUS:  ON", 10, "ON")
            self.assertEqual(e2e.held(p.pid, self.devices), self.devices)
            handheld.write(b"on again")
            self.assertEqual(modem.read(8), b"on again")

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
