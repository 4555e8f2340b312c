#!/usr/bin/env python3
"""The clipboard both ways: a handheld request lands on the desktop clipboard, not at the
modem; a click on the clipboard lamp or its caption sends the clipboard to the handheld."""

import subprocess
import unittest

import e2e

# imgCLP (480 x 480 twips) and its caption lblClP (495 x 255, 480 below),
# at client x 720 + 2880; the menu bar is hidden, so client = window.
LAMP = ((3600 + 240) // e2e.TW, 240 // e2e.TW)
LABEL = ((3600 + 247) // e2e.TW, (480 + 127) // e2e.TW)


def clipboard():
    """The CLIPBOARD as bytes, None when nobody owns it."""
    r = e2e.run(["xclip", "-o", "-selection", "clipboard"], timeout=10)
    return None if r.returncode else r.stdout


def set_clipboard(s, data):
    p = s.start(["xclip", "-quiet", "-selection", "clipboard", "-i"],
                stdin=subprocess.PIPE, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    p.stdin.write(data)
    p.stdin.close()
    e2e.wait_until(lambda: clipboard() == data, 10, "xclip to own the clipboard")


class ClipboardTest(unittest.TestCase):

    def start(self, s, method="YES"):
        p, path, modem = s.relay(read_window=True, Methods={"LMW_C": method},
                                 Preferences={"Startup": "LEDs", "MenuVisible": "NO"})
        p.wait_for_size(4425 // e2e.TW, 1170 // e2e.TW)
        return p, path, s.far(path), s.far(modem)

    def test_both_ways(self):
        with e2e.Session() as s:
            p, path, far, modem = self.start(s)
            # Nobody owns the clipboard: a click sends nothing.
            self.assertIsNone(clipboard())
            p.click(*LAMP)
            self.assertEqual(far.read_for(1.0), b"")

            requests = []

            def request(data, expected, *options):
                requests.append(data)
                r = s.sim("--device", path, *options, "handheld", "send", "-", input=data)
                self.assertEqual(r.returncode, 0, r.stderr)
                e2e.wait_until(lambda: clipboard() == expected, 10, repr(expected))

            request(b"<LMW_C>line1\nline2</LMW_C>", b"line1\r\nline2")
            request(b"<LMW_C>one\r\ntwo</LMW_C>", b"one\r\r\ntwo", "--chunk", "6", "--delay", "120")
            request(b"<LMW_C>caf\xe9</LMW_C>", "caf\u00e9".encode())
            request(b"<LMW_C></LMW_C>", b"")
            # Requests end at the program; of a split one, the chunks before
            # the completing one have gone on.
            self.assertEqual(modem.read_for(0.5), b"<LMW_C>one\r\ntwo</L")
            p.click(*LAMP)  # an empty clipboard sends nothing
            self.assertEqual(far.read_for(1.0), b"")
            p.wait_for_counters(len(b"".join(requests)), 0)

            # CR LF becomes LF; framed in the tags; counted and shown as received.
            set_clipboard(s, b"line1\r\nline2")
            sent = b"<LMW_C>line1\nline2</LMW_C>"
            p.click(*LAMP)
            self.assertEqual(far.read(26), sent)
            self.assertEqual(far.read_for(0.5), b"")
            p.wait_for_counters(len(b"".join(requests)), 26)
            self.assertEqual(p.panes()[1], sent.decode())
            # A double-click on the lamp sends once, on the caption twice.
            p.click(*LAMP, count=2)
            self.assertEqual(far.read(52, timeout=0.7), sent)
            p.click(*LABEL, count=2)
            self.assertEqual(far.read(52), sent * 2)
            p.click(*LABEL)
            self.assertEqual(far.read(26), sent)
            self.assertEqual(far.read_for(0.7), b"")

    def test_method_off_sends_nothing(self):
        with e2e.Session() as s:
            p, _, far, _ = self.start(s, method="NO")
            set_clipboard(s, b"stays here")
            p.click(*LAMP)
            self.assertEqual(far.read_for(1.0), b"")
            self.assertTrue(p.running())


if __name__ == "__main__":
    unittest.main(verbosity=2)
