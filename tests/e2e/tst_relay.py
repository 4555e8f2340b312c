#!/usr/bin/env python3
"""The relay in one program start: the window as a screen reader hears it, the traffic
monitor, every byte value both ways, and the switch that holds the ports."""

import re
import threading
import unittest

import e2e

EVERY_BYTE = bytes(range(256))
SWITCH = ((30 + 525 // 2) // e2e.TW, (90 + 240 // 2) // e2e.TW)  # imgOnOff, top left
LAMPS = ("PWR lamp", "RCV lamp", "SER lamp", "PRT lamp", "CLP lamp", "ON / OFF switch")
PANES = ("Sent from Palm", "Received by Palm")


class RelayTest(unittest.TestCase):

    def test_relay(self):
        with e2e.Session() as s:
            p, handheld_path, modem_path = s.relay(True, Preferences={"MenuVisible": "NO"})
            handheld, modem = s.far(handheld_path), s.far(modem_path)
            found = {n.name(): n for n in p.window().find(lambda n: n.name() in LAMPS + PANES, 3)}
            self.assertEqual(set(found), set(LAMPS + PANES))

            def states():
                return [found[name].description() for name in LAMPS]

            e2e.wait_until(lambda: states() == ["lit", "dark", "dark", "dark", "dark", "on"],
                           10, "redirection on: %r" % states())
            self.assertEqual(p.counters(), (0, 0))

            # A chunk from the handheld lights SER and is counted. The lamp
            # timer darkens it every two seconds whatever the traffic, so a
            # tick may fall between the chunk and the reading: up to three
            # chunks, each read at once.
            for chunks in range(1, 4):
                handheld.write(b"ATDT5551234\r")
                self.assertEqual(modem.read(12), b"ATDT5551234\r")
                p.wait_for_counters(12 * chunks, 0)
                if found["SER lamp"].description() == "lit":
                    break
            else:
                self.fail("the SER lamp did not light for any of three chunks")
            modem.write(b"\r\nCONNECT 115200\r\n")
            self.assertEqual(handheld.read(18), b"\r\nCONNECT 115200\r\n")

            # The traffic monitor: a row per chunk of either direction, with
            # its count and marks, and new rows while it is open.
            p.key("ctrl+t")
            app = p.bus.application("Palm Loomway")
            monitor = e2e.wait_until(lambda: [c for c in app.children()
                                              if c.name() == "Traffic Monitor"], 10, "monitor")[0]

            def shown():
                names = [n.name() for n in monitor.find(lambda n: True, depth=4)]
                return [x for x in names if re.fullmatch(r"\d+ chunks shown, \d+ dropped", x)], names

            e2e.wait_until(lambda: shown()[0] == ["%d chunks shown, 0 dropped" % (chunks + 1)],
                           10, "the count")
            for cell in ("handheld \u2192 modem", "modem \u2192 handheld", "forwarded",
                         "41 54 44 54 35 35 35 31 32 33 34 0D", "ATDT5551234.",
                         "ATDT5551234", "CONNECT 115200"):
                self.assertIn(cell, shown()[1])
            handheld.write(b"+++")
            self.assertEqual(modem.read(3), b"+++")
            e2e.wait_until(lambda: shown()[0] == ["%d chunks shown, 0 dropped" % (chunks + 2)],
                           10, "a new row")
            e2e.close_window(e2e.windows(p.pid, "Traffic Monitor")[0])

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
            pictures = "".join(chr(0x2400 + b) if b < 32 and b != 10 else "\u2421" if b == 127
                               else chr(b) for b in EVERY_BYTE)
            self.assertEqual(p.panes(), (pictures, "back\u2400\xff"))

            data, back = EVERY_BYTE * 64, bytes(reversed(EVERY_BYTE * 64))
            for source, dest, sent in ((handheld, modem, data), (modem, handheld, back)):
                writer = threading.Thread(target=source.write, args=(sent,), daemon=True)
                writer.start()
                self.assertEqual(dest.read(len(sent)), sent)
                writer.join(10)
            self.assertEqual(modem.read_for(0.3) + handheld.read_for(0.3), b"")
            p.wait_for_counters(256 + len(data), 6 + len(back))

            # The switch: the ports are held only while redirection is on; a
            # click or, as it has the focus, Space works it.
            self.assertEqual(p.status(), "STATUS:  ON")
            self.assertEqual(e2e.held(p.pid, p.devices), p.devices)
            p.click(*SWITCH)
            e2e.wait_until(lambda: p.status() == "STATUS:  OFF", 10, "OFF")
            e2e.wait_until(lambda: not e2e.held(p.pid, p.devices), 10, "the ports to close")
            e2e.wait_until(lambda: states()[0] == "dark" and states()[5] == "off", 10,
                           "redirection off: %r" % states())
            p.key("space")
            e2e.wait_until(lambda: states()[0] == "lit" and states()[5] == "on", 10,
                           "redirection on: %r" % states())
            self.assertEqual(p.status(), "STATUS:  ON")
            self.assertEqual(e2e.held(p.pid, p.devices), p.devices)
            handheld.write(b"on again")
            self.assertEqual(modem.read(8), b"on again")


if __name__ == "__main__":
    unittest.main(verbosity=2)
