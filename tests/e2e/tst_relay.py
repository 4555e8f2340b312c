#!/usr/bin/env python3
"""The relay of the real binary between two pseudo-terminal pairs: every byte
value in both directions, the simulated modem dialled through it, requests
held back from the modem, and the serial method of the settings file."""

import unittest

import e2elib
from farend import FarEnd

EVERY_BYTE = bytes(range(256))


class RelayTest(unittest.TestCase):

    def start(self, s, methods=None, read_window=False):
        handheld, handheld_far = s.pty_pair()
        modem, modem_far = s.pty_pair()
        s.standard_ini(handheld, modem, status="ON", methods=methods)
        p = s.start_loomway(read_window=read_window)
        p.wait_for_window()
        return p, handheld_far, modem_far

    def test_every_byte_value_both_ways(self):
        with e2elib.Session("relay") as s:
            p, handheld_far, modem_far = self.start(s, read_window=True)
            self.assertEqual(p.shown.counters(), (0, 0))
            handheld = FarEnd(handheld_far)
            modem = FarEnd(modem_far)
            s.cleanups.append(handheld.close)
            s.cleanups.append(modem.close)
            data = EVERY_BYTE * 64
            writer = handheld.write_in_background(data)
            self.assertEqual(modem.read(len(data)), data)
            writer.join(10)
            back = bytes(reversed(data))
            writer = modem.write_in_background(back)
            self.assertEqual(handheld.read(len(back)), back)
            writer.join(10)
            # Nothing more than what was sent came out on either side.
            self.assertEqual(modem.read_for(0.3), b"")
            self.assertEqual(handheld.read_for(0.3), b"")
            p.wait_for_counters(len(data), len(back))

            # "&Both" resets counters and panes; the panes show each byte as
            # one character (control bytes as their pictures).
            p.key("ctrl+b")
            p.wait_for_counters(0, 0)
            self.assertEqual(p.shown.panes(), ("", ""))
            handheld.write(EVERY_BYTE)
            self.assertEqual(modem.read(256), EVERY_BYTE)
            modem.write(b"back\x00\xff")
            self.assertEqual(handheld.read(6), b"back\x00\xff")
            p.wait_for_counters(256, 6)
            shown = "".join(chr(0x2400 + b) if b < 32 and b != 10 else
                            "\u2421" if b == 127 else chr(b) for b in EVERY_BYTE)
            self.assertEqual(p.shown.panes(), (shown, "back\u2400\xff"))
            self.assertTrue(p.running())

    def test_dial_the_simulated_modem(self):
        with e2elib.Session("dial") as s:
            p, handheld_far, modem_far = self.start(s)
            modem = s.start_modem(modem_far, "--guard", "300")
            data_file = s.path("every-byte")
            with open(data_file, "wb") as f:
                f.write(EVERY_BYTE * 32)
            r = s.sim("--device", handheld_far, "--guard", "300", "handheld", "dial", "5551234",
                      "--line", "hello through the relay", "--data", data_file, "--hangup")
            self.assertEqual(r.returncode, 0, r.stderr + s.program_log().encode())
            lines = r.stdout.decode("latin-1").splitlines()
            self.assertEqual(lines[0], "CONNECT 115200")
            self.assertIn("echo: hello through the relay", lines)
            self.assertIn("echoed %d bytes unchanged" % (256 * 32), lines)
            self.assertEqual(lines[-1], "hung up")
            self.assertIn(b"dialled 5551234: CONNECT 115200", e2elib.output_of(modem))
            self.assertTrue(p.running())

    def test_requests_are_not_forwarded(self):
        with e2elib.Session("consumed") as s:
            p, handheld_far, modem_far = self.start(s)
            modem = FarEnd(modem_far)
            s.cleanups.append(modem.close)
            # Ordinary data before goes through; the chunk that completes a
            # clipboard request does not.
            r = s.sim("--device", handheld_far, "handheld", "send", "-", input=b"before")
            self.assertEqual(r.returncode, 0, r.stderr)
            self.assertEqual(modem.read(6), b"before")
            r = s.sim("--device", handheld_far, "handheld", "clip", "not for the modem")
            self.assertEqual(r.returncode, 0, r.stderr)
            e2elib.wait_until(lambda: e2elib.clipboard_text() == b"not for the modem", 10,
                              what="the clipboard request")
            self.assertEqual(modem.read_for(0.5), b"")
            # Split over chunks: the chunks before the completing one go on.
            r = s.sim("--device", handheld_far, "--chunk", "9", "--delay", "150", "handheld",
                      "clip", "split")
            self.assertEqual(r.returncode, 0, r.stderr)
            # "<LMW_C>sp" and "lit</LMW_" go on, "C>" completes the request.
            self.assertEqual(modem.read(18), b"<LMW_C>split</LMW_")
            self.assertEqual(modem.read_for(0.5), b"")
            e2elib.wait_until(lambda: e2elib.clipboard_text() == b"split", 10,
                              what="the split clipboard request")

    def test_serial_method_off(self):
        with e2elib.Session("serialoff") as s:
            p, handheld_far, modem_far = self.start(
                s, methods={"LMW_S": "NO", "LMW_P": "YES", "LMW_C": "YES"}, read_window=True)
            modem = FarEnd(modem_far)
            s.cleanups.append(modem.close)
            r = s.sim("--device", handheld_far, "handheld", "send", "-", input=EVERY_BYTE)
            self.assertEqual(r.returncode, 0, r.stderr)
            self.assertEqual(modem.read_for(1.0), b"")
            # Not forwarded, still counted.
            p.wait_for_counters(256, 0)
            # The handheld port is open and read all the same: its requests work.
            r = s.sim("--device", handheld_far, "handheld", "clip", "serial is off")
            self.assertEqual(r.returncode, 0, r.stderr)
            e2elib.wait_until(lambda: e2elib.clipboard_text() == b"serial is off", 10,
                              what="the clipboard request with the serial method off")
            self.assertEqual(modem.read_for(0.3), b"")
            self.assertTrue(p.running())

    def test_request_methods_off_forward_requests(self):
        with e2elib.Session("methodsoff") as s:
            p, handheld_far, modem_far = self.start(
                s, methods={"LMW_S": "YES", "LMW_P": "NO", "LMW_C": "NO"})
            modem = FarEnd(modem_far)
            s.cleanups.append(modem.close)
            before = e2elib.clipboard_text()
            r = s.sim("--device", handheld_far, "handheld", "clip", "ordinary data")
            self.assertEqual(r.returncode, 0, r.stderr)
            request = b"<LMW_C>ordinary data</LMW_C>"
            self.assertEqual(modem.read(len(request)), request)
            self.assertEqual(e2elib.clipboard_text(), before)
            # A status query is ordinary data too: forwarded, never answered.
            r = s.sim("--device", handheld_far, "--timeout", "1", "handheld", "status")
            self.assertEqual(r.returncode, 1)
            self.assertIn(b"no status reply came", r.stderr)
            request = b"<LMW_P><SRESP></LMW_P>"
            self.assertEqual(modem.read(len(request)), request)


if __name__ == "__main__":
    unittest.main(verbosity=2)
