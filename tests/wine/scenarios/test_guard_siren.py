"""The siren and its volume, heard at the null sink's monitor, and the
mixer's fatal path; guard_probe.exe runs the program's own code step by
step while the test listens. Also: kestrova.exe exports the hook functions
by name."""

import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

import kwine
from kwine import Scenario
from online_common import StandIn

GUARD_PROBE_EXE = os.environ.get("GUARD_PROBE_EXE", "")
IDC_MAIN_LOCK = 1004
IDC_MAIN_TRIGGER_MOUSE_MOVE = 1009

def wine_path(path):
    """The path as the probe reads it: Wine's drive Z: is the Unix root."""
    return "Z:" + path.replace("/", "\\") if kwine.RUNNER else path


class Probe:
    """One guard_probe.exe run, stepped through its status files."""

    def __init__(self, mode, *args):
        self.dir = tempfile.mkdtemp(prefix="guard-probe-")
        self.process = subprocess.Popen([*kwine.RUNNER, GUARD_PROBE_EXE, mode, wine_path(self.dir), *args],
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
        self.assertLess(kwine.sink_level(1.0), kwine.SILENT, "the sink is not quiet before the siren")
        probe = Probe("siren")
        try:
            probe.wait_for("playing")
            playing = kwine.loudest()
            time.sleep(2.5)  # longer than the sound itself: it loops
            looping = kwine.sink_level(0.5)
            probe.tell("stop")
            probe.wait_for("stopped")
            stopped = kwine.level_after_silence()
        finally:
            probe.close()
        self.assertGreater(playing, kwine.AUDIBLE)
        self.assertGreater(looping, kwine.AUDIBLE)
        self.assertLess(stopped, kwine.SILENT)

    def test_alarm_forces_full_volume_and_gives_the_owners_back_and_a_failed_step_keeps_no_silence(self):
        # The owner's master volume is a quarter (0x4000). "failing": the
        # volume step runs out of memory before its first write; the siren
        # after it sounds all the same, at the owner's volume. "sms": the SMS
        # notice runs out of memory; the volume is forced and the push
        # message goes all the same.
        push = StandIn().start()
        self.addCleanup(push.stop)
        steady = {}
        for args in ((), ("failing",), ("sms", push.url + "/kim-laptop")):
            with self.subTest(args=args[:1]):
                probe = Probe("alarm", *args)
                try:
                    status = probe.wait_for("playing")
                    print(f"StartAlarm took {status.split('start_us=')[1].split()[0]} us", file=sys.stderr)
                    playing = kwine.loudest()
                    steady[args[:1]] = kwine.sink_level(1.0)
                    pushed = [r["title"] for r in push.wait_requests("push", 1 if args[:1] == ("sms",) else 0)]
                    probe.tell("stop")
                    after, = master(probe.wait_for("stopped"))
                    stopped = kwine.level_after_silence()
                finally:
                    probe.close()
                self.assertEqual(master(status), [0x4000, 0x4000 if args == ("failing",) else 0xFFFF])
                self.assertEqual(pushed, ["Kestrova alarm"] if args[:1] == ("sms",) else [])
                self.assertEqual(after, 0x4000)
                self.assertGreater(playing, kwine.AUDIBLE)
                self.assertLess(stopped, kwine.SILENT)
        # Where the owner hears it: forced to full, the siren plays about four
        # times as loud as at the owner's quarter.
        self.assertGreater(steady[()], 3 * steady[("failing",)], steady)

    def test_a_change_message_forces_a_sounding_siren_back_to_full_and_a_silent_one_never(self):
        # The real guard dialog in the probe: silent, sounding, unlocked.
        probe = Probe("reforce")
        try:
            found = master(probe.wait_for("done", timeout=120))
        finally:
            probe.close()
        self.assertEqual(found, [0x4000, 0xFFFF, 0x4000])


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

    def test_fatal_box_and_exit_code(self):
        program = subprocess.Popen([*kwine.RUNNER, GUARD_PROBE_EXE, "mixer"],
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.processes.append(program)
        kwine.wait_window("Fatal Error")
        self.assertEqual(kwine.box_text("Fatal Error"), "Sound Initializing error")
        kwine.command("Fatal Error", 1)
        self.assertEqual(kwine.wait_exit(program), 255)  # -1

    def test_lock_without_a_mixer_shows_the_box_on_the_owners_desktop(self):
        kwine.accepted_settings(0)
        kwine.reg_set_text("PW", "abc")
        program = self.launch()
        kwine.wait_window(kwine.MAIN_TITLE, 30)
        kwine.click(kwine.MAIN_TITLE, IDC_MAIN_TRIGGER_MOUSE_MOVE)
        self.assertTrue(kwine.until(lambda: kwine.checked(kwine.MAIN_TITLE, IDC_MAIN_TRIGGER_MOUSE_MOVE)))
        kwine.click(kwine.MAIN_TITLE, IDC_MAIN_LOCK)
        # Wine starts a process for a new desktop: that can take a while.
        kwine.wait_window("Fatal Error", 40)
        self.assertEqual(kwine.box_text("Fatal Error"), "Sound Initializing error")
        self.assertFalse(kwine.window_exists("Fatal Error", desktop="Kestrova"))
        self.assertEqual(kwine.driver("input-desktop"), "Default", "the box is not where the input is")
        self.assertFalse(kwine.window_exists("@1018", desktop="Kestrova"), "the guard dialog is still up")
        kwine.command("Fatal Error", 1)
        self.assertEqual(kwine.wait_exit(program), 255)  # -1
        # The tick taken at the lock was saved before the box.
        self.assertEqual(kwine.dword(kwine.reg_dump(), "Settings") & kwine.FLAG_TRIGGER_MOUSE_MOVE,
                         kwine.FLAG_TRIGGER_MOUSE_MOVE)


class WithMixer(Scenario):

    def test_mixer_opens_without_a_box(self):
        program = subprocess.Popen([*kwine.RUNNER, GUARD_PROBE_EXE, "mixer"],
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.processes.append(program)
        self.assertEqual(kwine.wait_exit(program, timeout=60), 0)
        self.assertFalse(kwine.window_exists("Fatal Error"))


class Exports(unittest.TestCase):

    def test_hook_functions_are_exported_by_name(self):
        dump = subprocess.run(["x86_64-w64-mingw32-objdump", "-p", kwine.KESTROVA_EXE],
                              check=True, capture_output=True, text=True).stdout
        table = dump[dump.index("[Ordinal/Name Pointer] Table"):]
        # "[   0] Name", or "[   0] +base[   1] 0000 Name" in newer binutils.
        names = {line.split()[-1] for line in table.splitlines()[1:] if line.strip().startswith("[")}
        self.assertTrue({"SetHook", "StopHook", "ResetDistance"} <= names, names)


if __name__ == "__main__":
    unittest.main()
