#!/usr/bin/env python3
"""The main window as a screen reader hears it over the accessibility bus:
every lamp and the switch by name with its state, the counters with their
value, the panes by name; and the switch worked from the keyboard alone."""

import unittest

import e2e

LAMPS = ("PWR lamp", "RCV lamp", "SER lamp", "PRT lamp", "CLP lamp", "ON / OFF switch")


class AccessibilityTest(unittest.TestCase):

    def test_lamps_switch_counters_and_panes(self):
        with e2e.Session() as s:
            handheld, handheld_far = s.pty_pair()
            modem, modem_far = s.pty_pair()
            s.write_ini(handheld, modem)
            p = s.loomway(read_window=True)
            p.wait_for_window()
            found = {n.name(): n for n in p.window().find(
                lambda n: n.name() in LAMPS + ("Sent from Palm", "Received by Palm"), 3)}
            self.assertEqual(set(found), set(LAMPS) | {"Sent from Palm", "Received by Palm"})

            def states():
                return [found[name].description() for name in LAMPS]

            e2e.wait_until(lambda: states() == ["lit", "dark", "dark", "dark", "dark", "on"],
                           10, "redirection on: %r" % states())
            self.assertEqual(p.counters(), (0, 0))

            # A chunk from the handheld lights SER and is counted. The lamp
            # timer darkens it every two seconds whatever the traffic, so a
            # tick may fall between the chunk and the reading: up to three
            # chunks, each read at once.
            for sent in range(1, 4):
                s.far(handheld_far).write(b"ATDT5551234\r")
                self.assertEqual(s.far(modem_far).read(12), b"ATDT5551234\r")
                p.wait_for_counters(12 * sent, 0)
                if found["SER lamp"].description() == "lit":
                    break
            else:
                self.fail("the SER lamp did not light for any of three chunks")

            # The switch has the focus at start; Space turns redirection off.
            p.key("space")
            e2e.wait_until(lambda: states()[0] == "dark" and states()[5] == "off", 10,
                           "redirection off: %r" % states())
            self.assertEqual(p.status(), "STATUS:  OFF")


if __name__ == "__main__":
    unittest.main()
