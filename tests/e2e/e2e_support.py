"""Drives the built application on a virtual X display, the way a user does.

A Session owns a fresh home (HOME and the XDG folders in a temporary folder),
an Xvfb on a display number of its own, a watcher of that display's top-level
windows and the application processes it starts. Controls are found by their
names in the skin's layouts; where they sit comes from kavelo-e2e-probe, which
lays the same window out on the same display.
"""

import json
import os
import re
import select
import shutil
import socket
import struct
import subprocess
import tempfile
import threading
import time

SKIP = 77  # CTest's SKIP_RETURN_CODE for these tests
MAIN_TITLE = "Kavelo DSP Audio"
LOADING_TITLE = "loadingwnd"
TIMEOUT = 30.0


class Failure(Exception):
    pass


class Skipped(Exception):
    pass


def _pad4(n):
    return (n + 3) & ~3


class WindowWatcher:
    """A minimal X client that records when top-level windows are mapped,
    unmapped and destroyed, with their WM_NAME. Polling with xdotool misses a
    window that lives only a few milliseconds (the loading window on a fast
    machine); the server's event stream does not."""

    def __init__(self, display_number):
        self._sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self._sock.connect("/tmp/.X11-unix/X%d" % display_number)
        # Little-endian, protocol 11.0, no authorisation (Xvfb started without -auth).
        self._sock.sendall(struct.pack("<BxHHHHxx", ord("l"), 11, 0, 0, 0))
        head = self._read(8)
        body = self._read(struct.unpack_from("<H", head, 6)[0] * 4)
        if head[0] != 1:
            raise Failure("the X server refused the window watcher")
        vendor_length = struct.unpack_from("<H", body, 16)[0]
        formats = body[21]
        self.root = struct.unpack_from("<I", body, 32 + _pad4(vendor_length) + 8 * formats)[0]
        self._sequence = 0
        self._pending_names = {}  # request sequence -> window
        self._lock = threading.Condition()
        self.events = []  # (kind, window), kind in created/mapped/unmapped/destroyed
        self.names = {}
        self.override_redirect = {}
        # ChangeWindowAttributes(root, event-mask = SubstructureNotify)
        self._request(struct.pack("<BxHIII", 2, 4, self.root, 0x800, 0x80000))
        self._thread = threading.Thread(target=self._run, daemon=True)
        self._thread.start()

    def _read(self, n):
        data = b""
        while len(data) < n:
            chunk = self._sock.recv(n - len(data))
            if not chunk:
                raise EOFError
            data += chunk
        return data

    def _request(self, data):
        self._sequence = (self._sequence + 1) & 0xFFFF
        self._sock.sendall(data)
        return self._sequence

    def _ask_name(self, window):
        # GetProperty(window, WM_NAME, any type, up to 1 KiB)
        sequence = self._request(struct.pack("<BBHIIIII", 20, 0, 6, window, 39, 0, 0, 256))
        self._pending_names[sequence] = window

    def _run(self):
        try:
            while True:
                packet = self._read(32)
                code = packet[0] & 0x7F
                if code == 1:  # a reply: only GetProperty is ever asked
                    extra = self._read(struct.unpack_from("<I", packet, 4)[0] * 4)
                    window = self._pending_names.pop(struct.unpack_from("<H", packet, 2)[0], None)
                    size = struct.unpack_from("<I", packet, 16)[0] * (packet[1] // 8)
                    if window is not None:
                        with self._lock:
                            self.names[window] = extra[:size].decode("utf-8", "replace")
                            self._lock.notify_all()
                    continue
                if code == 0:  # an error: a window gone before its name was read
                    self._pending_names.pop(struct.unpack_from("<H", packet, 2)[0], None)
                    continue
                kinds = {16: "created", 17: "destroyed", 18: "unmapped", 19: "mapped"}
                if code not in kinds:
                    continue
                window = struct.unpack_from("<I", packet, 8)[0]
                if code == 16 and struct.unpack_from("<I", packet, 4)[0] != self.root:
                    continue
                if code == 19:
                    self._ask_name(window)
                with self._lock:
                    if code == 16:
                        # Window ids are reused: forget what an earlier one was called.
                        self.names.pop(window, None)
                        self.override_redirect[window] = bool(packet[22])
                    self.events.append((kinds[code], window))
                    self._lock.notify_all()
        except (EOFError, OSError):
            with self._lock:
                self._lock.notify_all()

    def wait(self, condition, what, timeout=TIMEOUT):
        """Waits until `condition(events, names)` holds, checked on each X event
        and at least every 100 ms (a condition may look at a process too)."""
        deadline = time.monotonic() + timeout
        with self._lock:
            while True:
                value = condition(self.events, self.names)
                if value:
                    return value
                left = deadline - time.monotonic()
                if left <= 0:
                    seen = ["%s %#x %r" % (k, w, self.names.get(w, "?")) for k, w in self.events]
                    raise Failure("timed out waiting for %s; windows seen: %s" % (what, seen))
                self._lock.wait(min(left, 0.1))

    def mark(self):
        with self._lock:
            return len(self.events)

    def close(self):
        self._sock.close()


class Layout:
    """Where each named control of the main window sits, relative to the window."""

    def __init__(self, probe_output, layouts_dir):
        self.rects = {}
        self.size = None
        duplicates = set()
        for line in probe_output.splitlines():
            parts = line.split()
            if len(parts) == 3 and parts[0] == "window":
                self.size = (int(parts[1]), int(parts[2]))
            elif len(parts) == 5:
                if parts[0] in self.rects:
                    duplicates.add(parts[0])
                self.rects[parts[0]] = tuple(int(p) for p in parts[1:])
        for name in duplicates:
            del self.rects[name]
        if not self.size:
            raise Failure("the layout probe printed no window size:\n" + probe_output)
        self._layouts_dir = layouts_dir

    def centre(self, name):
        """The centre of control `name`; it must be named in a checked-in layout."""
        if not self._named_in_layouts(name):
            raise Failure("no control %r in the layouts of %s" % (name, self._layouts_dir))
        if name not in self.rects:
            raise Failure("control %r is not visible (or not unique) in the main window" % name)
        x, y, w, h = self.rects[name]
        return x + w // 2, y + h // 2

    def _named_in_layouts(self, name):
        pattern = re.compile(r'name="%s"' % re.escape(name))
        for file_name in os.listdir(self._layouts_dir):
            with open(os.path.join(self._layouts_dir, file_name), encoding="utf-8") as f:
                if pattern.search(f.read()):
                    return True
        return False


class App:
    def __init__(self, process, window, log_path):
        self.process = process
        self.window = window
        self.log_path = log_path

    def output(self):
        """The end of what the application printed (sanitizer reports, warnings)."""
        with open(self.log_path, encoding="utf-8", errors="replace") as f:
            return f.read()[-4000:]


class Session:
    def __init__(self, args):
        self.args = args
        self._temp = tempfile.mkdtemp(prefix="kavelo-e2e-")
        self.home = os.path.join(self._temp, "home")
        self.data_home = os.path.join(self.home, ".local", "share")
        self.config_home = os.path.join(self.home, ".config")
        runtime = os.path.join(self._temp, "runtime")
        for folder in (self.data_home, self.config_home):
            os.makedirs(folder)
        os.makedirs(runtime, mode=0o700)
        self._xvfb = None
        self.watcher = None
        self._apps = []
        try:
            self._start(runtime)
        except BaseException:
            self.close()
            raise

    def _start(self, runtime):
        self.display = self._start_xvfb()
        env = dict(os.environ)
        env.update({
            "DISPLAY": ":%d" % self.display,
            "QT_QPA_PLATFORM": "xcb",  # whatever the suite around says (offscreen)
            "HOME": self.home,
            "XDG_DATA_HOME": self.data_home,
            "XDG_CONFIG_HOME": self.config_home,
            "XDG_RUNTIME_DIR": runtime,
        })
        env.pop("XAUTHORITY", None)
        # Sanitizer builds: what the X11 platform's system libraries leak is theirs.
        suppressions = os.path.join(os.path.dirname(os.path.abspath(__file__)),
                                    "lsan-system.supp")
        env["LSAN_OPTIONS"] = ":".join(filter(None, [env.get("LSAN_OPTIONS"),
                                                     "suppressions=" + suppressions]))
        self.env = env
        self.watcher = WindowWatcher(self.display)
        self.layout = self._probe_layout()

    # -- the display ---------------------------------------------------------

    def _start_xvfb(self):
        read_end, write_end = os.pipe()
        # A file, not a pipe: a pipe nobody reads would stall the server once full.
        xvfb_log = os.path.join(self._temp, "xvfb.log")
        try:
            with open(xvfb_log, "w") as log:
                self._xvfb = subprocess.Popen(
                    [self.args.xvfb, "-displayfd", str(write_end), "-screen", "0",
                     "1600x1000x24", "-dpi", "96", "-nolisten", "tcp", "-noreset"],
                    pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=log)
        except OSError as e:
            raise Skipped("cannot run Xvfb: %s" % e)
        finally:
            os.close(write_end)
        text = b""
        deadline = time.monotonic() + TIMEOUT
        try:
            while not text.endswith(b"\n"):
                left = deadline - time.monotonic()
                if left <= 0 or not select.select([read_end], [], [], left)[0]:
                    raise Skipped("Xvfb did not report a display within %.0f s" % TIMEOUT)
                chunk = os.read(read_end, 16)
                if not chunk:
                    with open(xvfb_log, encoding="utf-8", errors="replace") as f:
                        raise Skipped("Xvfb did not start: %s" % f.read().strip()[-500:])
                text += chunk
        finally:
            os.close(read_end)
        return int(text)

    # -- processes -----------------------------------------------------------

    def run(self, command, timeout=TIMEOUT, check=True):
        result = subprocess.run(command, env=self.env, capture_output=True, text=True,
                                timeout=timeout)
        if check and result.returncode != 0:
            raise Failure("%s failed (%d):\n%s%s" % (" ".join(command), result.returncode,
                                                     result.stdout, result.stderr))
        return result

    def xdotool(self, *args):
        return self.run([self.args.xdotool] + [str(a) for a in args]).stdout

    def _probe_layout(self):
        # A home of its own: the probe's amplifier and settings stay out of the test's.
        probe_home = os.path.join(self._temp, "probe")
        env = dict(self.env, HOME=probe_home, XDG_DATA_HOME=probe_home + "/data",
                   XDG_CONFIG_HOME=probe_home + "/config")
        result = subprocess.run([self.args.probe], env=env, capture_output=True, text=True,
                                timeout=TIMEOUT * 2)
        if result.returncode != 0:
            raise Failure("layout probe failed (%d): %s" % (result.returncode, result.stderr))
        return Layout(result.stdout, self.args.layouts)

    def start_app(self):
        """Starts kavelo-dsp --demo and waits until it shows its main window,
        connected: the loading window it shows while reading the amplifier
        back has come and gone (a modal window would swallow the input)."""
        mark = self.watcher.mark()
        log_path = os.path.join(self._temp, "app-%d.log" % len(self._apps))
        with open(log_path, "w") as log:
            process = subprocess.Popen([self.args.app, "--demo"], env=self.env, cwd=self._temp,
                                       stdout=log, stderr=subprocess.STDOUT)
        self._apps.append(process)
        app = App(process, None, log_path)

        def connected(events, names):
            if process.poll() is not None:
                raise Failure("kavelo-dsp exited early (%d):\n%s"
                              % (process.returncode, app.output()))
            recent = events[mark:]
            main = [w for k, w in recent if k == "mapped" and names.get(w) == MAIN_TITLE]
            # The loading window: mapped, not a popup, not the main window; its
            # name may be unknown when it closed before the watcher asked.
            loading = [w for k, w in recent if k == "mapped" and w not in main
                       and not self.watcher.override_redirect.get(w)
                       and names.get(w, LOADING_TITLE) == LOADING_TITLE]
            gone = {w for k, w in recent if k in ("unmapped", "destroyed")}
            if main and loading and all(w in gone for w in loading):
                return main[-1]
            return None

        app.window = self.watcher.wait(connected, "the main window, connected")
        # No window manager: give the window the keyboard focus ourselves.
        self.xdotool("windowfocus", "--sync", app.window)
        width, height = self.window_geometry(app.window)[2:]
        if (width, height) != self.layout.size:
            raise Failure("main window is %dx%d, the probe laid out %dx%d"
                          % (width, height, *self.layout.size))
        return app

    def window_geometry(self, window):
        text = self.xdotool("getwindowgeometry", "--shell", window)
        values = dict(line.split("=", 1) for line in text.split())
        return tuple(int(values[k]) for k in ("X", "Y", "WIDTH", "HEIGHT"))

    # -- input ---------------------------------------------------------------

    def click(self, app, control):
        x, y = self.layout.centre(control)
        left, top = self.window_geometry(app.window)[:2]
        # No --sync: it waits for motion, and there is none when the pointer is
        # already there. The server handles the move before the click anyway.
        self.xdotool("mousemove", left + x, top + y, "click", 1)

    def key(self, *keys):
        self.xdotool("key", "--delay", 20, *keys)

    def type(self, text):
        self.xdotool("type", "--delay", 20, "--", text)

    def wait_window(self, title, since):
        """A window named `title` mapped after watcher mark `since`; its id."""
        def found(events, names):
            for kind, window in events[since:]:
                if kind == "mapped" and names.get(window) == title:
                    return window
            return None
        return self.watcher.wait(found, "window %r" % title)

    def wait_popup(self, since):
        """A popup (menu) mapped after watcher mark `since`."""
        def found(events, names):
            for kind, window in events[since:]:
                if kind == "mapped" and self.watcher.override_redirect.get(window):
                    return window
            return None
        return self.watcher.wait(found, "a popup menu")

    def wait_gone(self, window):
        """Window `window` unmapped since it was last mapped (ids are reused)."""
        def gone(events, names):
            shown = max(i for i, (k, w) in enumerate(events) if k == "mapped" and w == window)
            return any(w == window and k in ("unmapped", "destroyed")
                       for k, w in events[shown:])
        self.watcher.wait(gone, "window %#x to close" % window)

    # -- ending --------------------------------------------------------------

    def close_app(self, app):
        """Clicks the title bar's close control and waits for the process to end."""
        self.click(app, "closebtn")
        try:
            code = app.process.wait(timeout=TIMEOUT)
        except subprocess.TimeoutExpired:
            raise Failure("kavelo-dsp did not exit within %.0f s" % TIMEOUT)
        if code != 0:
            raise Failure("kavelo-dsp exited with %d:\n%s" % (code, app.output()))

    def is_running(self, app):
        return app.process.poll() is None

    # -- what the amplifier kept ---------------------------------------------

    @property
    def state_file(self):
        return os.path.join(self.data_home, "kavelo", "demo-amplifier.json")

    @property
    def config_file(self):
        return os.path.join(self.config_home, "kavelo4to8", "kavelo.ini")

    def dump(self, whole=False):
        if whole:
            path = os.path.join(self._temp, "whole.wpf")
            self.run([self.args.cli, "--demo", "dump", "--whole", "-o", path])
            with open(path, encoding="utf-8") as f:
                return json.load(f)
        return json.loads(self.run([self.args.cli, "--demo", "dump"]).stdout)

    def close(self):
        for process in self._apps:
            if process.poll() is None:
                process.kill()
                process.wait()
        if self.watcher:
            self.watcher.close()
        if self._xvfb:
            self._xvfb.terminate()
            try:
                self._xvfb.wait(timeout=TIMEOUT)
            except subprocess.TimeoutExpired:
                self._xvfb.kill()
                self._xvfb.wait()
        shutil.rmtree(self._temp, ignore_errors=True)
