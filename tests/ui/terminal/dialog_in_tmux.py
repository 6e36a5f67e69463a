#!/usr/bin/env python3
"""The options dialogs of the real program in a real terminal: tmux runs dornel, types to it and
reads its screen. One case per run: dialog_in_tmux.py DORNEL CASE.

Each case has a tmux server of its own (tmux -L), a folder of its own, and waits for what it
expects to appear rather than for a fixed time. Screens compared whole are golden files under
tests/golden/terminal; a mismatch writes CASE.actual beside CASE.expected, and
scripts/approve-golden takes the new screens."""

import os
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", "..", ".."))
DATA = os.path.join(ROOT, "tests", "data", "terminal")
GOLDEN = os.path.join(ROOT, "tests", "golden", "terminal")
WIDTH, HEIGHT = 100, 30
TIMEOUT = 10.0


class Failure(Exception):
    pass


class Pane:
    """One tmux server with one pane running a command in the case's folder."""

    def __init__(self, folder, command):
        self.folder = folder
        self.socket = "dornel-test-%d-%s" % (os.getpid(), os.path.basename(folder))
        self.status = os.path.join(folder, "status")
        script = "cd %s && %s; echo $? > status.tmp && mv status.tmp status" % (
            quote(folder), command)
        self.tmux("new-session", "-d", "-x", str(WIDTH), "-y", str(HEIGHT),
                  "-e", "LANG=C.UTF-8", "-e", "LC_ALL=C.UTF-8", "-e", "NO_COLOR=1",
                  "sh", "-c", script)

    def tmux(self, *args):
        return subprocess.run(["tmux", "-L", self.socket, "-f", "/dev/null"] + list(args),
                              check=True, capture_output=True, text=True).stdout

    def screen(self):
        lines = self.tmux("capture-pane", "-p").split("\n")
        lines = [line.rstrip() for line in lines]
        while lines and not lines[-1]:
            lines.pop()
        return "\n".join(lines) + "\n"

    def wait_for(self, text, present=True):
        end = time.monotonic() + TIMEOUT
        while time.monotonic() < end:
            screen = self.screen()
            if (text in screen) == present:
                return screen
            time.sleep(0.05)
        raise Failure("%r did not %s within %gs; the screen:\n%s" % (
            text, "appear" if present else "go", TIMEOUT, self.screen()))

    def keys(self, *keys):
        self.tmux("send-keys", *keys)

    def resize(self, width, height):
        self.tmux("resize-window", "-x", str(width), "-y", str(height))

    def exit_status(self):
        end = time.monotonic() + TIMEOUT
        while time.monotonic() < end:
            if os.path.exists(self.status):
                with open(self.status) as f:
                    return int(f.read())
            time.sleep(0.05)
        raise Failure("dornel did not end within %gs; the screen:\n%s" % (TIMEOUT, self.screen()))

    def close(self):
        subprocess.run(["tmux", "-L", self.socket, "kill-server"], capture_output=True)


def quote(text):
    return "'" + text.replace("'", "'\\''") + "'"


def read(path):
    with open(path, "rb") as f:
        return f.read()


def expect(condition, message):
    if not condition:
        raise Failure(message)


def golden(case, pane):
    """The pane's screen against the approved one; the screen may still be arriving, so it is
    read again until it matches or the time is up."""
    expected = os.path.join(GOLDEN, case + ".expected")
    actual = os.path.join(GOLDEN, case + ".actual")
    want = read(expected).decode() if os.path.exists(expected) else None
    end = time.monotonic() + TIMEOUT
    screen = pane.screen()
    while screen != want and want is not None and time.monotonic() < end:
        time.sleep(0.05)
        screen = pane.screen()
    if screen == want:
        if os.path.exists(actual):
            os.remove(actual)
        return
    with open(actual, "w") as f:
        f.write(screen)
    raise Failure("the screen differs from %s; it is in %s. If it is right: scripts/approve-golden"
                  "\n%s" % (expected, actual, screen))


def run_plain(dornel, folder, args):
    return subprocess.run([dornel] + args, cwd=folder, capture_output=True)


# The cases. Each gets dornel's path and a folder holding copies of the data files.

IMPORT = "%s --store store.json import readings.txt --kind txt --options Delimiter=tab"


def import_dialog_shows_the_file(dornel, folder):
    pane = Pane(folder, IMPORT % dornel + " --interactive --format csv > out.csv")
    try:
        pane.wait_for("Preview of readings.txt:")
        golden("import-dialog", pane)
        pane.keys("Escape")
        pane.exit_status()
    finally:
        pane.close()


def decimal_comma_changes_the_preview(dornel, folder):
    pane = Pane(folder, IMPORT % dornel + " --interactive --format csv > out.csv")
    try:
        pane.wait_for("12,25")
        pane.keys("M-m")  # "Use co&mma as decimal symbol"
        pane.wait_for("12.25")
        screen = pane.wait_for("[x] Use comma as decimal symbol")
        expect("1.5" in screen and "10.75" in screen, "the numbers did not change:\n" + screen)
        pane.keys("Escape")
        pane.exit_status()
    finally:
        pane.close()


def enter_imports_as_the_same_options_do(dornel, folder):
    pane = Pane(folder, IMPORT % dornel + " --interactive --format csv > out.csv 2> err.txt")
    try:
        pane.wait_for("12,25")
        pane.keys("M-m")
        pane.wait_for("12.25")
        pane.keys("Enter")
        expect(pane.exit_status() == 0, "exit status not 0: " + read(
            os.path.join(folder, "err.txt")).decode())
    finally:
        pane.close()
    plain = run_plain(dornel, folder, ["--store", "other.json", "import", "readings.txt", "--kind",
                                       "txt", "--options", "Delimiter=tab;DecimalSymbol=comma",
                                       "--format", "csv"])
    expect(plain.returncode == 0, plain.stderr.decode())
    got = read(os.path.join(folder, "out.csv"))
    expect(got == plain.stdout, "interactive:\n%s\nnon-interactive:\n%s" % (
        got.decode(), plain.stdout.decode()))
    expect(b"12.25" in got, "the decimal comma was not taken:\n" + got.decode())


def escape_cancels_and_writes_nothing(dornel, folder):
    pane = Pane(folder, "%s --store store.json convert readings.txt copy.txt --import-kind txt "
                        "--interactive > out.txt" % dornel)
    try:
        pane.wait_for("Data Import Options")
        pane.keys("Escape")
        expect(pane.exit_status() == 3, "exit status not 3")
    finally:
        pane.close()
    expect(not os.path.exists(os.path.join(folder, "copy.txt")), "copy.txt was written")
    expect(read(os.path.join(folder, "out.txt")) == b"", "standard output got text")
    expect(not os.path.exists(os.path.join(folder, "store.json")) or
           b"DecimalSymbol" not in read(os.path.join(folder, "store.json")),
           "Cancel saved options")


def a_resize_keeps_it_usable(dornel, folder):
    pane = Pane(folder, IMPORT % dornel + " --interactive --format csv > out.csv")
    try:
        pane.wait_for("Preview of readings.txt:")
        pane.resize(60, 20)
        screen = pane.wait_for("needs a terminal of at least")
        expect("Escape" in screen, "the note does not say how to leave:\n" + screen)
        pane.resize(WIDTH, HEIGHT)
        pane.wait_for("Preview of readings.txt:")
        pane.keys("M-m")
        pane.wait_for("12.25")
        pane.keys("Enter")
        expect(pane.exit_status() == 0, "exit status not 0")
    finally:
        pane.close()
    expect(b"12.25" in read(os.path.join(folder, "out.csv")), "the choice made after the resize "
           "was lost")


def export_dialog_writes_what_the_options_write(dornel, folder):
    command = ("%s --store store.json export out.txt --records sheet.jsonl --kind txt "
               "--interactive" % dornel)
    pane = Pane(folder, command)
    try:
        pane.wait_for("Data Export Options - out.txt")
        golden("export-dialog", pane)
        pane.keys("M-s")  # "&Space"
        pane.wait_for("(*) Space")
        pane.keys("Enter")
        expect(pane.exit_status() == 0, "exit status not 0")
    finally:
        pane.close()
    plain = run_plain(dornel, folder, ["--store", "other.json", "export", "plain.txt", "--records",
                                       "sheet.jsonl", "--kind", "txt", "--options",
                                       "Delimiter=space"])
    expect(plain.returncode == 0, plain.stderr.decode())
    got, want = read(os.path.join(folder, "out.txt")), read(os.path.join(folder, "plain.txt"))
    expect(got == want, "interactive: %r\nnon-interactive: %r" % (got, want))
    expect(b"North 1.5" in got, "not space-delimited: %r" % got)


def export_escape_cancels(dornel, folder):
    pane = Pane(folder, "%s --store store.json export out.txt --records sheet.jsonl --kind txt "
                        "--interactive" % dornel)
    try:
        pane.wait_for("Data Export Options")
        pane.keys("Escape")
        expect(pane.exit_status() == 3, "exit status not 3")
    finally:
        pane.close()
    expect(not os.path.exists(os.path.join(folder, "out.txt")), "out.txt was written")


def a_signal_gives_the_terminal_back(dornel, folder):
    pane = Pane(folder, IMPORT % dornel + " --interactive; stty -a > stty.txt")
    try:
        pane.wait_for("Preview of readings.txt:")
        shell = pane.tmux("display", "-p", "#{pane_pid}").strip()
        child = subprocess.run(["pgrep", "-P", shell], capture_output=True, text=True).stdout
        pid = int(child.split()[0])
        os.kill(pid, 15)
        expect(pane.exit_status() == 0, "stty failed")
    finally:
        pane.close()
    modes = read(os.path.join(folder, "stty.txt")).decode().split()
    expect("echo" in modes and "icanon" in modes, "the terminal was left raw: %s" % modes)


def without_a_terminal_it_says_so(dornel, folder):
    # setsid leaves the controlling terminal behind, as cron or a pipeline in CI would.
    r = subprocess.run(["setsid", "-w", dornel, "--store", "store.json", "import",
                        "readings.txt", "--kind", "txt", "--interactive"], cwd=folder,
                       capture_output=True, stdin=subprocess.DEVNULL)
    expect(r.returncode == 2, "exit status %d, not 2" % r.returncode)
    expect(b"--interactive needs a terminal" in r.stderr, r.stderr.decode())
    expect(r.stdout == b"", "standard output got text")


CASES = {f.__name__: f for f in [
    import_dialog_shows_the_file, decimal_comma_changes_the_preview,
    enter_imports_as_the_same_options_do, escape_cancels_and_writes_nothing,
    a_resize_keeps_it_usable, export_dialog_writes_what_the_options_write,
    export_escape_cancels, a_signal_gives_the_terminal_back, without_a_terminal_it_says_so]}


def main():
    if len(sys.argv) == 2 and sys.argv[1] == "--list":
        print("\n".join(CASES))
        return 0
    dornel, case = os.path.abspath(sys.argv[1]), sys.argv[2]
    folder = tempfile.mkdtemp(prefix="dornel-tmux-")
    try:
        for name in os.listdir(DATA):
            shutil.copy(os.path.join(DATA, name), folder)
        CASES[case](dornel, folder)
    except Failure as e:
        print("%s: %s" % (case, e))
        return 1
    finally:
        shutil.rmtree(folder, ignore_errors=True)
    print("%s: passed" % case)
    return 0


if __name__ == "__main__":
    sys.exit(main())
