#!/usr/bin/env python3
"""Captures of the real binary read back by tshark: the one each switch-on
starts in [Capture] Folder and one started and stopped from the File menu."""

import glob
import os
import unittest

import e2e

def fcs16(data):
    fcs = 0xFFFF
    for byte in data:
        fcs ^= byte
        for _ in range(8):
            fcs = (fcs >> 1) ^ 0x8408 if fcs & 1 else fcs >> 1
    return fcs ^ 0xFFFF


def lcp(code, identifier=1):
    """An HDLC-framed LCP packet with no options."""
    content = bytes([0xFF, 0x03, 0xC0, 0x21, code, identifier, 0, 4])
    fcs = fcs16(content)
    framed = b"\x7e"
    for byte in content + bytes([fcs & 0xFF, fcs >> 8]):
        framed += bytes([0x7D, byte ^ 0x20]) if byte < 0x20 or byte in (0x7D, 0x7E) else bytes([byte])
    return framed + b"\x7e"


def frames(path):
    """(direction, protocol, code) of each frame tshark finds in a capture."""
    r = e2e.run(["tshark", "-r", path, "-T", "fields", "-e", "frame.p2p_dir", "-e",
                 "ppp.protocol", "-e", "ppp.code"], timeout=60)
    if r.returncode != 0:
        raise AssertionError("tshark: " + r.stderr.decode())
    return [tuple(line.split("\t")) for line in r.stdout.decode().splitlines()]


def window_named(pid, title):
    """A visible window of the process with exactly this title."""
    for wid in e2e.run(["xdotool", "search", "--onlyvisible", "--pid", str(pid), "--name",
                        "."]).stdout.split():
        if e2e.run(["xdotool", "getwindowname", wid]).stdout.decode().strip() == title:
            return wid
    return None


class CaptureTest(unittest.TestCase):

    def test_switch_on_and_menu_captures(self):
        with e2e.Session() as s:
            handheld_port, handheld_far = s.pty_pair()
            modem_port, modem_far = s.pty_pair()
            folder = s.path("captures")
            os.mkdir(folder)
            s.write_ini(handheld_port, modem_port, Capture={"Folder": folder})
            p = s.loomway()
            p.wait_for_window()
            handheld, modem = s.far(handheld_far), s.far(modem_far)
            names = e2e.wait_until(lambda: glob.glob(os.path.join(folder, "*")), 10,
                                   "the switch-on capture")
            self.assertEqual(len(names), 1)
            self.assertRegex(os.path.basename(names[0]), r"^loomway-\d{8}-\d{6}\.pppd$")

            # LCP negotiation: each side's request and the other's acknowledgement.
            handheld.write(lcp(1))
            self.assertEqual(modem.read(len(lcp(1))), lcp(1))
            modem.write(lcp(1, 7) + lcp(2))
            self.assertEqual(handheld.read(len(lcp(1) + lcp(2))), lcp(1, 7) + lcp(2))
            handheld.write(lcp(2, 7))
            self.assertEqual(modem.read(len(lcp(2))), lcp(2, 7))

            # File, "Start Capture...": the file dialog takes the name typed.
            menu_file = s.path("menu.pppd")
            p.key("alt+f", "c")
            dialog = e2e.wait_until(lambda: window_named(p.pid, "Capture to File"), 10,
                                    "the file dialog")
            e2e.run(["xdotool", "windowfocus", "--sync", dialog])
            e2e.run(["xdotool", "type", "--delay", "20", menu_file])
            e2e.run(["xdotool", "key", "Return"])
            e2e.wait_until(lambda: e2e.held(p.pid, {menu_file}), 10, "the menu capture")
            modem.write(lcp(9, 3))  # Echo-Request
            self.assertEqual(handheld.read(len(lcp(9, 3))), lcp(9, 3))
            handheld.write(lcp(10, 3))  # Echo-Reply
            self.assertEqual(modem.read(len(lcp(10, 3))), lcp(10, 3))
            p.key("alt+f", "c")  # now "Stop Capture"
            e2e.wait_until(lambda: not e2e.held(p.pid, {menu_file}), 10, "the menu capture's end")
            handheld.write(lcp(5, 4))  # after the menu capture: in the folder's only
            self.assertEqual(modem.read(len(lcp(5, 4))), lcp(5, 4))

            p.key("ctrl+e")  # "&Exit" switches redirection off first
            self.assertEqual(p.wait_for_exit(), 0)
            lcp_frames = lambda *rows: [(d, "0xc021", c) for d, c in rows]
            # 0: the handheld sent it, 1: it reached the handheld.
            self.assertEqual(frames(menu_file), lcp_frames(("1", "9"), ("0", "10")))
            self.assertEqual(frames(names[0]),
                             lcp_frames(("0", "1"), ("1", "1"), ("1", "2"), ("0", "2"),
                                        ("1", "9"), ("0", "10"), ("0", "5")))
            # The next switch-on writes a new file; the first stays as it was.
            size = os.path.getsize(names[0])
            s.loomway().wait_for_window()
            e2e.wait_until(lambda: len(glob.glob(os.path.join(folder, "*"))) == 2, 10,
                           "a second capture")
            self.assertEqual(os.path.getsize(names[0]), size)


if __name__ == "__main__":
    unittest.main(verbosity=2)
