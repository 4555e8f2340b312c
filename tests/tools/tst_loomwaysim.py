#!/usr/bin/env python3
"""loomway-sim against real pseudo-terminal pairs: the bytes each command puts
on the line, read at the far end; replies played from the far end; the sim's
modem; exit codes. (tests/e2e: its status, print and dial against the program.)"""

import os
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
import e2e  # noqa: E402

REPLY = b"<LMW_RSP>STA=DEFINED~PRINT_HW=66,80~FONT_HW=180,120~LEN=%d~NAME=A ~ <B></LMW_RSP>"


class SimTest(unittest.TestCase):

    def setUp(self):
        self.s = e2e.Session()
        self.addCleanup(self.s.__exit__)
        self.a, b = self.s.pty_pair()
        self.far = self.s.far(b)

    def sim(self, *args, input=None):
        return self.s.sim("--device", self.a, *args, input=input)

    def background(self, *args, ready=None, on="stdout"):
        p = self.s.start([e2e.SIM, "--device", self.a, *args], stdout=subprocess.PIPE,
                         stderr=subprocess.PIPE)
        if ready is not None and ready not in (line := getattr(p, on).readline()):
            raise AssertionError("loomway-sim said %r" % line)
        return p

    def test_usage_errors_send_nothing(self):
        self.assertIn(b"handheld print FILE", self.s.sim("--help").stdout)
        for args in [[], ["handheld"], ["handheld", "fly"], ["phone"], ["handheld", "clip"],
                     ["handheld", "status", "extra"], ["--chunk", "0", "handheld", "clip", "x"],
                     ["--timeout", "-1", "handheld", "status"], ["modem", "--count", "2"],
                     ["--bogus", "modem"], ["handheld", "print", self.s.path("none")],
                     ["handheld", "clip", "a</LMW_C>b"]]:
            r = self.sim(*args)
            self.assertEqual((r.returncode, r.stderr[:13]), (2, b"loomway-sim: "), args)
        self.assertEqual(self.s.sim("handheld", "status").returncode, 2)  # no --device
        for device in (self.s.path("missing"), self.s.path("plain", b"x")):
            r = self.s.sim("--device", device, "modem")
            self.assertEqual(r.returncode, 2)
            self.assertIn(device.encode(), r.stderr)
        self.assertEqual(self.far.read_for(0.2), b"")

    def test_handheld_bytes_on_the_line(self):
        for args, stdin, expected in [
                (["clip", "one\r\ntwo\rthree\nfour"], None,
                 b"<LMW_C>one\ntwo\nthree\nfour</LMW_C>"),
                (["clip", "-"], b"in \xe9\n", b"<LMW_C>in \xe9\n</LMW_C>"),
                (["clip", "--latin1", "caf\u00e9 \u20ac"], None, b"<LMW_C>caf\xe9 ?</LMW_C>"),
                (["send", "-"], bytes(range(256)) * 8, bytes(range(256)) * 8),
                (["print", "-"], b"<FBOLD>Hi<NL>\n", b"<LMW_P><FBOLD>Hi<NL>\n</LMW_P>")]:
            r = self.sim("handheld", *args, input=stdin)
            self.assertEqual(r.returncode, 0, r.stderr)
            self.assertIn(b"%d bytes sent, 0 bytes received" % len(expected), r.stderr)
            self.assertEqual(self.far.read(len(expected)), expected)
            self.assertEqual(self.far.read_for(0.1), b"")
        r = self.sim("handheld", "print", "-", input=b"bad </LMW_P> doc")
        self.assertEqual((r.returncode, self.far.read_for(0.2)), (2, b""))
        p = self.background("--chunk", "4", "--delay", "300", "handheld", "clip", "hello")
        self.assertEqual(self.far.reads(20), [b"<LMW", b"_C>h", b"ello", b"</LM", b"W_C>"])
        self.assertEqual(p.wait(10), 0)

    def test_listen(self):
        p = self.background("handheld", "listen", "--count", "3",
                            ready=b"listening on", on="stderr")
        for piece in (b"modem data <LMW_C>line1\nli", b"ne2</LMW_C>x<LMW_C></LMW_C><LMW_",
                      b"C>\xe9</LMW_C>"):
            self.far.write(piece)
            time.sleep(0.1)
        self.assertEqual(p.communicate(timeout=15)[0], b"line1\nline2\n\n\xe9\n")
        r = self.sim("--timeout", "0.5", "handheld", "listen", "--count", "1")
        self.assertEqual(r.returncode, 1)
        self.assertIn(b"0 clipboard transfers of 1", r.stderr)

    def test_status_replies(self):
        fields = "STA=DEFINED\nPRINT_HW=66,80\nFONT_HW=180,120\nLEN=%d\nNAME=A ~ <B>\n"
        # Relayed bytes first, then the reply over two writes; a wrong LEN, a bad field or none: 1.
        for answer, code, out in [(REPLY % 7, 0, fields % 7), (REPLY % 8, 1, fields % 8),
                                  (REPLY.replace(b"66,80", b"1"), 1, ""),
                                  (REPLY.replace(b"PRINT_HW=66,80~", b""), 1, ""),
                                  (REPLY.replace(b"DEFINED", b"MAYBE"), 1, ""), (None, 1, "")]:
            p = self.background("--timeout", "2", "handheld", "status")
            self.assertEqual(self.far.read(22), b"<LMW_P><SRESP></LMW_P>")
            if answer:
                self.far.write(b"noise" + answer[:12])
                time.sleep(0.1)
                self.far.write(answer[12:])
            self.assertEqual((p.communicate(timeout=15)[0].decode(), p.returncode), (out, code))

    def test_modem_commands_on_the_wire(self):
        m = self.background("--speed", "28800", "--guard", "200", "modem", ready=b"modem: ready")
        data = bytes(range(256)) * 4
        # The sim's speed, guard time, echoing far end and summary (the interpreter: tests/lines).
        for command, answer in [(b"ATDT5551234\r", b"\r\nCONNECT 28800\r\n"), (data, data),
                                (b"+++", b"+++\r\nOK\r\n"), (b"ATH\r", b"\r\nOK\r\n")]:
            time.sleep(0.3 if command == b"+++" else 0)  # the guard time before an escape
            self.far.write(command)
            self.assertEqual(self.far.read(len(answer), 3), answer, command)
        m.terminate()
        out = m.communicate(timeout=5)[0].decode()
        self.assertEqual(m.returncode, 0)
        self.assertIn("hung up (5551234): %d bytes echoed" % (len(data) + 3), out)

    def test_dial_answers(self):
        p = self.background("handheld", "dial", "123")
        self.assertEqual(self.far.read(8), b"ATDT123\r")
        self.far.write(b"\r\nBUSY\r\n")
        self.assertEqual(p.communicate(timeout=10)[0], b"BUSY\n")
        self.assertEqual(p.returncode, 1)
        p = self.background("--timeout", "2", "handheld", "dial", "9", "--line", "abc")
        self.assertEqual(self.far.read(6), b"ATDT9\r")
        self.far.write(b"\r\nCONNECT 9600\r\n")
        self.assertEqual(self.far.read(5), b"abc\r\n")
        self.far.write(b"abd\r\n")
        self.assertIn(b"differs at byte 2", p.communicate(timeout=10)[1])
        r = self.sim("--timeout", "0.5", "handheld", "dial", "123")
        self.assertEqual(r.returncode, 1)
        self.assertIn(b"no answer from the modem", r.stderr)


if __name__ == "__main__":
    unittest.main(verbosity=2)
