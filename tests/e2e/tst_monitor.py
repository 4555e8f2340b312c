#!/usr/bin/env python3
"""The traffic monitor window of the real binary, opened through the View menu
with the keyboard: a row per chunk of either direction, its count and the
marks, as a screen reader reads them."""

import re
import unittest

import e2e

MONITOR = "Traffic Monitor"


class MonitorTest(unittest.TestCase):

    def test_opened_from_the_menu_shows_each_chunk(self):
        with e2e.Session() as s:
            handheld, handheld_far = s.pty_pair()
            modem, modem_far = s.pty_pair()
            s.write_ini(handheld, modem)
            p = s.loomway(read_window=True)
            p.wait_for_window()
            h, m = s.far(handheld_far), s.far(modem_far)
            h.write(b"ATDT5551234\r")
            self.assertEqual(m.read(12), b"ATDT5551234\r")
            m.write(b"\r\nCONNECT 115200\r\n")
            self.assertEqual(h.read(18), b"\r\nCONNECT 115200\r\n")

            p.key("alt+v", "m")  # View, "Traffic &Monitor"
            app = p.bus.application("Palm Loomway")
            window = e2e.wait_until(
                lambda: [c for c in app.children() if c.name() == MONITOR], 10, "the monitor")[0]

            def shown():
                names = [n.name() for n in window.find(lambda n: True, depth=4)]
                return [x for x in names if re.fullmatch(r"\d+ chunks shown, \d+ dropped", x)], names

            e2e.wait_until(lambda: shown()[0] == ["2 chunks shown, 0 dropped"], 10, "the count")
            names = shown()[1]
            for cell in ("handheld \u2192 modem", "modem \u2192 handheld", "forwarded",
                         "41 54 44 54 35 35 35 31 32 33 34 0D", "ATDT5551234.",
                         "ATDT5551234", "CONNECT 115200"):
                self.assertIn(cell, names)

            # New chunks come in while it is open.
            h.write(b"+++")
            self.assertEqual(m.read(3), b"+++")
            e2e.wait_until(lambda: shown()[0] == ["3 chunks shown, 0 dropped"], 10, "a new row")


if __name__ == "__main__":
    unittest.main()
