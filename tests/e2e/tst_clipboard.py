#!/usr/bin/env python3
"""The clipboard both ways through the real binary: a request on the handheld
port lands on the desktop clipboard (read back by xclip, another process);
a click on the clipboard lamp sends the desktop clipboard to the handheld,
framed in the tags, with its carriage returns removed."""

import unittest

import e2elib
from farend import FarEnd

TW = e2elib.TWIPS_PER_PIXEL
# imgCLP: 480 x 480 twips at client (720 + 2880, 0); its caption lblClP,
# 495 x 255 twips, 480 twips below the panel's top. The test window shows
# no menu bar, so client and window coordinates are the same.
LAMP = (720 + 2880, 0, 480, 480)
LABEL = (720 + 2880, 480, 495, 255)


def centre(element):
    left, top, width, height = element
    return (left + width // 2) // TW, (top + height // 2) // TW


class ClipboardTest(unittest.TestCase):

    def start(self, s, clipboard_method="YES", read_window=False):
        handheld, handheld_far = s.pty_pair()
        modem, _ = s.pty_pair()
        s.standard_ini(handheld, modem, status="ON", startup="LEDs",
                       methods={"LMW_S": "YES", "LMW_P": "YES", "LMW_C": clipboard_method},
                       extra={"Preferences": {"MenuVisible": "NO"}})
        p = s.start_loomway(read_window=read_window)
        p.wait_for_window()
        p.wait_for_size(4425 // TW, 1170 // TW)
        return p, handheld_far

    def wait_clipboard(self, expected, what):
        return e2elib.wait_until(lambda: e2elib.clipboard_text() == expected, 10, what=what)

    def test_requests_from_the_handheld(self):
        with e2elib.Session("clip-in") as s:
            p, far = self.start(s)
            r = s.sim("--device", far, "handheld", "clip", "line1\nline2")
            self.assertEqual(r.returncode, 0, r.stderr)
            self.wait_clipboard(b"line1\r\nline2", "line1 CR LF line2 on the clipboard")

            # Split over three chunks, with a CR LF already in the text.
            r = s.sim("--device", far, "--chunk", "6", "--delay", "120", "handheld", "send",
                      "-", input=b"<LMW_C>one\r\ntwo</LMW_C>")
            self.assertEqual(r.returncode, 0, r.stderr)
            self.wait_clipboard(b"one\r\r\ntwo", "the split request")

            # 8-bit text from the handheld is Latin-1.
            r = s.sim("--device", far, "handheld", "send", "-", input=b"<LMW_C>caf\xe9</LMW_C>")
            self.assertEqual(r.returncode, 0, r.stderr)
            self.wait_clipboard("caf\u00e9".encode("utf-8"), "Latin-1 text")

            # An empty request empties the clipboard's text.
            r = s.sim("--device", far, "handheld", "clip", "")
            self.assertEqual(r.returncode, 0, r.stderr)
            self.wait_clipboard(b"", "the empty request")
            self.assertTrue(p.running())

    def test_lamp_click_sends_the_clipboard(self):
        with e2elib.Session("clip-out") as s:
            p, far = self.start(s)
            s.set_clipboard("line1\r\nline2 \u00e9".encode("utf-8"))
            listener = s.start_listener(far, "--latin1", "--timeout", "15", "--count", "1")
            p.click(*centre(LAMP))
            self.assertEqual(listener.wait(20), 0, e2elib.notes_of(listener))
            self.assertEqual(e2elib.output_of(listener), "line1\nline2 \u00e9\n".encode("utf-8"))

    def test_lamp_and_label_clicks_on_the_wire(self):
        with e2elib.Session("clip-wire") as s:
            p, far_path = self.start(s, read_window=True)
            far = FarEnd(far_path)
            s.cleanups.append(far.close)
            s.set_clipboard(b"line1\r\nline2")
            expected = b"<LMW_C>line1\nline2</LMW_C>"
            self.assertEqual(len(expected), 26)

            p.click(*centre(LAMP))
            self.assertEqual(far.read(len(expected)), expected)
            self.assertEqual(far.read_for(0.5), b"")
            # Counted towards the handheld with its tags, shown in txtReceive.
            p.wait_for_counters(0, 26)
            self.assertEqual(p.shown.panes(), ("", "<LMW_C>line1\nline2</LMW_C>"))

            # A double-click on the lamp sends once, on the label twice.
            p.double_click(*centre(LAMP))
            self.assertEqual(far.read(len(expected)), expected)
            self.assertEqual(far.read_for(0.7), b"")
            p.double_click(*centre(LABEL))
            self.assertEqual(far.read(2 * len(expected)), expected * 2)
            self.assertEqual(far.read_for(0.7), b"")
            p.click(*centre(LABEL))
            self.assertEqual(far.read(len(expected)), expected)
            self.assertEqual(far.read_for(0.7), b"")
            p.wait_for_counters(0, 26 * 5)

    def test_nothing_sent(self):
        # A clipboard that nobody owns, an empty one, and the method off.
        with e2elib.Session("clip-none") as s:
            p, far_path = self.start(s)
            far = FarEnd(far_path)
            s.cleanups.append(far.close)
            self.assertIsNone(e2elib.clipboard_text())
            p.click(*centre(LAMP))
            self.assertEqual(far.read_for(1.0), b"")
            s.set_clipboard(b"")
            p.click(*centre(LAMP))
            self.assertEqual(far.read_for(1.0), b"")
            self.assertTrue(p.running())
        with e2elib.Session("clip-off") as s:
            p, far_path = self.start(s, clipboard_method="NO")
            far = FarEnd(far_path)
            s.cleanups.append(far.close)
            s.set_clipboard(b"stays here")
            p.click(*centre(LAMP))
            self.assertEqual(far.read_for(1.0), b"")


if __name__ == "__main__":
    unittest.main(verbosity=2)
