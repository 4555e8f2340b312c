#!/usr/bin/env python3
"""The built-in modem: dial a [Phonebook] number, echo every byte value over loopback,
"+++" and hang up; NO CARRIER; failing network endpoints' switch-on messages."""

import os
import socket
import threading
import time
import unittest

import e2e

SWITCH = ((30 + 525 // 2) // e2e.TW, (90 + 240 // 2) // e2e.TW)  # imgOnOff


def server(handle):
    """A TCP server on 127.0.0.1 running handle(connection) per client; its port."""
    listener = socket.socket()
    listener.bind(("127.0.0.1", 0))
    listener.listen(4)

    def serve():
        while True:
            connection, _ = listener.accept()
            threading.Thread(target=handle, args=(connection,), daemon=True).start()
    threading.Thread(target=serve, daemon=True).start()
    return listener.getsockname()[1]


def echo(connection):
    while data := connection.recv(65536):
        connection.sendall(data)
    connection.close()


def greet_and_close(connection):
    connection.sendall(b"bye\r\n")
    connection.close()


def until(far, text, timeout=10.0):
    """What the far end reads up to and including text."""
    got, deadline = b"", time.monotonic() + timeout
    while text not in got and time.monotonic() < deadline:
        got += far.read_for(0.05)
    if text not in got:
        raise AssertionError("%r never came; got %r" % (text, got))
    return got


def message(p, title):
    """The text of the message box of this title, once it is shown."""
    def shown():
        app = p.bus.application("Palm Loomway")
        boxes = [c for c in app.children() if c.name() == title]
        labels = boxes[0].find(lambda n: n.role() == "label") if boxes else []
        return "\n".join(n.name() for n in labels if n.name())
    return e2e.wait_until(shown, 20, "the message " + title)


class ModemPortTest(unittest.TestCase):

    def test_dial_echo_hang_up_and_failures(self):
        with e2e.Session() as s:
            closed = socket.socket()
            closed.bind(("127.0.0.1", 0))
            refused = closed.getsockname()[1]
            closed.close()
            handheld, handheld_far = s.pty_pair()
            s.write_ini(handheld, "modem:", Preferences={"MenuVisible": "NO"}, Phonebook={
                "5551234": "tcp:127.0.0.1:%d" % server(echo),
                "777": "telnet:127.0.0.1:%d" % server(greet_and_close)})
            p = s.loomway(read_window=True)
            p.wait_for_window()
            far = s.far(handheld_far)
            far.write(b"ATS12=10\r")  # a guard time of 0.2 s keeps the test short
            until(far, b"OK\r\n")

            data = s.path("every-byte", bytes(range(256)) * 16)
            r = s.sim("--device", handheld_far, "--guard", "200", "handheld", "dial", "555-1234",
                      "--data", data, "--hangup")
            self.assertEqual(r.returncode, 0, r.stderr.decode())
            self.assertIn(b"echoed 4096 bytes unchanged\n+++\nOK\nATH\nOK\nhung up\n", r.stdout)

            far.write(b"ATDT777\r")
            self.assertIn(b"CONNECT 115200\r\nbye\r\n\r\nNO CARRIER\r\n", until(far, b"CARRIER"))
            # Why a number leads nowhere shows in the status bar's second panel.
            far.write(b"ATDT999\r")
            until(far, b"NO CARRIER\r\n")
            e2e.wait_until(lambda: p.status(1).startswith("Modem: 999 "), 10, "note")
            self.assertEqual(p.status(), "STATUS:  ON")
            p.click(*SWITCH)
            e2e.wait_until(lambda: p.status() == "STATUS:  OFF", 10, "OFF")

            # Read again at the next switch-on: endpoints that cannot be reached.
            for target, title, line in (
                    ("tcp:no-such-host.invalid:23", "Port Error",
                     "and that you are using the correct port.\n\ntcp:no-such-host.invalid:23: "
                     "the host no-such-host.invalid cannot be found"),
                    ("tcp:127.0.0.1:%d" % refused, "Verify Power/Connection",
                     "connected.\n\ntcp:127.0.0.1:%d: the connection to 127.0.0.1 port %d was "
                     "refused" % (refused, refused))):
                s.write_ini(handheld, target, Preferences={"MenuVisible": "NO"})
                p.click(*SWITCH)
                self.assertIn(line, message(p, title))
                e2e.run(["xdotool", "key", "Return"])
                e2e.wait_until(lambda: p.status() == "STATUS:  OFF", 10, "OFF after the message")


if __name__ == "__main__":
    unittest.main()
