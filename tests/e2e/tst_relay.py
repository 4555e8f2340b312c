#!/usr/bin/env python3
"""The relay of the real binary between two pseudo-terminal pairs: every byte
value both ways, counters and panes, and the switch that holds the ports."""

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


if __name__ == "__main__":
    unittest.main(verbosity=2)
