"""Sleep while armed: a suspend sounds through the guard window with
"关机/注销" ticked (the unit table holds the rest of the rows); arming holds
the lid, the buttons and sleep, and unlocking gives them back and leaves no
give-back record behind; a record left by a killed armed process is given
back and deleted at the next start, the settings intact (a bad record: the
unit table), and the owner's phone is told. The power settings are those of
the recording powrprof (tests/wine/powrprof), in place of Wine's, which
lacks the power scheme functions."""

import os
import subprocess
import tempfile
from unittest import mock

import kwine
from test_guard import DESKTOP, GUARD, WM_POWERBROADCAST, WM_QUERYENDSESSION, GuardScenario

PBT_APMSUSPEND = 4
GIVE_BACK = "GiveBack"
REG_BINARY = 3
POWER_RECORD = os.path.join(os.environ.get("KESTROVA_BUILD_DIR", tempfile.gettempdir()), "powrprof-sleep.txt")
# The owner's values as the recording powrprof holds them, each its own.
OWNER_POWER = {("AC", "lid"): 1, ("DC", "lid"): 2, ("AC", "power"): 3, ("DC", "power"): 2,
               ("AC", "sleep"): 2, ("DC", "sleep"): 1, ("AC", "standby"): 1, ("DC", "standby"): 3}
ARMED_POWER = dict.fromkeys(OWNER_POWER, 0)  # "Do nothing", "no sleep states"


def power_settings():
    """The settings as last written, and whether PowerSetActiveScheme of the
    active scheme came after the last write; a refused call fails the test."""
    values, applied = {}, False
    with open(POWER_RECORD, encoding="ascii") as record:
        for line in record.read().splitlines():
            words = line.split()
            if words[0] in ("AC", "DC"):
                values[words[0], words[1]], applied = int(words[2]), False
            else:
                assert line == "apply active", line
                applied = True
    return values, applied


class SleepWhileArmed(GuardScenario):
    def setUp(self):
        super().setUp()
        with open(POWER_RECORD, "w", encoding="ascii") as record:
            record.writelines(f"{source} {name} {value}\n" for (source, name), value in OWNER_POWER.items())
        environment = mock.patch.dict(os.environ, {
            "WINEDLLOVERRIDES": os.environ.get("WINEDLLOVERRIDES", "") + ";powrprof=n",
            "KESTROVA_POWRPROF_RECORD": "Z:" + POWER_RECORD})
        environment.start()
        self.addCleanup(environment.stop)

    def test_a_suspend_sounds_and_unlocking_gives_the_power_settings_back_and_leaves_no_record(self):
        program = self.start_main(kwine.FLAG_TRIGGER_SHUTDOWN, password="abc")
        self.lock()
        self.assertEqual(power_settings(), (ARMED_POWER, True))
        kind, data = kwine.reg_dump()[GIVE_BACK]
        self.assertEqual((kind, data[:4]), (REG_BINARY, b"KGBR"))
        self.assertTrue(kwine.silent())
        kwine.driver("send", GUARD, WM_POWERBROADCAST, PBT_APMSUSPEND, 0, desktop=DESKTOP)
        self.assertTrue(kwine.heard(), "no siren after a suspend")
        self.unlock("abc")
        self.assertTrue(kwine.quiet())
        self.assertNotIn(GIVE_BACK, kwine.reg_dump())
        self.assertEqual(power_settings(), (OWNER_POWER, True))
        self.close_main(program)
        self.assertNotIn(GIVE_BACK, kwine.reg_dump())

    def test_a_record_left_by_a_killed_armed_process_is_given_back_at_the_next_start(self):
        program = self.start_main(kwine.FLAG_TRIGGER_SHUTDOWN, password="abc", Sensitivity=77)
        self.lock()
        armed = kwine.reg_dump()[GIVE_BACK]
        # The alarm forces the volume: the owner's values join the record.
        kwine.driver("send", GUARD, WM_QUERYENDSESSION, 0, 0, desktop=DESKTOP)
        self.assertTrue(kwine.heard())
        left = kwine.reg_dump()
        self.assertNotEqual(left[GIVE_BACK], armed, "the volume never reached the record")

        # Ended as Task Manager ends it: no unlock, no save.
        pid = kwine.driver("pid", kwine.MAIN_TITLE)
        subprocess.run(["wine", "taskkill", "/F", "/PID", pid], stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=60)
        program.wait(timeout=20)
        self.assertEqual(kwine.reg_dump()[GIVE_BACK], left[GIVE_BACK])
        self.assertEqual(power_settings(), (ARMED_POWER, True))

        kwine.reg_set_text("NotifyUrl", self.service.url + "/kim-laptop")
        again = self.launch()
        told, = self.service.wait_requests("push", 1)
        self.assertEqual((told["title"], told["json"]["priority"]), ("Kestrova was stopped while armed", 5))
        # Given back, then armed again (test_online_push): once unlocked,
        # nothing is left changed.
        kwine.wait_window(GUARD, 30, desktop=DESKTOP)
        self.unlock("abc")
        kwine.wait_window(kwine.MAIN_TITLE, 30)
        after = kwine.reg_dump()
        self.assertNotIn(GIVE_BACK, after)
        self.assertEqual(power_settings(), (OWNER_POWER, True))
        for name in ("Settings", "Sensitivity", "PW", "LastVersion"):
            self.assertEqual(after.get(name), left.get(name), name)
        self.assertTrue(kwine.silent())
        self.close_main(again)
