"""Sleep while armed: a suspend sounds through the guard window with
"关机/注销" ticked (the unit table holds the rest of the rows); arming and
unlocking work with Wine's partial powrprof and leave no give-back record
behind; a record left by a killed armed process is given back and deleted
at the next start, the settings intact (a bad record: the unit table), and
the owner's phone is told."""

import subprocess

import kwine
from test_guard import DESKTOP, GUARD, WM_POWERBROADCAST, WM_QUERYENDSESSION, GuardScenario

PBT_APMSUSPEND = 4
GIVE_BACK = "GiveBack"
REG_BINARY = 3


class SleepWhileArmed(GuardScenario):
    def test_a_suspend_sounds_and_unlocking_leaves_no_record_with_wines_powrprof(self):
        program = self.start_main(kwine.FLAG_TRIGGER_SHUTDOWN, password="abc")
        self.lock()
        kind, data = kwine.reg_dump()[GIVE_BACK]
        self.assertEqual((kind, data[:4]), (REG_BINARY, b"KGBR"))
        self.assertTrue(kwine.quiet(2))
        kwine.driver("send", GUARD, WM_POWERBROADCAST, PBT_APMSUSPEND, 0, desktop=DESKTOP)
        self.assertTrue(kwine.heard(), "no siren after a suspend")
        self.unlock("abc")
        self.assertTrue(kwine.quiet())
        self.assertNotIn(GIVE_BACK, kwine.reg_dump())
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

        kwine.reg_set_text("NotifyUrl", self.service.url + "/kim-laptop")
        again = self.launch()
        told, = self.service.wait_requests("push", 1)
        self.assertEqual((told["title"], told["json"]["priority"]), ("Kestrova was stopped while armed", 5))
        kwine.wait_window(kwine.MAIN_TITLE, 30)
        after = kwine.reg_dump()
        self.assertNotIn(GIVE_BACK, after)
        for name in ("Settings", "Sensitivity", "PW", "LastVersion"):
            self.assertEqual(after.get(name), left.get(name), name)
        self.assertTrue(kwine.quiet(2))
        self.close_main(again)
