#!/usr/bin/env python3
"""A minimal X11 client in plain Python, for what the usual X tools do not do
without a window manager:

  x11raw.py window TITLE [--close-delay SECONDS] [--ignore-close] [--log FILE]
      shows a top-level window of its own with this exact title (WM_NAME and
      _NET_WM_NAME) that takes WM_DELETE_WINDOW; when asked to close it
      waits --close-delay seconds, then goes away (with --ignore-close it
      stays). Each close request is noted in --log.
  x11raw.py close WINDOW-ID
      asks a window to close the way a window manager's close box does: a
      WM_PROTOCOLS client message carrying WM_DELETE_WINDOW.
  x11raw.py iconify WINDOW-ID
      minimizes a window the way a window manager does: unmaps it and sets
      its WM_STATE to IconicState.

Speaks the core protocol over the local socket of $DISPLAY, with no
authorisation (the tests' Xvfb needs none)."""

import os
import socket
import struct
import sys
import time

EVENT_CLIENT_MESSAGE = 33


def pad(n):
    return (4 - n % 4) % 4


class Connection:

    def __init__(self, display=None):
        display = display or os.environ["DISPLAY"]
        number = display.split(":", 1)[1].split(".")[0]
        self.sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.sock.connect("/tmp/.X11-unix/X" + number)
        self.sock.sendall(struct.pack("<BxHHHHxx", ord("l"), 11, 0, 0, 0))
        head = self._recv(8)
        status, _, _, _, length = struct.unpack("<BBHHH", head)
        body = self._recv(length * 4)
        if status != 1:
            raise RuntimeError("X server refused the connection: %r" % body)
        (_, self.id_base, self.id_mask, _, vendor_len, _, screens, formats) = struct.unpack(
            "<IIIIHHBB", body[:22])
        at = 32 + vendor_len + pad(vendor_len) + 8 * formats
        self.root, _, self.white, self.black = struct.unpack("<IIII", body[at:at + 16])
        self.next_id = 0
        self.pending_events = []

    def _recv(self, n):
        data = b""
        while len(data) < n:
            chunk = self.sock.recv(n - len(data))
            if not chunk:
                raise EOFError("the X server closed the connection")
            data += chunk
        return data

    def new_id(self):
        self.next_id += 1
        return self.id_base | (self.next_id & self.id_mask)

    def request(self, opcode, data_byte, body):
        length = (4 + len(body)) // 4
        self.sock.sendall(struct.pack("<BBH", opcode, data_byte, length) + body)

    def read_packet(self):
        """The next reply, error or event: (kind, bytes)."""
        packet = self._recv(32)
        kind = packet[0]
        if kind == 1:
            extra = struct.unpack("<I", packet[4:8])[0]
            packet += self._recv(extra * 4)
        return kind, packet

    def reply(self):
        while True:
            kind, packet = self.read_packet()
            if kind == 1:
                return packet
            if kind == 0:
                raise RuntimeError("X error %d" % packet[1])
            self.pending_events.append(packet)

    def intern_atom(self, name):
        data = name.encode()
        self.request(16, 0, struct.pack("<HH", len(data), 0) + data + b"\0" * pad(len(data)))
        return struct.unpack("<I", self.reply()[8:12])[0]

    def change_property(self, window, prop, type_, fmt, data):
        units = len(data) // (fmt // 8)
        body = struct.pack("<IIIBxxxI", window, prop, type_, fmt, units)
        self.request(18, 0, body + data + b"\0" * pad(len(data)))

    def sync(self):
        self.request(43, 0, b"")  # GetInputFocus: its reply means all before it is done
        self.reply()

    def next_event(self):
        if self.pending_events:
            return self.pending_events.pop(0)
        while True:
            kind, packet = self.read_packet()
            if kind not in (0, 1):
                return packet


def show_window(title, close_delay, ignore_close, log):
    x = Connection()
    wid = x.new_id()
    # CreateWindow: 200 x 100 at 40, 40, white background.
    x.request(1, 0, struct.pack("<IIhhHHHHIII", wid, x.root, 40, 40, 200, 100, 0, 1, 0,
                                0x2, x.white))
    data = title.encode("utf-8")
    x.change_property(wid, 39, 31, 8, data)  # WM_NAME, STRING
    x.change_property(wid, x.intern_atom("_NET_WM_NAME"), x.intern_atom("UTF8_STRING"), 8, data)
    protocols = x.intern_atom("WM_PROTOCOLS")
    delete = x.intern_atom("WM_DELETE_WINDOW")
    x.change_property(wid, protocols, 4, 32, struct.pack("<I", delete))  # ATOM
    x.request(8, 0, struct.pack("<I", wid))  # MapWindow
    x.sync()
    print(wid, flush=True)
    while True:
        event = x.next_event()
        if event[0] & 0x7F != EVENT_CLIENT_MESSAGE:
            continue
        _, _, _, _, type_, first = struct.unpack("<BBHIII", event[:16])
        if type_ != protocols or first != delete:
            continue
        if log:
            with open(log, "a") as f:
                f.write("close requested %.3f\n" % time.time())
        if ignore_close:
            continue
        time.sleep(close_delay)
        x.request(4, 0, struct.pack("<I", wid))  # DestroyWindow
        x.sync()
        return 0


def ask_to_close(window):
    x = Connection()
    protocols = x.intern_atom("WM_PROTOCOLS")
    delete = x.intern_atom("WM_DELETE_WINDOW")
    event = struct.pack("<BBHII5I", EVENT_CLIENT_MESSAGE, 32, 0, window, protocols, delete, 0, 0,
                        0, 0)
    x.request(25, 0, struct.pack("<II", window, 0) + event)  # SendEvent
    x.sync()
    return 0


def iconify(window):
    x = Connection()
    wm_state = x.intern_atom("WM_STATE")
    x.request(10, 0, struct.pack("<I", window))  # UnmapWindow
    x.change_property(window, wm_state, wm_state, 32, struct.pack("<II", 3, 0))
    x.sync()
    return 0


def main(argv):
    if len(argv) >= 2 and argv[0] == "window":
        title = argv[1]
        close_delay = 0.0
        ignore = False
        log = None
        rest = argv[2:]
        while rest:
            option = rest.pop(0)
            if option == "--close-delay":
                close_delay = float(rest.pop(0))
            elif option == "--ignore-close":
                ignore = True
            elif option == "--log":
                log = rest.pop(0)
            else:
                raise SystemExit("unknown option " + option)
        return show_window(title, close_delay, ignore, log)
    if len(argv) == 2 and argv[0] == "close":
        return ask_to_close(int(argv[1], 0))
    if len(argv) == 2 and argv[0] == "iconify":
        return iconify(int(argv[1], 0))
    raise SystemExit(__doc__)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
