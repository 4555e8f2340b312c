"""Reads what the program shows, from outside, through the desktop's
accessibility bus (AT-SPI), the way a screen reader does: the two byte
counters and the two data panes of the main window.

An AccessibilityBus starts a private D-Bus session bus and the AT-SPI bus
launcher; a program started with its env() registers its widgets there.
Queries go through gdbus. Everything started is stopped, children first.

As a script (used by scripts/demo):
  atspi.py serve
      starts a bus, prints the environment lines for the program to read and
      a line READY, then answers each line "counters" on standard input with
      "<sent> <received>" as the main window shows them (or "ERROR <why>");
      stops the bus when standard input ends."""

import ast
import ctypes
import os
import re
import signal
import subprocess
import time

ACCESSIBLE = "org.a11y.atspi.Accessible"
ROOT = "/org/a11y/atspi/accessible/root"
LAUNCHER = "/usr/libexec/at-spi-bus-launcher"
TOOLS = ("dbus-daemon", "gdbus", LAUNCHER)


def _die_with_parent():
    ctypes.CDLL(None).prctl(1, signal.SIGTERM)  # PR_SET_PDEATHSIG


def _descendants(pid):
    """Child processes of pid, deepest first."""
    found = []
    try:
        with open("/proc/%d/task/%d/children" % (pid, pid)) as f:
            children = [int(c) for c in f.read().split()]
    except OSError:
        return found
    for child in children:
        found += _descendants(child)
        found.append(child)
    return found


def _gone(pid):
    try:
        with open("/proc/%d/stat" % pid) as f:
            return f.read().rsplit(")", 1)[1].split()[0] in ("Z", "X")
    except OSError:
        return True


def _end(pid):
    try:
        os.kill(pid, signal.SIGTERM)
    except ProcessLookupError:
        return
    for _ in range(50):
        if _gone(pid):
            return
        time.sleep(0.05)
    try:
        os.kill(pid, signal.SIGKILL)
    except ProcessLookupError:
        pass


def _reap_orphans():
    """Collects the bus helpers that ended as orphans of this process (it is
    their subreaper); other children are left to their Popen objects."""
    me = os.getpid()
    deadline = time.monotonic() + 2
    while time.monotonic() < deadline:
        waiting = False
        for pid in _descendants_direct(me):
            try:
                with open("/proc/%d/stat" % pid) as f:
                    stat = f.read()
            except OSError:
                continue
            comm = stat[stat.index("(") + 1:stat.rindex(")")]
            if not comm.startswith(("at-spi", "dbus-daemon")):
                continue
            if stat.rsplit(")", 1)[1].split()[0] == "Z":
                try:
                    os.waitpid(pid, os.WNOHANG)
                except ChildProcessError:
                    pass
            else:
                os.kill(pid, signal.SIGTERM)  # a helper of our buses, still running
                waiting = True
        if not waiting:
            return
        time.sleep(0.05)


def _descendants_direct(pid):
    try:
        with open("/proc/%d/task/%d/children" % (pid, pid)) as f:
            return [int(c) for c in f.read().split()]
    except OSError:
        return []


def _value(text):
    """The first value of gdbus's printed reply, as a Python value."""
    text = text.strip()
    m = re.match(r"^\(<(.*)>,\)$", text, re.S) or re.match(r"^\((.*),\)$", text, re.S)
    if not m:
        raise AssertionError("unexpected reply from gdbus: %r" % text)
    inner = re.sub(r"\b(objectpath|uint32|int32|@\w+) ", "", m.group(1))
    return ast.literal_eval(inner)


class AccessibilityBus:

    def __init__(self, session=None):
        missing = [t for t in TOOLS if not (os.path.exists(t) or _which(t))]
        if missing:
            raise AssertionError("needed for reading the window: " + ", ".join(missing))
        # The buses start helpers of their own (the registry daemon); when a
        # bus ends first they become orphans. As a subreaper this process
        # inherits them and reaps them, so none is left behind as a zombie.
        ctypes.CDLL(None, use_errno=True).prctl(36, 1, 0, 0, 0)  # PR_SET_CHILD_SUBREAPER
        self.processes = []
        self.session_bus = subprocess.Popen(
            ["dbus-daemon", "--session", "--nofork", "--print-address=1"],
            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL,
            preexec_fn=_die_with_parent)
        self.processes.append(self.session_bus)
        if session is not None:
            session.cleanups.append(self.stop)
        self.address = self.session_bus.stdout.readline().decode().strip()
        self.session_bus.stdout.close()
        env = dict(os.environ, DBUS_SESSION_BUS_ADDRESS=self.address)
        self.processes.append(subprocess.Popen(
            [LAUNCHER, "--launch-immediately"], env=env, stdin=subprocess.DEVNULL,
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, preexec_fn=_die_with_parent))
        self.a11y = self._wait_for_a11y_address()

    def env(self):
        """For the program that is to be read."""
        return {"DBUS_SESSION_BUS_ADDRESS": self.address, "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1"}

    def _wait_for_a11y_address(self):
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline:
            r = subprocess.run(["gdbus", "call", "--address", self.address, "--dest",
                                "org.a11y.Bus", "--object-path", "/org/a11y/bus", "--method",
                                "org.a11y.Bus.GetAddress"], capture_output=True, timeout=10)
            if r.returncode == 0:
                return _value(r.stdout.decode())
            time.sleep(0.1)
        raise AssertionError("the accessibility bus did not start")

    def stop(self):
        helpers = []
        for process in self.processes:
            helpers += _descendants(process.pid)
        for pid in helpers:
            _end(pid)
        for process in reversed(self.processes):
            if process.poll() is None:
                process.terminate()
                try:
                    process.wait(5)
                except subprocess.TimeoutExpired:
                    process.kill()
                    process.wait(5)
        self.processes.clear()
        _reap_orphans()

    def call(self, dest, path, method, *args):
        r = subprocess.run(["gdbus", "call", "--address", self.a11y, "--dest", dest,
                            "--object-path", path, "--method", method, "--", *args],
                           capture_output=True, timeout=10)
        if r.returncode != 0:
            raise AssertionError("%s on %s failed: %s" % (method, path, r.stderr.decode()))
        return r.stdout.decode("utf-8", "replace")

    def application(self, name, timeout=20):
        """The registered application of this name."""
        deadline = time.monotonic() + timeout
        while True:
            reply = self.call("org.a11y.atspi.Registry", ROOT, ACCESSIBLE + ".GetChildren")
            for bus in re.findall(r"\('(:[0-9.]+)',", reply):
                node = Node(self, bus, ROOT)
                try:
                    if node.name() == name:
                        return node
                except AssertionError:
                    pass
            if time.monotonic() > deadline:
                raise AssertionError("no application %r on the accessibility bus" % name)
            time.sleep(0.2)


def _which(name):
    for d in os.environ.get("PATH", "").split(os.pathsep):
        if os.access(os.path.join(d, name), os.X_OK):
            return True
    return False


class Node:
    """One accessible object: a window, a label, a text pane..."""

    def __init__(self, bus, dest, path):
        self.bus, self.dest, self.path = bus, dest, path

    def _call(self, method, *args):
        return self.bus.call(self.dest, self.path, method, *args)

    def name(self):
        return _value(self._call("org.freedesktop.DBus.Properties.Get", ACCESSIBLE, "Name"))

    def role(self):
        return _value(self._call(ACCESSIBLE + ".GetRoleName"))

    def extents(self):
        """(x, y, width, height) relative to the window."""
        return _value(self._call("org.a11y.atspi.Component.GetExtents", "1"))

    def children(self):
        reply = self._call(ACCESSIBLE + ".GetChildren")
        return [Node(self.bus, self.dest, p)
                for p in re.findall(r"'(/org/a11y/atspi/accessible/[^']+)'", reply)]

    def text(self):
        return _value(self._call("org.a11y.atspi.Text.GetText", "0", "-1"))

    def find(self, predicate, depth=6):
        """Every descendant for which predicate(node, role) holds."""
        found = []
        for child in self.children():
            role = child.role()
            if predicate(child, role):
                found.append(child)
            if depth > 1 and role not in ("menu bar", "menu", "menu item", "popup menu"):
                found += child.find(predicate, depth - 1)
        return found


class MainWindowReader:
    """The counters and panes of the main window of the application."""

    def __init__(self, app, title):
        frames = [c for c in app.children() if c.role() == "frame" and c.name() == title]
        if not frames:
            raise AssertionError("no main window %r on the accessibility bus" % title)
        self.frame = frames[0]
        self._counters = None
        self._panes = None

    def counter_nodes(self):
        """lblSNDbyt and lblRCVByt: the labels beside "S" and "R"."""
        if self._counters is None:
            panels = self.frame.find(
                lambda n, role: role in ("label", "filler", "panel") and
                {c.name() for c in n.children()} >= {"S", "R"})
            if not panels:
                raise AssertionError("no counter panel in the main window")
            labels = [c for c in panels[0].children() if c.name() not in ("S", "R")]
            labels.sort(key=lambda n: n.extents()[1])
            if len(labels) != 2:
                raise AssertionError("the counter panel holds %d counters" % len(labels))
            self._counters = labels
        return self._counters

    def counters(self):
        """(BytesSent, BytesReceived) as the labels show them."""
        sent, received = (int(n.name()) for n in self.counter_nodes())
        return sent, received

    def status(self):
        """The text of the status bar's first panel."""
        bars = self.frame.find(lambda n, role: role == "status bar", depth=2)
        if not bars:
            raise AssertionError("no status bar in the main window")
        panels = bars[0].children()
        return panels[0].name() if panels else ""

    def panes(self):
        """(txtSend, txtReceive) texts, top pane first."""
        if self._panes is None:
            panes = self.frame.find(lambda n, role: role == "text", depth=3)
            panes.sort(key=lambda n: n.extents()[1])
            if len(panes) != 2:
                raise AssertionError("the main window holds %d text panes" % len(panes))
            self._panes = panes
        return tuple(p.text() for p in self._panes)


def serve(application="Palm Loomway", title="Palm Loomway by QUILLON"):
    import sys

    def stop_on_signal(number, frame):
        raise SystemExit(0)

    signal.signal(signal.SIGTERM, stop_on_signal)
    signal.signal(signal.SIGHUP, stop_on_signal)
    try:
        bus = AccessibilityBus()
    except AssertionError as e:
        print("ERROR %s" % e, flush=True)
        return 1
    try:
        for key, value in bus.env().items():
            print("%s=%s" % (key, value))
        print("READY", flush=True)
        reader = None
        for line in sys.stdin:
            if line.strip() != "counters":
                print("ERROR unknown request", flush=True)
                continue
            try:
                reader = reader or MainWindowReader(bus.application(application), title)
                print("%d %d" % reader.counters(), flush=True)
            except (AssertionError, ValueError, subprocess.SubprocessError) as e:
                print("ERROR %s" % str(e).splitlines()[0], flush=True)
    finally:
        bus.stop()
    return 0


if __name__ == "__main__":
    import sys
    if sys.argv[1:] != ["serve"]:
        raise SystemExit(__doc__)
    sys.exit(serve())
