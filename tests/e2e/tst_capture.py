#!/usr/bin/env python3
"""Captures of the real binary read back by tshark: the one each switch-on
starts in [Capture] Folder and one started and stopped from the File menu."""

import glob
import os
import unittest

import e2e


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
        framed += bytes([0x7D, byte ^ 0x20]) if byte < 0x20 or byte in (0x7D, 0x7E) else bytes([byte])
    return framed + b"\x7e"


def frames(path):
    """(direction, code) of each LCP frame tshark finds in a capture; 0: the handheld sent it."""
    r = e2e.run(["tshark", "-r", path, "-T", "fields", "-e", "frame.p2p_dir", "-e",
                 "ppp.protocol", "-e", "ppp.code"], timeout=60)
    if r.returncode != 0:
        raise AssertionError("tshark: " + r.stderr.decode())
    rows = [tuple(line.split("\t")) for line in r.stdout.decode().splitlines()]
    return [(d, c) if p == "0xc021" else (d, p, c) for d, p, c in rows]


class CaptureTest(unittest.TestCase):

    def test_switch_on_and_menu_captures(self):
        with e2e.Session() as s:
            folder = s.path("captures")
            os.mkdir(folder)
            p, hh, md = s.relay(Capture={"Folder": folder})
            handheld, modem = s.far(hh), s.far(md)
            names = e2e.wait_until(lambda: glob.glob(os.path.join(folder, "*")), 10,
                                   "the switch-on capture")
            self.assertEqual(len(names), 1)
            self.assertRegex(os.path.basename(names[0]), r"^loomway-\d{8}-\d{6}\.pppd$")

            def relayed(source, dest, data):
                source.write(data)
                self.assertEqual(dest.read(len(data)), data)

            # LCP negotiation: each side's request and the other's acknowledgement.
            relayed(handheld, modem, lcp(1))
            relayed(modem, handheld, lcp(1, 7) + lcp(2))
            relayed(handheld, modem, lcp(2, 7))

            # File, "Start Capture...": the file dialog takes the name typed.
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

            p.key("ctrl+e")  # "&Exit" switches redirection off first
            self.assertEqual(p.wait_for_exit(), 0)
            self.assertEqual(frames(menu_file), [("1", "9"), ("0", "10")])
            self.assertEqual(frames(names[0]), [("0", "1"), ("1", "1"), ("1", "2"), ("0", "2"),
                                                ("1", "9"), ("0", "10"), ("0", "5")])


if __name__ == "__main__":
    unittest.main(verbosity=2)
