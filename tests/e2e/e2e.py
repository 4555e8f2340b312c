"""Helpers of the end-to-end and tool tests. `e2e.py serve` (scripts/demo) starts an
accessibility bus, prints the program's environment lines and READY, then answers each
line "counters" on standard input with "<sent> <received>" or "ERROR <why>"."""

import ast
import ctypes
import glob
import os
import pathlib
import re
import select
import signal
import subprocess
import sys
import tempfile
import time

BINARY_DIR = os.environ.get("LOOMWAY_BINARY_DIR", "build")
LOOMWAY = os.path.join(BINARY_DIR, "app", "loomway")
SIM = os.path.join(BINARY_DIR, "tools", "loomway-sim", "loomway-sim")
TITLE = "Palm Loomway by QUILLON"
ACCESSIBLE = "org.a11y.atspi.Accessible"
ROOT = "/org/a11y/atspi/accessible/root"


def die_with_test():  # preexec_fn: SIGTERM when the test process ends (PR_SET_PDEATHSIG)
    ctypes.CDLL(None).prctl(1, signal.SIGTERM)


_root = os.environ.get("LOOMWAY_TEST_ENV", "") + "/"
if __name__ != "__main__" and not (_root != "/" and all(os.environ.get(k, "").startswith(
        _root) for k in ("HOME", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR", "LOOMWAY_TEST_TMP"))):
    TEST_ENV = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support", "test-env")
    os.execv(TEST_ENV, [TEST_ENV, "e2e", sys.executable, *sys.argv])  # by hand: in a sandbox


def wait_until(predicate, timeout=10.0, what="condition"):
    deadline = time.monotonic() + timeout
    while not (value := predicate()):
        if time.monotonic() > deadline:
            raise AssertionError("timed out waiting for " + (what() if callable(what) else what))
        time.sleep(0.05)
    return value


def run(args, timeout=20, **kwargs):
    return subprocess.run(args, capture_output=True, timeout=timeout, **kwargs)


def position(wid):
    r = run(["xdotool", "getwindowgeometry", str(wid)])
    m = re.search(rb"Position: (-?\d+),(-?\d+)", r.stdout)
    return m and tuple(map(int, m.groups()))


def windows(pid, title):
    return [int(w) for w in run(["xdotool", "search", "--all", "--onlyvisible", "--pid", str(pid),
                                 "--name", "^%s$" % re.escape(title)]).stdout.split()]


def held(pid, paths):
    open_now = {os.path.realpath(fd) for fd in glob.glob("/proc/%d/fd/*" % pid)}
    return {p for p in paths if os.path.realpath(p) in open_now}


class FarEnd:
    """The far end of a socat pseudo-terminal (raw already), for exact bytes."""

    def __init__(self, path):
        self.fd = os.open(path, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)

    def write(self, data):
        view = memoryview(data)
        while view:
            try:
                view = view[os.write(self.fd, view):]
            except BlockingIOError:
                select.select([], [self.fd], [], 5)

    def reads(self, count, timeout=10.0):
        """The separate reads until count bytes came or timeout passed quietly."""
        pieces = []
        while sum(map(len, pieces)) < count and select.select([self.fd], [], [], timeout)[0]:
            pieces.append(os.read(self.fd, 65536))
        return pieces

    read = lambda self, count, timeout=10.0: b"".join(self.reads(count, timeout))

    def read_for(self, seconds):
        got, deadline = b"", time.monotonic() + seconds
        while (left := deadline - time.monotonic()) > 0:
            got += os.read(self.fd, 65536) if select.select([self.fd], [], [], left)[0] else b""
        return got

    close = lambda self: os.close(self.fd)


class Program:
    """A running loomway (process None: the one on the bus); wid: its main window once found."""

    def __init__(self, process, bus):
        self.process, self.bus, self.wid = process, bus, None
        self._window = self._nodes = None
        self.pid = process.pid if process else None

    def window(self):
        if self._window is None:
            app = self.bus.application("Palm Loomway")
            self._window = [c for c in app.children() if c.name() == TITLE][0]
        return self._window

    def node(self, name):
        if self._nodes is None:
            self._nodes = {n.name(): n for n in self.window().find(lambda n: True, 3)}
        return self._nodes[name]

    def counters(self):
        """(sent, received) as a screen reader says them ("Bytes sent, 492")."""
        return tuple(int(self.node(n).description()) for n in ("Bytes sent", "Bytes received"))

    def status(self, panel=0):
        bar = self.window().find(lambda n: n.role() == "status bar", depth=2)[0]
        return bar.children()[panel].name()

    def wait_for_window(self, timeout=20):
        def found():
            if self.process.poll() is not None:
                raise AssertionError("loomway ended with %s" % self.process.returncode)
            return (windows(self.pid, TITLE) or [None])[0]
        self.wid = wait_until(found, timeout, "the main window")
        return self.wid

    def key(self, *keys):
        run(["xdotool", "windowfocus", "--sync", str(self.wid)])
        run(["xdotool", "key", "--clearmodifiers", *keys])

    def click_on(self, name):
        x, y, width, height = self.node(name).extents()
        run(["xdotool", "mousemove", "--window", str(self.wid), str(x + width // 2),
             str(y + height // 2), "click", "1"])


class Session:

    def __init__(self):
        self.dir = tempfile.mkdtemp(dir=os.environ["LOOMWAY_TEST_TMP"])
        self.ini_path = os.path.join(os.environ.get("XDG_CONFIG_HOME", self.dir), "LOOMWAY.INI")
        self.processes, self.cleanups = [], []

    __enter__ = lambda self: self

    def __exit__(self, *exc):
        for process in reversed(self.processes):
            process.terminate()  # a no-op once it has ended
            try:
                process.wait(5)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait(5)
        for cleanup in reversed(self.cleanups):
            cleanup()

    def path(self, name, data=None):
        path = os.path.join(self.dir, name)
        if data is not None:
            pathlib.Path(path).write_bytes(data)
        return path

    def start(self, args, **kwargs):
        kwargs.setdefault("stdin", subprocess.DEVNULL)
        self.processes.append(subprocess.Popen(args, preexec_fn=die_with_test, **kwargs))
        return self.processes[-1]

    def pty_pair(self):
        """(program end, far end) paths of a fresh socat pseudo-terminal pair."""
        a, b = (self.path("pty%d-%s" % (len(self.processes), end)) for end in "ab")
        self.start(["socat", "pty,raw,echo=0,link=" + a, "pty,raw,echo=0,link=" + b],
                   stderr=subprocess.DEVNULL)
        wait_until(lambda: os.path.exists(a) and os.path.exists(b), 5, "socat's ptys")
        return a, b

    def far(self, path):
        end = FarEnd(path)
        self.cleanups.append(end.close)
        return end

    def write_ini(self, handheld, modem, **sections):
        """Settings with COM1 = handheld, COM2 = modem; keyword sections add keys."""
        ini = {"Ports": {"COM1": handheld, "COM2": modem}, "Source": {"Port": "1"},
               "Destination": {"Port": "2"}, "Common": {"Speed": "115200"},
               "Preferences": {"Status": "ON", "Startup": "Data Sniffer"}}
        for section, keys in sections.items():
            ini.setdefault(section, {}).update(keys)
        with open(self.ini_path, "w", encoding="latin-1") as f:
            for section, keys in ini.items():
                f.write("[%s]\n%s\n" % (section, "".join("%s=%s\n" % kv for kv in keys.items())))

    def relay(self, read_window=False, env=None, modem=None, **sections):
        """COM1, COM2: pty pairs (COM2 the endpoint `modem` if given); the window shown;
        (program, handheld far, modem far or None)."""
        (handheld, handheld_far), (device, modem_far) = self.pty_pair(), (
            self.pty_pair() if modem is None else (None, None))
        self.write_ini(handheld, modem or device, **sections)
        p = self.loomway(read_window, env)
        p.ends = (handheld, modem or device)
        p.devices = {handheld, device} - {None}
        p.wait_for_window()
        return p, handheld_far, modem_far

    def loomway(self, read_window=False, env=None):
        bus = AccessibilityBus(self) if read_window else None
        full = dict(os.environ, **(env or {}), **(bus.env() if bus else {}))
        log = open(self.path("loomway%d.log" % len(self.processes)), "wb")
        self.cleanups.append(log.close)
        return Program(self.start([LOOMWAY], stdout=log, stderr=log, env=full), bus)

    sim = lambda self, *args, input=None: run([SIM, *args], input=input, timeout=30)


def _value(text):
    m = re.match(r"^\(<?(.*?)>?,\)$", text.strip(), re.S)
    return ast.literal_eval(re.sub(r"\b(objectpath|uint32|int32|@\w+) ", "", m.group(1)))


class AccessibilityBus:
    """Our own D-Bus session bus and AT-SPI bus launcher, each in a process group of its own."""

    def __init__(self, session=None):
        quiet = dict(stdin=subprocess.DEVNULL, stderr=subprocess.DEVNULL, preexec_fn=die_with_test,
                     start_new_session=True)
        self.daemon = subprocess.Popen(
            ["dbus-daemon", "--session", "--nofork", "--print-address=1"], stdout=subprocess.PIPE,
            **quiet)
        if session:
            session.cleanups.append(self.stop)
        self.address = self.daemon.stdout.readline().decode().strip()
        self.daemon.stdout.close()
        self.launcher = subprocess.Popen(
            ["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"], stdout=subprocess.DEVNULL,
            env=dict(os.environ, DBUS_SESSION_BUS_ADDRESS=self.address), **quiet)
        get = ["gdbus", "call", "--address", self.address, "--dest", "org.a11y.Bus",
               "--object-path", "/org/a11y/bus", "--method", "org.a11y.Bus.GetAddress"]
        self.a11y = _value(wait_until(lambda: run(get).stdout.decode(), 10, "the a11y bus"))

    env = lambda self: {"DBUS_SESSION_BUS_ADDRESS": self.address,
                        "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1"}

    def stop(self):
        for p in (self.launcher, self.daemon):
            os.killpg(p.pid, signal.SIGTERM)
            p.wait(5)

    def call(self, dest, path, method, *args):
        r = run(["gdbus", "call", "--address", self.a11y, "--dest", dest, "--object-path", path,
                 "--method", method, "--", *args], 10)
        assert r.returncode == 0, "%s failed: %s" % (method, r.stderr.decode())
        return r.stdout.decode("utf-8", "replace")

    def application(self, name, timeout=20):
        def find():
            reply = self.call("org.a11y.atspi.Registry", ROOT, ACCESSIBLE + ".GetChildren")
            for dest in re.findall(r"\('(:[0-9.]+)',", reply):
                try:
                    if Node(self, dest, ROOT).name() == name:
                        return Node(self, dest, ROOT)
                except AssertionError:
                    pass
        return wait_until(find, timeout, "%r on the accessibility bus" % name)


class Node:

    def __init__(self, bus, dest, path):
        self.bus, self.dest, self.path = bus, dest, path

    def _call(self, method, *args):
        return _value(self.bus.call(self.dest, self.path, method, *args))

    name = lambda self: self._call("org.freedesktop.DBus.Properties.Get", ACCESSIBLE, "Name")
    description = lambda self: self._call("org.freedesktop.DBus.Properties.Get", ACCESSIBLE,
                                          "Description")
    role = lambda self: self._call(ACCESSIBLE + ".GetRoleName")
    extents = lambda self: self._call("org.a11y.atspi.Component.GetExtents", "1")  # in the window

    def children(self):
        return [Node(self.bus, self.dest, p) for p in re.findall(
            r"'(/org/a11y/atspi/accessible/[^']+)'",
            self.bus.call(self.dest, self.path, ACCESSIBLE + ".GetChildren"))]

    def find(self, predicate, depth=6):
        """Descendants (menus left out) for which predicate(node) holds."""
        found = []
        for child in self.children():
            found += [child] if predicate(child) else []
            if depth > 1 and "menu" not in child.role():
                found += child.find(predicate, depth - 1)
        return found


if __name__ == "__main__" and sys.argv[1:2] == ["serve"]:
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    bus = AccessibilityBus()
    try:
        print("".join("%s=%s\n" % kv for kv in bus.env().items()) + "READY", flush=True)
        reader = Program(None, bus)
        for _ in sys.stdin:
            try:
                print("%d %d" % reader.counters(), flush=True)
            except (AssertionError, IndexError, ValueError) as e:
                print("ERROR %s" % str(e).splitlines()[0], flush=True)
    finally:
        bus.stop()
elif __name__ == "__main__":
    sys.exit(__doc__)
