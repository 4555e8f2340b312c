#!/usr/bin/env python3
"""loomway-sim against real pseudo-terminal pairs: the bytes each command puts
on the line, read at the far end; replies played from the far end; the sim's
modem against the sim's handheld; exit codes and chunk splitting."""

import os
import re
import select
import signal
import subprocess
import tempfile
import time
import tty
import unittest

SIM = os.path.join(os.environ.get("LOOMWAY_BINARY_DIR", "build"), "tools", "loomway-sim",
                   "loomway-sim")
TMP = os.environ.get("LOOMWAY_TEST_TMP") or tempfile.gettempdir()


class PtyPair:
    """Two pseudo-terminals joined by socat, as a null-modem cable."""

    def __init__(self):
        self.dir = tempfile.mkdtemp(dir=TMP)
        self.a = os.path.join(self.dir, "a")
        self.b = os.path.join(self.dir, "b")
        self.socat = subprocess.Popen(
            ["socat", "pty,raw,echo=0,link=" + self.a, "pty,raw,echo=0,link=" + self.b],
            stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 5
        while not (os.path.exists(self.a) and os.path.exists(self.b)):
            if time.monotonic() > deadline:
                raise RuntimeError("socat made no pty pair")
            time.sleep(0.01)

    def close(self):
        if self.socat.poll() is None:
            self.socat.terminate()
            self.socat.wait(5)


class FarEnd:
    """One end of a pair, raw, for reading and writing bytes."""

    def __init__(self, path):
        self.fd = os.open(path, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
        tty.setraw(self.fd)

    def write(self, data):
        os.write(self.fd, data)

    def reads(self, count, timeout=5.0):
        """The separate reads until `count` bytes came (or `timeout` passed)."""
        pieces = []
        got = 0
        deadline = time.monotonic() + timeout
        while got < count:
            left = deadline - time.monotonic()
            if left <= 0:
                break
            ready, _, _ = select.select([self.fd], [], [], left)
            if not ready:
                break
            piece = os.read(self.fd, 65536)
            pieces.append(piece)
            got += len(piece)
        return pieces

    def read(self, count, timeout=5.0):
        return b"".join(self.reads(count, timeout))

    def read_for(self, seconds):
        return self.read(1 << 30, seconds)

    def close(self):
        os.close(self.fd)


def sim(*args, stdin=None, timeout=30):
    return subprocess.run([SIM, *args], input=stdin, capture_output=True, timeout=timeout)


def start_sim(*args):
    return subprocess.Popen([SIM, *args], stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE)


def stop(process):
    if process.poll() is None:
        process.terminate()
        try:
            process.wait(5)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait(5)


def reply(sta="DEFINED", hw="66,80", font="180,120", length=7, name="FilePDF"):
    return ("<LMW_RSP>STA=%s~PRINT_HW=%s~FONT_HW=%s~LEN=%d~NAME=%s</LMW_RSP>" %
            (sta, hw, font, length, name)).encode("latin-1")


class SimTest(unittest.TestCase):

    def setUp(self):
        self.pair = PtyPair()
        self.far = FarEnd(self.pair.b)
        self.processes = []

    def tearDown(self):
        for p in self.processes:
            stop(p)
        self.far.close()
        self.pair.close()

    def background(self, *args):
        p = start_sim(*args)
        self.processes.append(p)
        return p

    def listener(self, *args):
        """The sim's handheld listening, once it says so."""
        p = self.background("--device", self.pair.a, *args, "handheld", "listen")
        self.assertIn(b"listening on", p.stderr.readline())
        return p

    def modem(self, *args):
        """The sim's modem, once it says it is ready."""
        m = self.background(*args)
        self.assertIn(b"modem: ready", m.stdout.readline())
        return m

    def handheld(self, *args, stdin=None):
        return sim("--device", self.pair.a, "handheld", *args, stdin=stdin)

    # --- usage and devices -------------------------------------------------

    def test_help_and_usage_errors(self):
        r = sim("--help")
        self.assertEqual(r.returncode, 0)
        self.assertIn(b"Examples:", r.stdout)
        self.assertIn(b"handheld print FILE", r.stdout)
        cases = [
            [],
            ["--device", self.pair.a],
            ["--device", self.pair.a, "handheld"],
            ["--device", self.pair.a, "handheld", "fly"],
            ["--device", self.pair.a, "phone"],
            ["--device", self.pair.a, "handheld", "clip"],
            ["--device", self.pair.a, "handheld", "clip", "a", "b"],
            ["--device", self.pair.a, "handheld", "status", "extra"],
            ["--device", self.pair.a, "--speed", "fast", "handheld", "status"],
            ["--device", self.pair.a, "--chunk", "0", "handheld", "clip", "x"],
            ["--device", self.pair.a, "--timeout", "-1", "handheld", "status"],
            ["--device", self.pair.a, "handheld", "clip", "x", "--status"],
            ["--device", self.pair.a, "modem", "--count", "2"],
            ["--device", self.pair.a, "--bogus", "modem"],
            ["handheld", "status"],
            ["--device", self.pair.a, "handheld", "print", os.path.join(TMP, "no-such-file")],
            ["--device", self.pair.a, "handheld", "clip", "a</LMW_C>b"],
        ]
        for args in cases:
            r = sim(*args)
            self.assertEqual(r.returncode, 2, (args, r.stderr))
            self.assertIn(b"loomway-sim: ", r.stderr)
        # Nothing went out for any of them.
        self.assertEqual(self.far.read_for(0.2), b"")

    def test_devices_that_cannot_be_opened(self):
        missing = os.path.join(TMP, "no-such-device")
        regular = os.path.join(TMP, "plain-file")
        with open(regular, "w") as f:
            f.write("x")
        for device in (missing, regular):
            for role in (["handheld", "status"], ["modem"]):
                r = sim("--device", device, *role)
                self.assertEqual(r.returncode, 2, r.stderr)
                self.assertIn(device.encode(), r.stderr)

    # --- handheld commands: the bytes on the line ---------------------------

    def test_clip_request_bytes(self):
        r = self.handheld("clip", "one\r\ntwo\rthree\nfour")
        self.assertEqual(r.returncode, 0, r.stderr)
        expected = b"<LMW_C>one\ntwo\nthree\nfour</LMW_C>"
        self.assertIn(b"%d bytes sent, 0 bytes received" % len(expected), r.stderr)
        self.assertEqual(self.far.read(len(expected)), expected)
        self.assertEqual(self.far.read_for(0.2), b"")

        r = self.handheld("clip", "-", stdin=b"from\r\nstdin \xe9\n")
        self.assertEqual(r.returncode, 0, r.stderr)
        expected = b"<LMW_C>from\nstdin \xe9\n</LMW_C>"
        self.assertEqual(self.far.read(len(expected)), expected)

        r = self.handheld("clip", "--latin1", "caf\u00e9 \u20ac")
        self.assertEqual(r.returncode, 0, r.stderr)
        expected = b"<LMW_C>caf\xe9 ?</LMW_C>"
        self.assertEqual(self.far.read(len(expected)), expected)

        r = self.handheld("clip", "")
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(self.far.read(15), b"<LMW_C></LMW_C>")

    def test_chunk_splits_the_request(self):
        p = self.background("--device", self.pair.a, "--chunk", "4", "--delay", "300",
                            "handheld", "clip", "hello")
        pieces = self.far.reads(20)
        self.assertEqual(p.wait(10), 0)
        self.assertEqual(b"".join(pieces), b"<LMW_C>hello</LMW_C>")
        self.assertEqual(pieces, [b"<LMW", b"_C>h", b"ello", b"</LM", b"W_C>"])

        # Without --chunk everything goes in one piece.
        r = self.handheld("send", "-", stdin=b"x" * 300)
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(self.far.read(300), b"x" * 300)

    def test_send_every_byte_value(self):
        data = bytes(range(256)) * 8
        path = os.path.join(TMP, "all-bytes")
        with open(path, "wb") as f:
            f.write(data)
        r = self.handheld("send", path)
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(self.far.read(len(data)), data)

    def test_print_without_status(self):
        doc = b"<FBOLD>Hello<NL>World\n"
        r = self.handheld("print", "-", stdin=doc)
        self.assertEqual(r.returncode, 0, r.stderr)
        expected = b"<LMW_P>" + doc + b"</LMW_P>"
        self.assertEqual(self.far.read(len(expected)), expected)
        self.assertEqual(self.far.read_for(0.2), b"")

        r = self.handheld("print", "-", stdin=b"bad </LMW_P> doc")
        self.assertEqual(r.returncode, 2)
        self.assertEqual(self.far.read_for(0.2), b"")

    def test_print_with_status_reply(self):
        doc = b"Page <PAGEN><NL>"
        body_len = len(doc) + len(b"<SRESP>")
        path = os.path.join(TMP, "doc")
        with open(path, "wb") as f:
            f.write(doc)
        p = self.background("--device", self.pair.a, "--timeout", "10", "--chunk", "5",
                            "--delay", "20", "handheld", "print", path, "--status")
        expected = b"<LMW_P>" + doc + b"<SRESP></LMW_P>"
        self.assertEqual(self.far.read(len(expected)), expected)
        # Relayed bytes first, then the reply split over two writes; the name
        # is sent unescaped.
        answer = reply(length=body_len, name="Office ~ <Laser>")
        self.far.write(b"noise" + answer[:12])
        time.sleep(0.1)
        self.far.write(answer[12:])
        out, err = p.communicate(timeout=15)
        self.assertEqual(p.returncode, 0, err)
        self.assertEqual(out.decode().splitlines(), [
            "STA=DEFINED", "PRINT_HW=66,80", "FONT_HW=180,120", "LEN=%d" % body_len,
            "NAME=Office ~ <Laser>"])

    def status_with_answer(self, answer, timeout="10"):
        p = self.background("--device", self.pair.a, "--timeout", timeout, "handheld", "status")
        request = b"<LMW_P><SRESP></LMW_P>"
        self.assertEqual(self.far.read(len(request)), request)
        if answer is not None:
            half = len(answer) // 2
            self.far.write(answer[:half])
            time.sleep(0.1)
            self.far.write(answer[half:])
        out, err = p.communicate(timeout=15)
        return p.returncode, out.decode("latin-1").splitlines(), err.decode("latin-1")

    def test_status_replies(self):
        code, lines, err = self.status_with_answer(reply(length=7))
        self.assertEqual(code, 0, err)
        self.assertEqual(lines, ["STA=DEFINED", "PRINT_HW=66,80", "FONT_HW=180,120", "LEN=7",
                                 "NAME=FilePDF"])

        # The error variant: fields shown, exit 1.
        code, lines, err = self.status_with_answer(
            reply(sta="ERROR(482)", hw="0,0", font="0,0", length=7, name="NOT_DEFINED"))
        self.assertEqual(code, 1)
        self.assertEqual(lines[0], "STA=ERROR(482)")
        self.assertEqual(lines[-1], "NAME=NOT_DEFINED")
        self.assertIn("ERROR(482)", err)

        # A reply whose LEN is not the document's length is wrong.
        code, lines, err = self.status_with_answer(reply(length=8))
        self.assertEqual(code, 1)
        self.assertIn("LEN=8", err)

        # Malformed replies.
        for bad in (b"<LMW_RSP>STA=MAYBE~PRINT_HW=1,2~FONT_HW=1,2~LEN=7~NAME=x</LMW_RSP>",
                    b"<LMW_RSP>STA=DEFINED~PRINT_HW=1~FONT_HW=1,2~LEN=7~NAME=x</LMW_RSP>",
                    b"<LMW_RSP>STA=DEFINED~FONT_HW=1,2~LEN=7~NAME=x</LMW_RSP>"):
            code, lines, err = self.status_with_answer(bad)
            self.assertEqual(code, 1)
            self.assertIn("malformed", err)

        # No reply at all.
        code, lines, err = self.status_with_answer(None, timeout="0.5")
        self.assertEqual(code, 1)
        self.assertEqual(lines, [])
        self.assertIn("no status reply came within 0.5 s", err)

    def test_listen(self):
        p = self.listener("--count", "3")
        self.far.write(b"modem data <LMW_C>line1\nli")
        time.sleep(0.1)
        self.far.write(b"ne2</LMW_C>between<LMW_C></LMW_C><LMW_")
        time.sleep(0.1)
        self.far.write(b"C>\xe9</LMW_C>")
        out, err = p.communicate(timeout=15)
        self.assertEqual(p.returncode, 0, err)
        self.assertEqual(out, b"line1\nline2\n\n\xe9\n")

        p = self.listener("--latin1", "--count", "1")
        self.far.write(b"<LMW_C>caf\xe9</LMW_C>")
        out, err = p.communicate(timeout=15)
        self.assertEqual(p.returncode, 0, err)
        self.assertEqual(out.decode("utf-8"), "caf\u00e9\n")

        # Fewer transfers than asked for within the timeout.
        r = sim("--device", self.pair.a, "--timeout", "0.5", "handheld", "listen", "--count", "1")
        self.assertEqual(r.returncode, 1)
        self.assertIn(b"0 clipboard transfers of 1", r.stderr)

        # Listening until a stop signal ends well.
        p = self.listener()
        self.far.write(b"<LMW_C>x</LMW_C>")
        time.sleep(0.3)
        p.send_signal(signal.SIGTERM)
        out, err = p.communicate(timeout=5)
        self.assertEqual(p.returncode, 0, err)
        self.assertEqual(out, b"x\n")

    # --- modem ---------------------------------------------------------------

    def test_modem_commands_on_the_wire(self):
        m = self.modem("--device", self.pair.a, "--speed", "57600", "--guard", "200", "modem")

        def say(command, answer):
            self.far.write(command)
            self.assertEqual(self.far.read(len(answer)), answer, command)

        say(b"AT\r", b"\r\nOK\r\n")
        say(b"at&f x4\r", b"\r\nOK\r\n")
        say(b"hello\r", b"\r\nERROR\r\n")
        say(b"ATO\r", b"\r\nNO CARRIER\r\n")
        say(b"ATDT\r", b"\r\nERROR\r\n")
        say(b"ATDT5551234\r", b"\r\nCONNECT 57600\r\n")
        data = bytes(range(256)) * 4
        say(data, data)
        # "+++" inside the data flow is data.
        say(b"a+++b", b"a+++b")
        time.sleep(0.3)
        say(b"+++", b"+++")
        self.assertEqual(self.far.read(6, timeout=3), b"\r\nOK\r\n")
        say(b"ATO\r", b"\r\nCONNECT 57600\r\n")
        say(b"still on line", b"still on line")
        time.sleep(0.3)
        say(b"+++", b"+++")
        self.assertEqual(self.far.read(6, timeout=3), b"\r\nOK\r\n")
        say(b"ATH\r", b"\r\nOK\r\n")
        say(b"ATO\r", b"\r\nNO CARRIER\r\n")
        stop(m)
        out = m.stdout.read().decode()
        self.assertEqual(m.returncode, 0)
        self.assertIn("dialled 5551234: CONNECT 57600", out)
        self.assertIn("hung up (5551234): %d bytes echoed" % (len(data) + 5 + 3 + 13 + 3), out)

    def test_speeds_without_a_standard_constant(self):
        # 28800 is in the program's list but has no B28800: it is set as an
        # arbitrary rate and reported as such.
        m = self.modem("--device", self.pair.a, "--speed", "28800", "modem")
        self.far.write(b"ATD42\r")
        self.assertEqual(self.far.read(16), b"\r\nCONNECT 28800\r\n")
        stop(m)
        r = sim("--device", self.pair.a, "--speed", "28800", "handheld", "send", "-",
                stdin=b"x")
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(self.far.read(1), b"x")

    def test_sim_modem_against_sim_handheld(self):
        m = self.modem("--device", self.pair.b, "--guard", "200", "modem", "--once")
        data = bytes(range(256)) * 16
        path = os.path.join(TMP, "echo-data")
        with open(path, "wb") as f:
            f.write(data)
        r = sim("--device", self.pair.a, "--guard", "200", "handheld", "dial", "5551234",
                "--line", "hello modem", "--data", path, "--hangup")
        self.assertEqual(r.returncode, 0, r.stderr)
        lines = r.stdout.decode().splitlines()
        self.assertEqual(lines[0], "CONNECT 115200")
        self.assertIn("echo: hello modem", lines)
        self.assertIn("echoed %d bytes unchanged" % len(data), lines)
        self.assertEqual(lines[-1], "hung up")
        out, err = m.communicate(timeout=10)
        self.assertEqual(m.returncode, 0, err)
        self.assertIn("modem: dialled 5551234: CONNECT 115200", out.decode())
        # Both tallies tell the same story.
        sent, received = map(int, re.search(rb"(\d+) bytes sent, (\d+) bytes received",
                                            r.stderr).groups())
        modem_in, modem_out = map(int, re.search(r"modem: (\d+) bytes received, (\d+) bytes sent",
                                                 out.decode()).groups())
        self.assertEqual((sent, received), (modem_in, modem_out))
        self.assertEqual(sent, len("ATDT5551234\r") + len("hello modem\r\n") + len(data) + 3 + 4)

    def test_dial_answers(self):
        # A modem that is busy, one that is silent, one that garbles the echo.
        p = self.background("--device", self.pair.a, "handheld", "dial", "123")
        self.assertEqual(self.far.read(8), b"ATDT123\r")
        self.far.write(b"\r\nBUSY\r\n")
        out, err = p.communicate(timeout=10)
        self.assertEqual(p.returncode, 1)
        self.assertEqual(out, b"BUSY\n")

        r = sim("--device", self.pair.a, "--timeout", "0.5", "handheld", "dial", "123")
        self.assertEqual(r.returncode, 1)
        self.assertIn(b"no answer from the modem", r.stderr)
        self.far.read_for(0.2)

        p = self.background("--device", self.pair.a, "--timeout", "2", "handheld", "dial", "9",
                            "--line", "abc")
        self.assertEqual(self.far.read(6), b"ATDT9\r")
        self.far.write(b"\r\nCONNECT 9600\r\n")
        self.assertEqual(self.far.read(5), b"abc\r\n")
        self.far.write(b"abd\r\n")
        out, err = p.communicate(timeout=10)
        self.assertEqual(p.returncode, 1)
        self.assertIn(b"differs at byte 2", err)

    def test_modem_line_gone(self):
        m = self.modem("--device", self.pair.a, "modem")
        self.pair.close()
        out, err = m.communicate(timeout=10)
        self.assertEqual(m.returncode, 1)
        self.assertIn(b"hung up", err)


if __name__ == "__main__":
    unittest.main(verbosity=2)
