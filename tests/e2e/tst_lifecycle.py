#!/usr/bin/env python3
"""Start and end over two program starts: a "HotSync Manager" window closed at the start,
the stored window position, a second instance, "&Exit" storing the position and running
the exit program once; minimized, a SIGTERM ends the program with neither. When the X11
server goes away, the capture is written to its end and the exec: program is ended."""

import os
import pathlib
import re
import signal
import socket
import struct
import subprocess
import sys
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

    def request(opcode, body):
        sock.sendall(struct.pack("<BxH", opcode, 1 + len(body) // 4) + body)
    sock.sendall(struct.pack("<BxHHHHxx", ord("l"), 11, 0, 0, 0))
    recv(struct.unpack("<H", recv(8)[6:8])[0] * 4)  # the set-up reply
    request(16, struct.pack("<HH", 8, 0) + b"WM_STATE")  # InternAtom
    state = struct.unpack("<I", recv(32)[8:12])[0]
    request(10, struct.pack("<I", wid))  # UnmapWindow
    request(18, struct.pack("<IIIBxxxIII", wid, state, state, 32, 2, 3, 0))  # ChangeProperty
    request(43, b"")  # GetInputFocus: its reply means all before it is done
    reply = recv(32)
    sock.close()
    if reply[0] != 1:
        raise AssertionError("X error %d" % reply[1])


class LifecycleTest(unittest.TestCase):

    def test_start_and_end(self):
        with e2e.Session() as s:
            (handheld, _), (modem, _) = s.pty_pair(), s.pty_pair()
            devices, marker = {handheld, modem}, s.path("ran")
            s.write_ini(handheld, modem, Preferences={
                            "CloseApp": "HotSync Manager",
                            "StartApp": "sh -c 'echo ran >> %s'" % marker},
                        Display={"XLoc": str(100 * TW), "YLoc": str(200 * TW)})

            def stored():  # XLoc and YLoc, the only keys of that name
                return re.findall(r"(?m)^[XY]Loc=(.*)$", open(s.ini_path, encoding="latin1").read())

            def move(p, x, y):
                e2e.run(["xdotool", "windowmove", str(p.wid), str(x), str(y)])
                e2e.wait_until(lambda: e2e.position(p.wid) == (x, y), 10, "the window moved")

            other = s.start(["xlogo", "-title", "HotSync Manager"])
            e2e.wait_until(lambda: e2e.run(["xdotool", "search", "--name", "^HotSync Manager$"])
                           .stdout, 10, "xlogo's window")
            p = s.loomway()
            e2e.wait_until(lambda: e2e.held(p.pid, devices) == devices, 30, "the ports")
            self.assertEqual(other.wait(10), 0)

            p.wait_for_window()
            e2e.wait_until(lambda: e2e.position(p.wid) == (100, 200), 10, "the stored position")
            self.assertEqual(s.loomway().process.wait(10), 0)  # a second instance
            move(p, 150, 250)
            p.key("ctrl+e")
            self.assertEqual(p.process.wait(15), 0)
            self.assertEqual(stored(), [str(150 * TW), str(250 * TW)])
            e2e.wait_until(lambda: os.path.exists(marker), 10, "the exit program")

            # The kept position; minimized, the end stores nothing and runs nothing.
            p = s.loomway()
            p.wait_for_window()
            e2e.wait_until(lambda: e2e.position(p.wid) == (150, 250), 10, "the kept position")
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


# Stays when its line hangs up, as pppd with "persist" does, until a signal ends it.
ECHO = """import os, signal, sys, time
signal.signal(signal.SIGHUP, signal.SIG_IGN)
open(sys.argv[1], "w").write(str(os.getpid()))
try:
    while data := os.read(0, 4096):
        os.write(1, data)
except OSError:
    pass
time.sleep(600)
"""


def pppdump(path):
    """The bytes of the records of a pppdump file: (sent, received)."""
    data, at, lines = pathlib.Path(path).read_bytes(), 0, {1: b"", 2: b""}
    while at < len(data):
        code, at = data[at], at + 1
        if code in lines:
            size = struct.unpack(">H", data[at:at + 2])[0]
            lines[code] += data[at + 2:at + 2 + size]
            at += 2 + size
        else:
            at += {5: 4, 6: 1, 7: 4}[code]
    return lines[1], lines[2]


def gone(pid):
    try:
        return pathlib.Path("/proc/%d/stat" % pid).read_text().split(")")[-1].split()[0] == "Z"
    except FileNotFoundError:
        return True


class BrokenDisplayTest(unittest.TestCase):

    def test_x11_server_goes(self):
        with e2e.Session() as s:
            ready_r, ready_w = os.pipe()
            xvfb = s.start(["Xvfb", "-displayfd", str(ready_w), "-nolisten", "tcp"],
                           pass_fds=(ready_w,), stderr=subprocess.DEVNULL)
            os.close(ready_w)
            s.cleanups.append(lambda: os.close(ready_r))  # it may write its number again
            display = ":" + os.read(ready_r, 16).decode().split()[0]
            (handheld, handheld_far), pid_file = s.pty_pair(), s.path("pid")
            captures = s.path("captures")
            os.mkdir(captures)
            s.write_ini(handheld, "modem:", Capture={"Folder": captures}, Phonebook={
                "5550000": "exec:%s %s %s" % (sys.executable, s.path("echo.py", ECHO.encode()),
                                              pid_file)})
            p = s.loomway(env={"DISPLAY": display})
            e2e.wait_until(lambda: e2e.held(p.pid, {handheld}), 30, "the handheld port")
            far = s.far(handheld_far)
            far.write(b"ATDT5550000\r")
            self.assertIn(b"CONNECT", far.read_for(3))
            e2e.wait_until(lambda: os.path.getsize(pid_file) if os.path.exists(pid_file) else 0,
                           10, "the exec: program")
            program = int(pathlib.Path(pid_file).read_text())
            s.cleanups.append(lambda: gone(program) or os.kill(program, signal.SIGKILL))
            line = b"the last words before the display goes\r"
            far.write(line)
            self.assertEqual(far.read(len(line)), line)
            xvfb.terminate()
            self.assertNotEqual(p.process.wait(15), 0)
            sent, received = pppdump(os.path.join(captures, os.listdir(captures)[0]))
            self.assertTrue(sent.endswith(line) and received.endswith(line), (sent, received))
            e2e.wait_until(lambda: gone(program), 5, "the exec: program's end")


if __name__ == "__main__":
    unittest.main(verbosity=2)
