"""Shared helpers of the end-to-end tests: the real loomway binary under the
test's X server, pseudo-terminal pairs made by socat, the simulator, and the
X11 tools (xdotool, xwininfo, xclip) that drive the program from outside.

Every process a Session starts is ended when the session closes, also when
the test fails."""

import ctypes
import os
import re
import signal
import subprocess
import tempfile
import time

BINARY_DIR = os.environ.get("LOOMWAY_BINARY_DIR", "build")
SOURCE_DIR = os.environ.get("LOOMWAY_SOURCE_DIR", ".")
LOOMWAY = os.path.join(BINARY_DIR, "app", "loomway")
SIM = os.path.join(BINARY_DIR, "tools", "loomway-sim", "loomway-sim")
TITLE = "Palm Loomway by QUILLON"
TWIPS_PER_PIXEL = 15


def die_with_test():
    """For Popen(preexec_fn=...): the child gets SIGTERM when the test process
    ends, also when it is killed, so nothing it started outlives it."""
    ctypes.CDLL(None).prctl(1, signal.SIGTERM)  # PR_SET_PDEATHSIG


def wait_until(predicate, timeout=10.0, step=0.05, what="condition"):
    """Polls predicate until it gives a true value, which is returned."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() > deadline:
            raise AssertionError("timed out waiting for " + what)
        time.sleep(step)


def run(args, timeout=20, **kwargs):
    return subprocess.run(args, capture_output=True, timeout=timeout, **kwargs)


def ini_text(sections):
    lines = []
    for section, keys in sections.items():
        lines.append("[%s]" % section)
        for key, value in keys.items():
            lines.append("%s=%s" % (key, value))
        lines.append("")
    return "\n".join(lines)


def read_ini(path):
    """Sections and keys of an INI file (names as written), or {}."""
    result = {}
    if not os.path.exists(path):
        return result
    section = None
    with open(path, encoding="latin-1") as f:
        for raw in f:
            line = raw.strip()
            if line.startswith("[") and line.endswith("]"):
                section = result.setdefault(line[1:-1], {})
            elif "=" in line and section is not None:
                key, value = line.split("=", 1)
                section[key.strip()] = value.strip()
    return result


class Geometry:
    def __init__(self, x, y, width, height):
        self.x, self.y, self.width, self.height = x, y, width, height

    def __repr__(self):
        return "%dx%d+%d+%d" % (self.width, self.height, self.x, self.y)


def window_geometry(wid):
    """Position and size of an X window as the X server reports them."""
    out = run(["xwininfo", "-id", str(wid)]).stdout.decode()

    def field(name):
        m = re.search(r"^\s*%s:\s*(-?\d+)" % re.escape(name), out, re.M)
        if not m:
            raise AssertionError("xwininfo gave no %s for window %s:\n%s" % (name, wid, out))
        return int(m.group(1))

    return Geometry(field("Absolute upper-left X"), field("Absolute upper-left Y"),
                    field("Width"), field("Height"))


def window_exists(wid):
    return run(["xwininfo", "-id", str(wid)]).returncode == 0


def window_is_viewable(wid):
    out = run(["xwininfo", "-id", str(wid)]).stdout.decode()
    return "Map State: IsViewable" in out


def find_windows(title, pid=None):
    """Visible top-level windows with exactly this title (of one process)."""
    args = ["xdotool", "search", "--all", "--onlyvisible"]
    if pid is not None:
        args += ["--pid", str(pid)]
    args += ["--name", "^%s$" % re.escape(title)]
    out = run(args).stdout.decode().split()
    return [int(w) for w in out]


def clipboard_text():
    """The desktop's CLIPBOARD selection as bytes (None when nobody owns it)."""
    r = run(["xclip", "-o", "-selection", "clipboard"], timeout=10)
    if r.returncode != 0:
        return None
    return r.stdout


class Program:
    """A running loomway and its main window."""

    def __init__(self, process, session):
        self.process = process
        self.session = session
        self.wid = None
        self.bus = None
        self._reader = None

    @property
    def pid(self):
        return self.process.pid

    def wait_for_window(self, timeout=20):
        def found():
            if self.process.poll() is not None:
                raise AssertionError("loomway ended with %s before its window showed:\n%s" %
                                     (self.process.returncode, self.session.program_log()))
            windows = find_windows(TITLE, self.pid)
            return windows[0] if windows else None

        self.wid = wait_until(found, timeout, what="the main window")
        return self.wid

    def geometry(self):
        return window_geometry(self.wid)

    @property
    def shown(self):
        """What the main window shows: counters() and panes()."""
        if self._reader is None:
            import atspi
            if self.bus is None:
                raise AssertionError("start_loomway(read_window=True) to read the window")
            self._reader = atspi.MainWindowReader(self.bus.application("Palm Loomway"), TITLE)
        return self._reader

    def wait_for_counters(self, sent, received, timeout=10):
        """Waits until the counter labels show these numbers."""
        try:
            wait_until(lambda: self.shown.counters() == (sent, received), timeout,
                       what="the counters")
        except AssertionError:
            raise AssertionError("the counters show %r, expected %r" %
                                 (self.shown.counters(), (sent, received))) from None

    def focus(self):
        run(["xdotool", "windowfocus", "--sync", str(self.wid)], timeout=10)

    def key(self, *keys):
        """Types key combinations (xdotool names, e.g. "ctrl+d") into the window."""
        self.focus()
        run(["xdotool", "key", "--clearmodifiers", *keys], timeout=10)

    def click(self, x, y, button=1):
        """Clicks at client pixel (x, y) of the main window."""
        run(["xdotool", "mousemove", "--window", str(self.wid), str(x), str(y)], timeout=10)
        run(["xdotool", "click", str(button)], timeout=10)

    def double_click(self, x, y):
        run(["xdotool", "mousemove", "--window", str(self.wid), str(x), str(y)], timeout=10)
        run(["xdotool", "click", "--repeat", "2", "--delay", "60", "1"], timeout=10)

    def click_twips(self, left, top, width, height):
        """Clicks the middle of an element laid out in client twips."""
        self.click((left + width // 2) // TWIPS_PER_PIXEL, (top + height // 2) // TWIPS_PER_PIXEL)

    def wait_for_size(self, width, height, tolerance=1, timeout=10):
        def right():
            g = self.geometry()
            return (abs(g.width - width) <= tolerance and abs(g.height - height) <= tolerance
                    and g)

        try:
            return wait_until(right, timeout, what="size %dx%d" % (width, height))
        except AssertionError:
            raise AssertionError("window is %r, expected %dx%d (+-%d)" %
                                 (self.geometry(), width, height, tolerance)) from None

    def wait_for_exit(self, timeout=15):
        try:
            return self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            raise AssertionError("loomway did not end within %s s" % timeout) from None

    def running(self):
        return self.process.poll() is None


class Session:
    """One test's processes and files. Use as a context manager."""

    def __init__(self, name="e2e"):
        base = os.environ.get("LOOMWAY_TEST_TMP") or tempfile.gettempdir()
        self.dir = tempfile.mkdtemp(prefix=name + "-", dir=base)
        self.config_dir = os.environ.get("XDG_CONFIG_HOME") or os.path.join(self.dir, "config")
        os.makedirs(self.config_dir, exist_ok=True)
        self.ini_path = os.path.join(self.config_dir, "LOOMWAY.INI")
        self.processes = []  # (Popen, stop signal), ended in reverse order
        self.cleanups = []
        self.log_paths = []
        self.counter = 0

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()
        return False

    def path(self, name):
        return os.path.join(self.dir, name)

    def track(self, process, stop_signal=signal.SIGTERM):
        """Ends the process with the session."""
        self.processes.append((process, stop_signal))
        return process

    def close(self):
        for process, stop_signal in reversed(self.processes):
            if process.poll() is None:
                try:
                    process.send_signal(stop_signal)
                    process.wait(5)
                except subprocess.TimeoutExpired:
                    process.kill()
                    process.wait(5)
        self.processes.clear()
        for cleanup in reversed(self.cleanups):
            cleanup()
        self.cleanups.clear()

    # --- serial lines ---------------------------------------------------------

    def pty_pair(self):
        """Returns (program end, far end) of a fresh pseudo-terminal pair."""
        self.counter += 1
        a = self.path("pty%d-program" % self.counter)
        b = self.path("pty%d-far" % self.counter)
        self.track(subprocess.Popen(
            ["socat", "pty,raw,echo=0,link=" + a, "pty,raw,echo=0,link=" + b],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            preexec_fn=die_with_test))
        wait_until(lambda: os.path.exists(a) and os.path.exists(b), 5, what="socat's ptys")
        return a, b

    # --- settings ---------------------------------------------------------------

    def write_ini(self, sections):
        with open(self.ini_path, "w", encoding="latin-1") as f:
            f.write(ini_text(sections))

    def ini(self):
        return read_ini(self.ini_path)

    def standard_ini(self, handheld, modem, speed="115200", status="ON", startup="Data Sniffer",
                     methods=None, extra=None):
        """Settings that map COM1 to the handheld pty and COM2 to the modem pty."""
        sections = {
            "Ports": {"COM1": handheld, "COM2": modem},
            "Source": {"Port": "1"},
            "Destination": {"Port": "2"},
            "Common": {"Speed": speed},
            "Preferences": {"Status": status, "Startup": startup},
        }
        if methods:
            sections["Methods"] = methods
        for section, keys in (extra or {}).items():
            sections.setdefault(section, {}).update(keys)
        self.write_ini(sections)

    # --- processes --------------------------------------------------------------

    def start_loomway(self, env=None, read_window=False):
        """Starts the program. With read_window, its window's counters and
        panes can be read (Program.shown) over a private accessibility bus."""
        log = self.path("loomway-%d.log" % (len(self.log_paths) + 1))
        self.log_paths.append(log)
        full_env = dict(os.environ)
        full_env.update(env or {})
        bus = None
        if read_window:
            import atspi
            bus = atspi.AccessibilityBus(self)
            full_env.update(bus.env())
        with open(log, "wb") as out:
            process = subprocess.Popen([LOOMWAY], stdin=subprocess.DEVNULL, stdout=out,
                                       stderr=subprocess.STDOUT, env=full_env,
                                       preexec_fn=die_with_test)
        program = Program(self.track(process), self)
        program.bus = bus
        return program

    def program_log(self):
        text = ""
        for path in self.log_paths:
            with open(path, "rb") as f:
                text += f.read().decode("latin-1")
        return text

    def sim(self, *args, input=None, timeout=30):
        return subprocess.run([SIM, *args], input=input, capture_output=True, timeout=timeout)

    def sim_background(self, *args):
        """A simulator left running; its output and its notes are collected
        in files (output_of, notes_of)."""
        self.counter += 1
        out = self.path("sim%d.out" % self.counter)
        notes = self.path("sim%d.err" % self.counter)
        with open(out, "wb") as f, open(notes, "wb") as g:
            process = subprocess.Popen([SIM, *args], stdin=subprocess.DEVNULL, stdout=f,
                                       stderr=g, preexec_fn=die_with_test)
        process.output_path = out
        process.notes_path = notes
        return self.track(process)

    def start_listener(self, device, *options):
        """The simulated handheld listening for clipboard transfers, once it
        listens (it drops what waited on the line before it came)."""
        listener = self.sim_background("--device", device, *options, "handheld", "listen")
        wait_until(lambda: b"listening on" in notes_of(listener) or listener.poll() is not None,
                   10, what="the simulated handheld to listen")
        return listener

    def start_modem(self, device, *options):
        """The simulated modem on a line, once it listens."""
        modem = self.sim_background("--device", device, *options, "modem")
        wait_until(lambda: b"modem: ready" in output_of(modem) or modem.poll() is not None, 10,
                   what="the simulated modem")
        if modem.poll() is not None:
            raise AssertionError("the simulated modem ended: %r" % notes_of(modem))
        return modem

    def set_clipboard(self, data):
        """Puts bytes on the CLIPBOARD selection, served by an xclip of ours."""
        process = self.track(subprocess.Popen(
            ["xclip", "-quiet", "-selection", "clipboard", "-i"], stdin=subprocess.PIPE,
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            preexec_fn=die_with_test))
        process.stdin.write(data)
        process.stdin.close()
        wait_until(lambda: clipboard_text() == data, 10, what="xclip to own the clipboard")
        return process


def output_of(process):
    with open(process.output_path, "rb") as f:
        return f.read()


def notes_of(process):
    with open(process.notes_path, "rb") as f:
        return f.read()
