#!/usr/bin/env python3
"""kavelo-cli.exe under Wine, run as a user runs it, against the Linux build.

Each case gives both programs the same demo amplifier state (the Linux program
prepares it, the state file is copied into the Windows program's local
application data folder), runs the same commands in a folder with a non-ASCII
name on files with non-ASCII names, and requires the same exit codes and the
same bytes on standard output and in every file written.

    cli_under_wine.py --list
    cli_under_wine.py CASE --exe kavelo-cli.exe --linux-cli kavelo-cli \\
        --wine cmake/wine-run.sh --fixtures tests/fixtures
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile

CASES = {}


def case(function):
    CASES[function.__name__] = function
    return function


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


REW_FILTERS = (
    "Filter Settings file\n\nRoom EQ V5.20\n\nEqualiser: Generic\n"
    "Filter  1: ON  PK       Fc   45.0 Hz  Gain  -8.0 dB  Q  6.000\n"
    "Filter  2: ON  PK       Fc   120 Hz   Gain  -3.5 dB  Q  2.000\n"
    "Filter  3: ON  LS       Fc   300 Hz   Gain   2.0 dB\n"
    "Filter  4: ON  PK       Fc  2.40 kHz  Gain   1.7 dB  Q  1.000\n"
)


class Session:
    """Two programs, one demo state, a work folder with a non-ASCII name."""

    def __init__(self, options, root):
        self.options = options
        self.root = root
        self.work = os.path.join(root, "Arbeit-作業")
        os.makedirs(self.work)
        self.linux_home = os.path.join(root, "linux-home")
        self.linux_state = os.path.join(self.linux_home, "data", "kavelo", "demo-amplifier.json")
        self.windows_state = os.path.join(self.local_app_data(), "kavelo", "demo-amplifier.json")

    # ---------------------------------------------------------------- running
    def wine_env(self):
        env = dict(os.environ)
        env.pop("DISPLAY", None)
        return env

    def wine(self, *args):
        """A Wine tool; its standard output, text."""
        run = subprocess.run([self.options.wine, *args], capture_output=True,
                             env=self.wine_env(), timeout=120)
        check(run.returncode == 0, "wine %s failed: %r" % (" ".join(args), run.stderr[:300]))
        return run.stdout.decode("utf-8", "replace").strip()

    def local_app_data(self):
        """The Unix path of the Wine prefix's local application data folder."""
        windows_path = self.wine("cmd", "/c", "echo", "%LOCALAPPDATA%")
        check(windows_path.startswith("C:"), "no LOCALAPPDATA in the Wine prefix")
        return self.wine("winepath", "-u", windows_path)

    def linux(self, *args):
        env = {"HOME": self.linux_home, "XDG_DATA_HOME": os.path.join(self.linux_home, "data"),
               "PATH": "/usr/bin:/bin", "LANG": "C.UTF-8"}
        return subprocess.run([self.options.linux_cli, "--demo", *args], cwd=self.work,
                              capture_output=True, env=env, timeout=120)

    def windows(self, *args):
        return subprocess.run([self.options.wine, self.options.exe, "--demo", *args],
                              cwd=self.work, capture_output=True, env=self.wine_env(), timeout=120)

    # ------------------------------------------------------------ demo state
    def share_state_with_windows(self):
        check(os.path.exists(self.linux_state), "the Linux program kept no demo state")
        os.makedirs(os.path.dirname(self.windows_state), exist_ok=True)
        shutil.copyfile(self.linux_state, self.windows_state)

    def share_state_with_linux(self):
        check(os.path.exists(self.windows_state), "the Windows program kept no demo state")
        shutil.copyfile(self.windows_state, self.linux_state)

    def prepare_state(self):
        """A demo amplifier far from factory settings, known to both programs."""
        golden = os.path.join(self.work, "Grundeinstellung.spf")
        shutil.copyfile(os.path.join(self.options.fixtures, "profiles", "golden.spf"), golden)
        for args in (["apply", "Grundeinstellung.spf"], ["scene", "save", "3", "--name", "Bühne"],
                     ["volume", "27"], ["source", "4"]):
            run = self.linux(*args)
            check(run.returncode == 0, "Linux %s failed: %s" % (args, run.stderr.decode()))
        self.share_state_with_windows()

    # ------------------------------------------------------------- comparing
    def same(self, *args, code=0):
        """Runs one command in both programs; exit code and output must agree."""
        linux = self.linux(*args)
        windows = self.windows(*args)
        label = " ".join(args)
        check(linux.returncode == code,
              "Linux %s: exit %d, wanted %d: %s" % (label, linux.returncode, code,
                                                    linux.stderr.decode()))
        check(windows.returncode == code,
              "Windows %s: exit %d, wanted %d: %s" % (label, windows.returncode, code,
                                                      windows.stderr.decode("utf-8", "replace")))
        if windows.stdout != linux.stdout:
            raise Failure("standard output of %s differs\nLinux:   %r\nWindows: %r" %
                          (label, linux.stdout[:600], windows.stdout[:600]))
        return windows

    def same_file(self, linux_name, windows_name):
        with open(os.path.join(self.work, linux_name), "rb") as f:
            linux = f.read()
        with open(os.path.join(self.work, windows_name), "rb") as f:
            windows = f.read()
        if linux != windows:
            raise Failure("%s and %s differ\nLinux:   %r\nWindows: %r" %
                          (linux_name, windows_name, linux[:600], windows[:600]))
        return windows

    def linux_writes(self, name, *args):
        run = self.linux(*args, "-o", name)
        check(run.returncode == 0, "Linux %s failed: %s" % (args, run.stderr.decode()))

    def windows_writes(self, name, *args):
        run = self.windows(*args, "-o", name)
        check(run.returncode == 0,
              "Windows %s failed: %s" % (args, run.stderr.decode("utf-8", "replace")))
        check(os.path.exists(os.path.join(self.work, name)),
              "Windows %s wrote no file named %s" % (args, name))


@case
def info(s):
    s.prepare_state()
    out = s.same("info")
    check(b"TRQ5.40AMP" in out.stdout and "Bühne".encode() in out.stdout,
          "info names neither the model nor the saved scene: %r" % out.stdout)


@case
def dump(s):
    """The profile Windows writes is the Linux one, byte for byte."""
    s.prepare_state()
    out = s.same("dump")
    check(out.stdout.startswith(b'{"model":87,'), "not a profile: %r" % out.stdout[:80])
    s.linux_writes("linux.spf", "dump")
    s.windows_writes("プロファイル.spf", "dump")
    check(s.same_file("linux.spf", "プロファイル.spf") == out.stdout,
          "the file differs from the standard output")
    s.linux_writes("linux.wpf", "dump", "--whole")
    s.windows_writes("Gesamtkonfiguration-全体.wpf", "dump", "--whole")
    s.same_file("linux.wpf", "Gesamtkonfiguration-全体.wpf")


@case
def apply(s):
    """A profile with a non-ASCII name goes in; both amplifiers read back alike."""
    s.prepare_state()
    golden = os.path.join(s.options.fixtures, "profiles", "golden.wpf")
    shutil.copyfile(golden, os.path.join(s.work, "Réglage-設定.wpf"))
    s.same("apply", "Réglage-設定.wpf")
    s.same("dump")
    # The state the Windows program kept reads the same on Linux.
    windows_dump = s.windows("dump").stdout
    s.share_state_with_linux()
    check(s.linux("dump").stdout == windows_dump, "the Windows state file reads otherwise on Linux")


@case
def eq(s):
    s.prepare_state()
    with open(os.path.join(s.work, "Messung-測定.txt"), "w", encoding="utf-8") as f:
        f.write(REW_FILTERS)
    s.same("eq", "import", "Messung-測定.txt", "--channel", "5")
    for fmt in ("rew", "apo"):
        s.same("eq", "export", "--channel", "5", "--format", fmt)
        s.linux_writes("linux-%s.txt" % fmt, "eq", "export", "--channel", "5", "--format", fmt)
        s.windows_writes("Égaliseur-%s.txt" % fmt, "eq", "export", "--channel", "5",
                         "--format", fmt)
        s.same_file("linux-%s.txt" % fmt, "Égaliseur-%s.txt" % fmt)
    s.same("dump")


@case
def diff(s):
    s.prepare_state()
    shutil.copyfile(os.path.join(s.options.fixtures, "profiles", "golden.spf"),
                    os.path.join(s.work, "Ausgangspunkt.spf"))
    s.linux_writes("Jetzt-現在.spf", "dump")
    s.same("diff", "Ausgangspunkt.spf", "Jetzt-現在.spf", code=1)
    s.same("diff", "Jetzt-現在.spf", "amp", code=0)
    s.same("diff", "fehlt-なし.spf", "amp", code=3)


SHELL_FOLDERS = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\User Shell Folders"


@case
def state_folder(s):
    """A local application data folder with a non-ASCII name holds the demo state.

    The folder is redirected as Windows redirects it (the shell folder in the
    user's registry); it does not exist yet, the program makes it.
    """
    folder = os.path.join(s.root, "Dätenördner-データ")
    windows_folder = "Z:" + folder.replace("/", "\\")
    s.wine("reg", "add", SHELL_FOLDERS, "/v", "Local AppData", "/t", "REG_EXPAND_SZ",
           "/d", windows_folder, "/f")
    try:
        s.windows_state = os.path.join(folder, "kavelo", "demo-amplifier.json")
        s.prepare_state()
        run = s.windows("scene", "save", "5", "--name", "Küche-台所")
        check(run.returncode == 0, "scene save failed: %s" % run.stderr.decode("utf-8", "replace"))
        windows_dump = s.windows("dump", "--whole", "-o", "ganz.wpf")
        check(windows_dump.returncode == 0, "dump failed")
        check(os.path.exists(s.windows_state), "no state file in " + folder)
        s.share_state_with_linux()
        s.linux_writes("linux.wpf", "dump", "--whole")
        s.same_file("linux.wpf", "ganz.wpf")
        check("Küche-台所".encode() in s.same("info").stdout, "the scene name was not kept")
    finally:
        s.wine("reg", "add", SHELL_FOLDERS, "/v", "Local AppData", "/t", "REG_EXPAND_SZ",
               "/d", r"%USERPROFILE%\AppData\Local", "/f")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("case", nargs="?")
    parser.add_argument("--list", action="store_true")
    parser.add_argument("--exe")
    parser.add_argument("--linux-cli")
    parser.add_argument("--wine")
    parser.add_argument("--fixtures")
    options = parser.parse_args()
    for name in ("exe", "linux_cli", "wine", "fixtures"):
        if getattr(options, name):
            setattr(options, name, os.path.abspath(getattr(options, name)))
    if options.list:
        print("\n".join(CASES))
        return 0
    if options.case not in CASES:
        parser.error("unknown case %r" % options.case)
    root = tempfile.mkdtemp(prefix="kavelo-wine-")
    session = None
    try:
        session = Session(options, root)
        CASES[options.case](session)
    except Failure as failure:
        print("FAIL:", failure, file=sys.stderr)
        return 1
    finally:
        if session is not None and os.path.exists(session.windows_state):
            os.remove(session.windows_state)
        shutil.rmtree(root, ignore_errors=True)
    print("ok")
    return 0


if __name__ == "__main__":
    sys.exit(main())
