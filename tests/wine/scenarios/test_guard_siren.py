"""The siren and its volume, heard at the null sink's monitor, and the
mixer's fatal path; guard_probe.exe runs the program's own code step by
step while the test listens. Also: kestrova.exe exports the hook functions
by name."""

import array
import math
import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

import kwine
from kwine import Scenario

GUARD_PROBE_EXE = os.environ.get("GUARD_PROBE_EXE", "")
SINK = os.environ.get("KESTROVA_SINK", "kestrova_sink")
RATE = 22050
# RMS of 16-bit samples: the siren at full volume is thousands; a null sink
# with nothing playing gives 0.
AUDIBLE = 500.0
SILENT = 20.0


def listen(seconds):
    """RMS level of what the sink plays during the next seconds."""
    with tempfile.TemporaryDirectory() as scratch:
        raw = os.path.join(scratch, "monitor.raw")
        recorder = subprocess.Popen(
            ["parec", "-d", SINK + ".monitor", "--raw", "--format=s16le", f"--rate={RATE}",
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
    return math.sqrt(sum(s * s for s in samples) / len(samples))


def heard(timeout=15.0):
    """The first level above AUDIBLE within the timeout, else the loudest:
    Wine's sound output can take a second or more to start."""
    loudest = 0.0
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        level = listen(0.5)
        if level > AUDIBLE:
            return level
        loudest = max(loudest, level)
    return loudest


def silence(timeout=10.0):
    """Once the sink has gone quiet, the level of the next 1.5 seconds: the
    sound stopped and stays stopped."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline and listen(0.5) >= SILENT:
        pass
    return listen(1.5)


def wine_path(path):
    return "Z:" + path.replace("/", "\\")


class Probe:
    """One guard_probe.exe run, stepped through its status files."""

    def __init__(self, mode):
        self.dir = tempfile.mkdtemp(prefix="guard-probe-")
        self.process = subprocess.Popen(["wine", GUARD_PROBE_EXE, mode, wine_path(self.dir)],
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def wait_for(self, name, timeout=60):
        path = os.path.join(self.dir, name)
        if not kwine.until(lambda: os.path.exists(path), timeout=timeout, interval=0.05):
            raise AssertionError(f"guard_probe never wrote {name}")
        time.sleep(0.05)  # written and closed
        with open(path, encoding="ascii") as status:
            return status.read()

    def tell(self, name):
        open(os.path.join(self.dir, name), "w").close()

    def close(self):
        self.tell("quit")
        try:
            self.process.wait(timeout=30)
        finally:
            kwine.stop(self.process)
            shutil.rmtree(self.dir, ignore_errors=True)


def master(status):
    return [int(line.split("=")[1]) for line in status.split() if line.startswith("master=")]


class Siren(Scenario):

    def test_siren_is_heard_while_playing_and_silent_after_stop(self):
        self.assertLess(listen(1.0), SILENT, "the sink is not quiet before the siren")
        probe = Probe("siren")
        try:
            probe.wait_for("playing")
            playing = heard()
            time.sleep(2.5)  # longer than the sound itself: it loops
            looping = listen(0.5)
            probe.tell("stop")
            probe.wait_for("stopped")
            stopped = silence()
        finally:
            probe.close()
        self.assertGreater(playing, AUDIBLE)
        self.assertGreater(looping, AUDIBLE)
        self.assertLess(stopped, SILENT)

    def test_alarm_forces_full_volume_and_gives_the_owners_back(self):
        probe = Probe("alarm")
        try:
            status = probe.wait_for("playing")
            before, during = master(status)
            print(f"StartAlarm took {status.split('start_us=')[1].strip()} us", file=sys.stderr)
            playing = heard()
            probe.tell("stop")
            after, = master(probe.wait_for("stopped"))
            stopped = silence()
        finally:
            probe.close()
        self.assertEqual(before, 0x4000)
        self.assertEqual(during, 0xFFFF)
        self.assertEqual(after, 0x4000)
        self.assertGreater(playing, AUDIBLE)
        self.assertLess(stopped, SILENT)


class NoMixer(Scenario):
    """A prefix whose audio driver list is empty has no mixer device."""

    def setUp(self):
        super().setUp()
        subprocess.run(["wine", "reg", "add", r"HKCU\Software\Wine\Drivers", "/v", "Audio", "/d", "", "/f"],
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)

    def tearDown(self):
        subprocess.run(["wine", "reg", "delete", r"HKCU\Software\Wine\Drivers", "/v", "Audio", "/f"],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)
        super().tearDown()

    def test_fatal_box_exit_code_and_settings_saved(self):
        program = subprocess.Popen(["wine", GUARD_PROBE_EXE, "mixer"],
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.processes.append(program)
        kwine.wait_window("Fatal Error")
        self.assertEqual(kwine.box_text("Fatal Error"), "Sound Initializing error")
        kwine.command("Fatal Error", 1)
        self.assertEqual(kwine.wait_exit(program), 255)  # -1
        # The change made before the failure was saved on the way out.
        self.assertEqual(kwine.dword(kwine.reg_dump(), "Sensitivity"), 77)


class WithMixer(Scenario):

    def test_mixer_opens_without_a_box(self):
        program = subprocess.Popen(["wine", GUARD_PROBE_EXE, "mixer"],
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.processes.append(program)
        self.assertEqual(kwine.wait_exit(program, timeout=60), 0)
        self.assertFalse(kwine.window_exists("Fatal Error"))


class Exports(unittest.TestCase):

    def test_hook_functions_are_exported_by_name(self):
        dump = subprocess.run(["x86_64-w64-mingw32-objdump", "-p", kwine.KESTROVA_EXE],
                              check=True, capture_output=True, text=True).stdout
        table = dump[dump.index("[Ordinal/Name Pointer] Table"):]
        names = {line.split("]")[1].strip() for line in table.splitlines()[1:] if line.strip().startswith("[")}
        self.assertTrue({"SetHook", "StopHook", "ResetDistance"} <= names, names)


if __name__ == "__main__":
    unittest.main()
