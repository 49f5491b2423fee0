"""Helpers for the Wine scenarios: start kestrova.exe, drive it with
kdriver.exe, read and write its registry key, take screenshots.

The scenarios run inside tools/wine-session (DISPLAY, WINEPREFIX and the
PulseAudio null sink are set up), or natively on Windows; CTest passes the
paths of the built programs in KESTROVA_EXE, KESTROVA_WITHOUT_AGREEMENT_EXE
and KDRIVER_EXE, and in KESTROVA_RUNNER what starts them ("wine" for a cross
build, empty on Windows).
"""

import array
import atexit
import math
import os
import queue
import struct
import subprocess
import sys
import tempfile
import threading
import time
import unittest

MAIN_TITLE = "Kestrova v2.0beta"
AGREEMENT_TITLE = "最终用户许可协议"
WARNING_TITLE = "警告！"

REG_SZ = 1
REG_DWORD = 4
VERSION_1_99 = bytes.fromhex("d7a3703d0ad7ff3f")

# Flag word bits.
FLAG_TRIGGER_POWER = 0x002
FLAG_TRIGGER_USB_MOUSE = 0x004
FLAG_TRIGGER_SHUTDOWN = 0x010
FLAG_SHOW_WARNING = 0x020
FLAG_TRIGGER_MOUSE_MOVE = 0x040
FLAG_DAILY_UPDATE_CHECK = 0x080
FLAG_AGREEMENT_PENDING = 0x100
FLAG_SMS_SERVICE = 0x400
DEFAULT_FLAGS = 0x1FF

KESTROVA_EXE = os.environ.get("KESTROVA_EXE", "")
KESTROVA_WITHOUT_AGREEMENT_EXE = os.environ.get("KESTROVA_WITHOUT_AGREEMENT_EXE", "")
KDRIVER_EXE = os.environ.get("KDRIVER_EXE", "")
RUNNER = os.environ.get("KESTROVA_RUNNER", "" if os.name == "nt" else "wine").split()
SOURCE_DIR = os.environ.get(
    "KESTROVA_SOURCE_DIR",
    os.path.abspath(os.path.join(os.path.dirname(__file__), "..", "..", "..")))


class DriverError(RuntimeError):
    pass


class _Server:
    """One kdriver.exe serving a test's commands in turn ("kdriver serve"):
    Wine starts once instead of once a command. Wine's own errors are on and
    kept, so a server cut off outside kdriver's code says what Wine saw."""

    def __init__(self):
        self.errors = tempfile.TemporaryFile()
        self.process = subprocess.Popen([*RUNNER, KDRIVER_EXE, "serve"], stdin=subprocess.PIPE,
                                        stdout=subprocess.PIPE, stderr=self.errors,
                                        env=dict(os.environ, WINEDEBUG="-all,err+all"))
        # Read by a thread of its own: a Wine service process that a command
        # happens to start inherits the pipe and may hold it open after
        # kdriver ended, so the end shows as the process's, not as the pipe's.
        self.chunks = queue.Queue()
        self.buffer = b""
        threading.Thread(target=self._read, args=(self.process.stdout,), daemon=True).start()

    def _read(self, stdout):
        while True:
            chunk = stdout.read1(65536)
            self.chunks.put(chunk)
            if not chunk:
                return

    def _take(self, size, deadline):
        """The next size bytes (None: the next line), or None once kdriver ended."""
        while True:
            end = self.buffer.find(b"\n") + 1 if size is None else size
            if end > 0 if size is None else len(self.buffer) >= size:
                taken, self.buffer = self.buffer[:end], self.buffer[end:]
                return taken
            try:
                chunk = self.chunks.get(timeout=0.2)
            except queue.Empty:
                if self.process.poll() is not None and self.chunks.empty():
                    return None
                if time.monotonic() > deadline:
                    self.stop()
                    raise subprocess.TimeoutExpired(["kdriver", *self.words], self.timeout)
                continue
            if not chunk:
                return None
            self.buffer += chunk

    def ask(self, words, desktop, timeout):
        """(exit code, answer, reason) of one command, or None when kdriver
        ended without answering."""
        fields = [desktop or "", *words]
        line = "\t".join(f.replace("\\", "\\\\").replace("\t", "\\t").replace("\n", "\\n") for f in fields)
        try:
            self.process.stdin.write(line.encode("utf-8") + b"\n")
            self.process.stdin.flush()
        except OSError:
            return None
        self.words, self.timeout = words, timeout
        deadline = time.monotonic() + timeout
        header = self._take(None, deadline)
        if header is None:
            return None
        code, answer_size, reason_size = map(int, header.split())
        answer = self._take(answer_size, deadline)
        reason = self._take(reason_size, deadline)
        if answer is None or reason is None:
            return None
        return code, answer.decode("utf-8", "replace").strip(), reason.decode("utf-8", "replace").strip()

    def ended(self):
        """The exit code and Wine's last words of a kdriver that ended."""
        self.stop()
        self.errors.seek(0)
        return self.process.returncode, self.errors.read().decode("utf-8", "replace").strip()[-2000:]

    def stop(self):
        if self.process.poll() is None:
            self.process.stdin.close()
            try:
                self.process.wait(timeout=5)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait(timeout=10)


_server = None


def stop_driver():
    """Ends the serving kdriver; the next command starts another."""
    global _server
    if _server:
        _server.stop()
        _server = None


atexit.register(stop_driver)


def run_driver(words, desktop, timeout):
    """(exit code, stdout, stderr) of one kdriver command; when kdriver ended
    without answering, its exit code, nothing, and what Wine said."""
    global _server
    if _server is None or _server.process.poll() is not None:
        _server = _Server()
    outcome = _server.ask(words, desktop, timeout)
    if outcome is None:
        code, said = _server.ended()
        _server = None
        return code, "", said
    return outcome


# Commands that change nothing a test looks at when run twice: the queries,
# and registry writes that set the same again. Input and window messages
# are never run again: half sent before Wine ended kdriver, a second run
# would send some of it twice.
SAFE_TO_REPEAT = {"list", "wait", "gone", "text", "checked", "box-text", "rect", "window-rect", "progress",
                  "front", "pid", "desktop-exists", "input-desktop", "reg-dump", "run-value", "cursor",
                  "reg-set", "reg-set-text", "reg-delete", "reg-access"}
# One line per repeated run; tools/test.sh prints how many at the end.
RETRY_LOG = os.path.join(os.environ.get("KESTROVA_BUILD_DIR", tempfile.gettempdir()), "wine-retries.log")


def driver(*args, desktop=None, check=True, timeout=60):
    """Runs one kdriver command and returns its output, stripped."""
    words = [str(a) for a in args]
    name = f"kdriver {' '.join(words)}"
    code, answer, said = run_driver(words, desktop, timeout)
    if code != 0 and not answer and "kdriver: " not in said:
        # kdriver says why whenever it fails; silence means Wine ended the
        # process outside its code (seen once on a busy machine).
        if args[0] not in SAFE_TO_REPEAT:
            raise DriverError(f"{name}: Wine ended it with exit {code} ({said!r}); not run again")
        with open(RETRY_LOG, "a", encoding="utf-8") as retries:
            retries.write(f"{os.path.basename(sys.argv[-1])}: {name}: exit {code} {said!r}\n")
        print(f"{name}: ended with exit {code} and no word of its own ({said!r}); run again", file=sys.stderr)
        code, answer, said = run_driver(words, desktop, timeout)
    if check and code != 0:
        raise DriverError(f"{name}: exit {code}: {said or 'nothing on stderr'}; stdout {answer!r}")
    return answer


def start(exe=None):
    """Starts kestrova.exe (or another build) and returns its process."""
    return subprocess.Popen([*RUNNER, exe or KESTROVA_EXE],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def wait_exit(process, timeout=30):
    """The program's exit code as Windows gave it (-1 reads as 255)."""
    return process.wait(timeout=timeout)


def stop(process):
    """Ends a program left running by a failed test."""
    if process.poll() is None:
        process.kill()
        try:
            process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            pass


def close_program(program):
    """Closes the main dialog; the program's exit code once it has ended."""
    close(MAIN_TITLE)
    return wait_exit(program)


def wait_window(title, timeout=20.0, desktop=None):
    driver("wait", title, int(timeout * 1000), desktop=desktop, timeout=timeout + 30)


def window_gone(title, timeout=20.0, desktop=None):
    driver("gone", title, int(timeout * 1000), desktop=desktop, timeout=timeout + 30)


def window_exists(title, desktop=None):
    return driver("wait", title, 0, desktop=desktop, check=False) == "ok"


def text(title, control_id, desktop=None):
    return driver("text", title, control_id, desktop=desktop)


def set_text(title, control_id, value, desktop=None):
    driver("set-text", title, control_id, value, desktop=desktop)


def checked(title, control_id):
    return driver("checked", title, control_id) == "1"


def click(title, control_id, desktop=None):
    driver("click", title, control_id, desktop=desktop)


def command(title, control_id, desktop=None):
    driver("command", title, control_id, desktop=desktop)


def close(title, desktop=None):
    driver("close", title, desktop=desktop)


def box_text(title, desktop=None):
    return driver("box-text", title, desktop=desktop)


def until(predicate, timeout=10.0, interval=0.2):
    """Waits until predicate() is true; returns whether it became true."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if predicate():
            return True
        time.sleep(interval)
    return predicate()


# --- the owner's log --------------------------------------------------------------

def log_path(name="kestrova.log"):
    if os.name == "nt":
        return os.path.join(os.environ["LOCALAPPDATA"], "Kestrova", name)
    users = os.path.join(os.environ["WINEPREFIX"], "drive_c", "users")
    user = [n for n in sorted(os.listdir(users)) if n != "Public"][0]
    return os.path.join(users, user, "AppData", "Local", "Kestrova", name)


def log_texts():
    """The events in the log, each line's "YYYY-MM-DD hh:mm:ss  " checked and cut."""
    if not os.path.exists(log_path()):
        return []
    with open(log_path(), "rb") as log:
        lines = log.read().decode("utf-8").splitlines()
    return [line[21:] for line in lines if time.strptime(line[:21], "%Y-%m-%d %H:%M:%S  ")]


# --- registry -----------------------------------------------------------------

def reg_dump():
    """{name: (type, bytes)} of the settings key, or None when there is none."""
    out = driver("reg-dump", check=False)
    if out == "no key":
        return None
    values = {}
    for line in out.splitlines():
        name, kind, data = (line.split("\t") + [""])[:3]
        values[name] = (int(kind), bytes.fromhex(data))
    return values


def reg_delete():
    driver("reg-delete")


def reg_set(name, kind, data):
    driver("reg-set", name, kind, data.hex())


def reg_set_dword(name, value):
    reg_set(name, REG_DWORD, struct.pack("<I", value & 0xFFFFFFFF))


def reg_set_text(name, value):
    driver("reg-set-text", name, value)


def dword(values, name):
    kind, data = values[name]
    assert kind == REG_DWORD and len(data) == 4, (name, kind, data)
    return struct.unpack("<I", data)[0]


def set_dpi(dpi):
    """The prefix's display scaling (LogPixels); 96 is 100 %. Wine 10's
    desktop process reads it once as it starts, and programs take their
    scale from it, so the Wine server and every program of the prefix end,
    and a new server starts that stays up, as wine-session's does: one that
    ended between two programs would forget what only lives in it (a key's
    access list)."""
    subprocess.run(["wine", "reg", "add", r"HKCU\Control Panel\Desktop", "/v", "LogPixels", "/t", "REG_DWORD",
                    "/d", str(dpi), "/f"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
    stop_driver()  # it would end with the server: the next command starts it at the new scale
    for step in (["-k"], ["-w"], ["-p"]):
        subprocess.run(["wineserver", *step], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)


def accepted_settings(flags=DEFAULT_FLAGS & ~(FLAG_AGREEMENT_PENDING | FLAG_SHOW_WARNING),
                      **values):
    """A key as left by an owner who accepted the agreement of this version:
    no agreement, no warning at the next start. Keyword values are DWORDs."""
    reg_delete()
    reg_set_dword("Settings", flags)
    reg_set("LastVersion", REG_DWORD, VERSION_1_99)
    for name, value in values.items():
        reg_set_dword(name, value)


# --- sound at the null sink ---------------------------------------------------

SINK = os.environ.get("KESTROVA_SINK", "kestrova_sink")
SINK_RATE = 22050
# RMS as a fraction of full scale: the siren at full volume is far above
# AUDIBLE; a null sink with nothing playing gives 0.
AUDIBLE = 0.015
SILENT = 0.001


def sink_level(seconds):
    """RMS level of what the sink plays during the next seconds."""
    with tempfile.TemporaryDirectory() as scratch:
        raw = os.path.join(scratch, "monitor.raw")
        recorder = subprocess.Popen(
            ["parec", "-d", SINK + ".monitor", "--raw", "--format=s16le", f"--rate={SINK_RATE}",
             "--channels=1", "--latency-msec=50", raw],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        time.sleep(seconds)
        recorder.terminate()
        recorder.wait(timeout=10)
        with open(raw, "rb") as recording:
            data = recording.read()
    samples = array.array("h")
    samples.frombytes(data[: len(data) // 2 * 2])
    if not samples:
        return 0.0
    return math.sqrt(sum(s * s for s in samples) / len(samples)) / 32768.0


def loudest(timeout=15.0):
    """The first level above AUDIBLE within the timeout, else the loudest:
    Wine's sound output can take a second or more to start."""
    top = 0.0
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        level = sink_level(0.5)
        if level > AUDIBLE:
            return level
        top = max(top, level)
    return top


def heard(timeout=15.0):
    return loudest(timeout) > AUDIBLE


def level_after_silence(timeout=10.0):
    """Once the sink has gone quiet, the level of the next 1.5 seconds: the
    sound stopped and stays stopped."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline and sink_level(0.5) >= SILENT:
        pass
    return sink_level(1.5)


def quiet(timeout=10.0):
    """The sound that was playing stopped (within the timeout) and stays stopped."""
    return level_after_silence(timeout) < SILENT


def silent(seconds=3.0):
    """Nothing sounds during the next seconds, at least three: Wine's sound
    can take over a second to start, and a siren that starts late counts."""
    deadline = time.monotonic() + max(seconds, 3.0)
    while time.monotonic() < deadline:
        if sink_level(0.5) >= SILENT:
            return False
    return True


def screenshot(path):
    """The whole virtual screen, as a PNG."""
    subprocess.run(["import", "-window", "root", path], check=True, timeout=30)


class Scenario(unittest.TestCase):
    """A scenario starts from no settings and leaves no program running."""

    def setUp(self):
        self.processes = []
        reg_delete()
        for name in ("kestrova.log", "kestrova.old.log"):
            if os.path.exists(log_path(name)):
                os.remove(log_path(name))

    def tearDown(self):
        for process in self.processes:
            stop(process)
        # A test that failed armed may leave the input on another desktop,
        # where the next test's input would be refused.
        if driver("input-desktop", check=False) not in ("Default", ""):
            driver("switch-to", "Default")

    def launch(self, exe=None):
        process = start(exe)
        self.processes.append(process)
        return process
