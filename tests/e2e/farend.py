"""The far end of a pseudo-terminal pair, raw, for bytes that the tests check
exactly (the simulator covers the protocol; this covers arbitrary data)."""

import os
import select
import threading
import time
import tty


class FarEnd:

    def __init__(self, path):
        self.fd = os.open(path, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
        tty.setraw(self.fd)

    def write(self, data):
        view = memoryview(data)
        while view:
            try:
                n = os.write(self.fd, view)
                view = view[n:]
            except BlockingIOError:
                select.select([], [self.fd], [], 5)

    def write_in_background(self, data):
        """Writes from a thread, so the test can read the far side meanwhile."""
        writer = threading.Thread(target=self.write, args=(data,), daemon=True)
        writer.start()
        return writer

    def read(self, count, timeout=10.0):
        """Bytes until `count` came or `timeout` passed without a byte."""
        got = b""
        while len(got) < count:
            ready, _, _ = select.select([self.fd], [], [], timeout)
            if not ready:
                break
            got += os.read(self.fd, 65536)
        return got

    def read_for(self, seconds):
        """Whatever arrives within `seconds`."""
        got = b""
        deadline = time.monotonic() + seconds
        while True:
            left = deadline - time.monotonic()
            if left <= 0:
                return got
            ready, _, _ = select.select([self.fd], [], [], left)
            if ready:
                got += os.read(self.fd, 65536)

    def close(self):
        if self.fd >= 0:
            os.close(self.fd)
            self.fd = -1
