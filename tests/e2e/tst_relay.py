#!/usr/bin/env python3
"""One program start, its window read over an accessibility bus: captures read back by
tshark, the switch that holds the ports, the desktop clipboard both ways, the built-in
modem over loopback, the traffic monitor."""

import glob
import os
import re
import socket
import subprocess
import threading
import unittest

import e2e

SWITCH = "ON / OFF switch"


def lcp(code, identifier=1):
    """An HDLC-framed LCP packet with no options."""
    content = bytes([0xFF, 0x03, 0xC0, 0x21, code, identifier, 0, 4])
    fcs = 0xFFFF
    for byte in content:
        fcs ^= byte
        for _ in range(8):
            fcs = (fcs >> 1) ^ 0x8408 if fcs & 1 else fcs >> 1
    framed = b"\x7e"
    for byte in content + bytes([~fcs & 0xFF, (~fcs >> 8) & 0xFF]):
        escape = byte < 0x20 or byte in (0x7D, 0x7E)
        framed += bytes([0x7D, byte ^ 0x20]) if escape else bytes([byte])
    return framed + b"\x7e"


def frames(path):
    """(direction, code) of each LCP frame tshark finds in a capture; 0: the handheld sent it."""
    r = e2e.run(["tshark", "-r", path, "-T", "fields", "-e", "frame.p2p_dir", "-e",
                 "ppp.protocol", "-e", "ppp.code"], timeout=60)
    assert r.returncode == 0, "tshark: " + r.stderr.decode()
    rows = [tuple(line.split("\t")) for line in r.stdout.decode().splitlines()]
    return [(d, c) if p == "0xc021" else (d, p, c) for d, p, c in rows]


def clipboard():
    r = e2e.run(["xclip", "-o", "-selection", "clipboard"], timeout=10)
    return None if r.returncode else r.stdout


def echo_server():
    listener = socket.create_server(("127.0.0.1", 0))

    def echo():
        connection = listener.accept()[0]
        while data := connection.recv(65536):
            connection.sendall(data)
    threading.Thread(target=echo, daemon=True).start()
    return listener.getsockname()[1]


class RelayTest(unittest.TestCase):

    def test_relay(self):
        with e2e.Session() as s:
            folder = s.path("captures")
            os.mkdir(folder)
            p, handheld_path, modem_path = s.relay(True, Capture={"Folder": folder})
            handheld, modem = s.far(handheld_path), s.far(modem_path)

            def relayed(source, dest, data):
                source.write(data)
                self.assertEqual(dest.read(len(data)), data)

            # The capture each switch-on starts in [Capture] Folder, and one started and
            # stopped from the File menu; LCP frames of both sides relayed.
            capture = e2e.wait_until(lambda: glob.glob(folder + "/*"), 10, "the capture")[0]
            relayed(handheld, modem, lcp(1))
            relayed(modem, handheld, lcp(1, 7) + lcp(2))
            menu_file = s.path("menu.pppd")
            p.key("alt+f", "c")
            dialog = e2e.wait_until(lambda: e2e.windows(p.pid, "Capture to File"), 10, "the dialog")
            e2e.run(["xdotool", "windowfocus", "--sync", str(dialog[0])])
            e2e.run(["xdotool", "type", "--delay", "20", menu_file])
            e2e.run(["xdotool", "key", "Return"])
            e2e.wait_until(lambda: e2e.held(p.pid, {menu_file}), 10, "the menu capture")
            relayed(modem, handheld, lcp(9, 3))  # Echo-Request
            relayed(handheld, modem, lcp(10, 3))  # Echo-Reply
            p.key("alt+f", "c")  # now "Stop Capture"
            e2e.wait_until(lambda: not e2e.held(p.pid, {menu_file}), 10, "the menu capture's end")
            relayed(handheld, modem, lcp(5, 4))  # after the menu capture: in the folder's only

            # The switch holds the ports only while on; switched off, the capture ends.
            # (A click and Space work it; two clicks in a row would be a double-click.)
            p.click_on(SWITCH)
            e2e.wait_until(lambda: not e2e.held(p.pid, p.devices | {capture}), 10, "all closed")
            self.assertEqual(frames(menu_file), [("1", "9"), ("0", "10")])
            self.assertEqual(frames(capture), [("0", "1"), ("1", "1"), ("1", "2"),
                                               ("1", "9"), ("0", "10"), ("0", "5")])
            p.key("space")  # the switch has the focus
            e2e.wait_until(lambda: e2e.held(p.pid, p.devices) == p.devices, 10, "the ports")

            # A handheld request lands on the desktop clipboard; a click on the clipboard
            # lamp sends the desktop's clipboard to the handheld; both counted.
            sent, received = p.counters()
            request = b"<LMW_C>line1\nline2</LMW_C>"
            handheld.write(request)
            e2e.wait_until(lambda: clipboard() == b"line1\r\nline2", 10, "the clipboard")
            owner = s.start(["xclip", "-quiet", "-selection", "clipboard", "-i"],
                            stdin=subprocess.PIPE, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)
            owner.stdin.write(b"one\r\ntwo")
            owner.stdin.close()
            e2e.wait_until(lambda: clipboard() == b"one\r\ntwo", 10, "xclip to own the clipboard")
            p.click_on("CLP lamp")
            self.assertEqual(handheld.read(22), b"<LMW_C>one\ntwo</LMW_C>")
            total = (sent + len(request), received + 22)
            e2e.wait_until(lambda: p.counters() == total, 10,
                           lambda: "counters %r, expected %r" % (p.counters(), total))

            # The built-in modem, read at the next switch-on, dials a [Phonebook]
            # number; why a number leads nowhere shows in the status bar.
            p.click_on(SWITCH)
            e2e.wait_until(lambda: not e2e.held(p.pid, p.devices), 10, "the ports to close")
            s.write_ini(p.ends[0], "modem:",
                        Phonebook={"5551234": "tcp:127.0.0.1:%d" % echo_server()})
            p.key("space")
            e2e.wait_until(lambda: e2e.held(p.pid, {p.ends[0]}), 10, "the handheld port")
            handheld.write(b"ATS12=10\r")  # a guard time of 0.2 s keeps the test short
            self.assertEqual(handheld.read(15), b"ATS12=10\r\r\nOK\r\n")
            every = s.path("every-byte", bytes(range(256)) * 16)
            r = s.sim("--device", handheld_path, "--guard", "200", "handheld",
                      "dial", "555-1234", "--data", every, "--hangup")
            self.assertEqual(r.returncode, 0, r.stderr.decode())
            self.assertIn(b"echoed 4096 bytes unchanged\n+++\nOK\nATH\nOK\nhung up\n", r.stdout)
            handheld.write(b"ATDT999\r")
            self.assertEqual(handheld.read(22), b"ATDT999\r\r\nNO CARRIER\r\n")
            e2e.wait_until(lambda: p.status(1).startswith("Modem: 999 "), 10, "the note")

            # The traffic monitor counts the chunks, and new ones while it is open.
            p.key("ctrl+t")
            app = p.bus.application("Palm Loomway")
            monitor = e2e.wait_until(lambda: [c for c in app.children()
                                              if c.name() == "Traffic Monitor"], 10, "monitor")[0]

            def shown():
                return [int(m[1]) for n in monitor.children()
                        if (m := re.fullmatch(r"(\d+) chunks shown, 0 dropped", n.name()))]
            before = e2e.wait_until(shown, 10, "the count")[0]
            handheld.write(b"AT\r")
            self.assertEqual(handheld.read(9), b"AT\r\r\nOK\r\n")
            e2e.wait_until(lambda: shown()[0] >= before + 2, 10, lambda: "new rows: %r" % shown())


if __name__ == "__main__":
    unittest.main(verbosity=2)
