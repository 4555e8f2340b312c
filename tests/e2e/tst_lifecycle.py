#!/usr/bin/env python3
"""Start and end over two program starts: a "HotSync Manager" window closed at the start,
the stored window position, a second instance, "&Exit" storing the position and running
the exit program once; minimized, a SIGTERM ends the program with neither."""

import os
import re
import signal
import socket
import struct
import time
import unittest

import e2e

TW = 15  # twips per pixel


def iconify(wid):
    """Minimizes a window as a window manager does: unmapped, WM_STATE Iconic; over the
    core protocol on $DISPLAY's local socket (Xvfb needs no auth)."""
    sock = socket.socket(socket.AF_UNIX)
    sock.connect("/tmp/.X11-unix/X" + os.environ["DISPLAY"].split(":", 1)[1].split(".")[0])
    recv = sock.makefile("rb").read
    request = lambda opcode, body: sock.sendall(
        struct.pack("<BxH", opcode, 1 + len(body) // 4) + body)
    sock.sendall(struct.pack("<BxHHHHxx", ord("l"), 11, 0, 0, 0))
    recv(struct.unpack("<H", recv(8)[6:8])[0] * 4)  # the set-up reply
    request(16, struct.pack("<HH", 8, 0) + b"WM_STATE")  # InternAtom
    state = struct.unpack("<I", recv(32)[8:12])[0]
    request(10, struct.pack("<I", wid))  # UnmapWindow
    request(18, struct.pack("<IIIBxxxIII", wid, state, state, 32, 2, 3, 0))  # ChangeProperty
    request(43, b"")  # GetInputFocus: its reply means all before it is done
    reply = recv(32)
    sock.close()
    assert reply[0] == 1, "X error %d" % reply[1]


class LifecycleTest(unittest.TestCase):

    def test_start_and_end(self):
        with e2e.Session() as s:
            (handheld, _), (modem, _) = s.pty_pair(), s.pty_pair()
            devices, marker = {handheld, modem}, s.path("ran")
            s.write_ini(handheld, modem, Preferences={
                            "CloseApp": "HotSync Manager",
                            "StartApp": "sh -c 'echo ran >> %s'" % marker},
                        Display={"XLoc": str(100 * TW), "YLoc": str(200 * TW)})
            stored = lambda: re.findall(r"(?m)^[XY]Loc=(.*)$", open(s.ini_path, encoding="latin1")
                                        .read())  # XLoc and YLoc, the only keys of that name

            def start_at(x, y):  # the window shown at x, y
                p = s.loomway()
                p.wait_for_window()
                e2e.wait_until(lambda: e2e.position(p.wid) == (x, y), 10, "the position")
                return p

            def move(p, x, y):
                e2e.run(["xdotool", "windowmove", str(p.wid), str(x), str(y)])
                e2e.wait_until(lambda: e2e.position(p.wid) == (x, y), 10, "the window moved")

            other = s.start(["xlogo", "-title", "HotSync Manager"])
            e2e.wait_until(lambda: e2e.run(["xdotool", "search", "--name", "^HotSync Manager$"])
                           .stdout, 10, "xlogo's window")
            p = start_at(100, 200)
            e2e.wait_until(lambda: e2e.held(p.pid, devices) == devices, 30, "the ports")
            self.assertEqual(other.wait(10), 0)
            self.assertEqual(s.loomway().process.wait(10), 0)  # a second instance
            move(p, 150, 250)
            p.key("ctrl+e")
            self.assertEqual(p.process.wait(15), 0)
            self.assertEqual(stored(), [str(150 * TW), str(250 * TW)])
            e2e.wait_until(lambda: os.path.exists(marker), 10, "the exit program")

            p = start_at(150, 250)
            move(p, 300, 350)
            iconify(p.wid)
            e2e.wait_until(lambda: "IsViewable" not in e2e.run(["xwininfo", "-id", str(p.wid)])
                           .stdout.decode(), 10, "the minimized window")
            time.sleep(0.5)
            p.process.send_signal(signal.SIGTERM)
            self.assertEqual(p.process.wait(15), 0)
            time.sleep(1.0)
            self.assertEqual(stored(), [str(150 * TW), str(250 * TW)])
            self.assertEqual(open(marker).read(), "ran\n")


if __name__ == "__main__":
    unittest.main(verbosity=2)
