"""Sleep while armed: a suspend and the resume from it sound only with
"关机/注销" ticked; arming and unlocking work with Wine's partial powrprof
and leave no give-back record behind; a record left by a killed armed
process is given back and deleted at the next start, the settings intact."""

import struct
import subprocess

import kwine
from test_guard import DESKTOP, GUARD, IDC_MAIN_TRIGGER_SHUTDOWN, WM_POWERBROADCAST, WM_QUERYENDSESSION, GuardScenario

PBT_APMSUSPEND = 4
PBT_APMRESUMEAUTOMATIC = 0x12
GIVE_BACK = "GiveBack"
REG_BINARY = 3


def give_back_record(values):
    """The record's sections, or None when the bytes are not a whole record."""
    kind, data = values[GIVE_BACK]
    if kind != REG_BINARY or data[:4] != b"KGBR" or struct.unpack_from("<H", data, 4)[0] != 1:
        return None
    at = 6 + 16

    def saved_words(count):
        nonlocal at
        words = []
        for _ in range(count):
            flag, value = struct.unpack_from("<BI", data, at)
            words.append(value if flag else None)
            at += 5
        return words

    power = saved_words(6)
    shortcuts = list(data[at:at + 3])
    at += 3
    mixer = saved_words(4)
    return {"power": power, "shortcuts": shortcuts, "mixer": mixer, "endpoints": data[at]}


class SleepWhileArmed(GuardScenario):
    def broadcast(self, event):
        kwine.driver("send", GUARD, WM_POWERBROADCAST, event, 0, desktop=DESKTOP)

    def test_suspend_and_resume_do_nothing_with_nothing_ticked(self):
        program = self.start_main(0, password="abc")
        self.lock()
        for event in (PBT_APMSUSPEND, PBT_APMRESUMEAUTOMATIC):
            self.broadcast(event)
        self.assertTrue(kwine.quiet(3), "a suspend sounded without the trigger")
        self.assertTrue(self.still_armed(0.5))
        self.unlock("abc")
        self.close_main(program)

    def test_suspend_and_resume_each_sound_with_the_shutdown_trigger(self):
        program = self.start_main(kwine.FLAG_TRIGGER_SHUTDOWN, password="abc")
        for event in (PBT_APMSUSPEND, PBT_APMRESUMEAUTOMATIC):
            with self.subTest(event=event):
                self.lock()
                self.assertTrue(kwine.quiet(2))
                self.broadcast(event)
                self.assertTrue(kwine.heard(), f"no siren after power event {event:#x}")
                self.unlock("abc")
                self.assertTrue(kwine.quiet())
        self.close_main(program)

    def test_arming_and_unlocking_leave_no_record_with_wines_powrprof(self):
        program = self.start_main(0, password="abc")
        self.lock()
        armed = kwine.reg_dump()
        self.assertIn(GIVE_BACK, armed, "no give-back record while armed")
        record = give_back_record(armed)
        self.assertIsNotNone(record, armed[GIVE_BACK])
        print(f"record while armed under Wine: {record}")
        self.assertTrue(kwine.quiet(3))
        self.unlock("abc")
        self.assertNotIn(GIVE_BACK, kwine.reg_dump())
        self.close_main(program)
        self.assertNotIn(GIVE_BACK, kwine.reg_dump())

    def test_a_record_left_by_a_killed_armed_process_is_given_back_at_the_next_start(self):
        program = self.start_main(kwine.FLAG_TRIGGER_SHUTDOWN, password="abc", Sensitivity=77)
        self.lock()
        # The alarm forces the volume: the owner's values join the record.
        kwine.driver("send", GUARD, WM_QUERYENDSESSION, 0, 0, desktop=DESKTOP)
        self.assertTrue(kwine.heard())
        left = kwine.reg_dump()
        record = give_back_record(left)
        self.assertIsNotNone(record)
        self.assertTrue(any(value is not None for value in record["mixer"]), record)

        # Ended as Task Manager ends it: no unlock, no save.
        pid = kwine.driver("pid", kwine.MAIN_TITLE)
        subprocess.run(["wine", "taskkill", "/F", "/PID", pid], stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=60)
        program.wait(timeout=20)
        self.assertEqual(kwine.reg_dump()[GIVE_BACK], left[GIVE_BACK])

        again = self.launch()
        kwine.wait_window(kwine.MAIN_TITLE, 30)
        after = kwine.reg_dump()
        self.assertNotIn(GIVE_BACK, after)
        for name in ("Settings", "Sensitivity", "PW", "LastVersion"):
            self.assertEqual(after.get(name), left.get(name), name)
        self.assertTrue(kwine.quiet(2))
        self.close_main(again)

    def test_a_corrupt_record_is_deleted_and_the_program_starts(self):
        self.settings(0)
        kwine.reg_set(GIVE_BACK, REG_BINARY, b"KGBR\x01\x00" + b"\x07" * 9)
        stored = kwine.reg_dump()
        program = self.launch()
        kwine.wait_window(kwine.MAIN_TITLE, 30)
        after = kwine.reg_dump()
        self.assertNotIn(GIVE_BACK, after)
        self.assertEqual({k: v for k, v in after.items()}, {k: v for k, v in stored.items() if k != GIVE_BACK})
        self.close_main(program)
