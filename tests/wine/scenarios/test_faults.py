"""Faults on purpose: a service that answers late, with garbage, with 10 MB,
with half a body or with a reset after the headers, and a settings key that
cannot be written at exit.
Each ends with the program usable and no stored setting changed by the
fault."""

import os
import random
import time
import unittest

import kwine
from kwine import MAIN_TITLE
from online_common import (CONNECTION_ERROR, CONNECTION_ERROR_TEXT, GREEN, INVALID_LOGIN_TEXT, NEW_VERSION, RED,
                           WARNING, OnlineScenario)
from test_online_login import SMS_FLAGS
from test_online_update import UPDATE_FLAGS

# Seconds between the headers and the reset: the program is reading the body.
RESET_AFTER = 0.7

IDC_MAIN_TRIGGER_POWER = 1001


def stored_meaning(value):
    """A value as the program reads it back: texts up to their terminator
    (the program stores them in buffers of fixed size), the rest as bytes."""
    if value is None:
        return None
    kind, data = value
    if kind == kwine.REG_SZ:
        return kind, data.decode("utf-16-le", "replace").split("\0")[0]
    return kind, data


class ServiceFaults(OnlineScenario):
    def start(self, flags=SMS_FLAGS, **settings):
        self.service.add_account("kim", "secret", balance=42, nonce=41)
        self.settings(flags & ~1, **settings)  # the armed bit never survives a start
        self.stored = kwine.reg_dump()
        program = self.launch()
        kwine.wait_window(MAIN_TITLE)
        return program

    def close_and_check_settings(self, program):
        self.close_main(program)
        after = kwine.reg_dump()
        for name, value in self.stored.items():
            self.assertEqual(stored_meaning(after.get(name)), stored_meaning(value), name)

    def test_an_answer_after_thirty_seconds_comes_after_the_connection_error(self):
        self.service.set_reply("accountinfo", delay=30, times=1)
        program = self.start()
        asked = time.monotonic()
        kwine.wait_window(CONNECTION_ERROR, timeout=15)
        self.assertGreater(time.monotonic() - asked, 8)
        self.assertEqual(self.balance_text(), "SMS Balance: N/A")
        self.answer_box(CONNECTION_ERROR, CONNECTION_ERROR_TEXT)
        # The late answer is still a valid login: the balance appears then,
        # and no second box comes.
        self.assertTrue(kwine.until(lambda: self.balance_text() == "SMS Balance: 42", timeout=40),
                        self.balance_text())
        self.assertEqual(self.progress(), "2 2 " + GREEN)
        self.assertTrue(self.no_window_for(CONNECTION_ERROR, 3))
        self.assertFalse(kwine.window_exists(WARNING))
        self.close_and_check_settings(program)

    def test_garbage_answers_are_a_refused_login(self):
        garbage = bytes(random.Random(7).randrange(256) for _ in range(300))
        self.assertFalse(garbage.startswith(b"VALID"))
        self.service.set_reply("accountinfo", body=garbage)
        program = self.start()
        self.answer_box(WARNING, INVALID_LOGIN_TEXT)
        self.assertEqual(self.balance_text(), "SMS Balance: N/A")
        self.assertEqual(self.progress(), "1 2 " + RED)
        # The reply came, so the watchdog was cancelled.
        self.assertTrue(self.no_window_for(CONNECTION_ERROR, 11))
        self.close_and_check_settings(program)

    def test_ten_megabytes_are_read_only_as_far_as_the_reply_needs(self):
        # The nonce reply "41" padded to 10 MB: four bytes count.
        self.service.set_reply("lastnonce", body="41  " + "9" * (10 * 1024 * 1024))
        program = self.start()
        self.assertTrue(kwine.until(lambda: self.balance_text() == "SMS Balance: 42", timeout=20),
                        self.balance_text())
        self.assertEqual(self.service.requests("accountinfo")[0]["query"]["n"], "42")
        self.assertEqual(self.service.requests("lastnonce")[0]["body_length"], 10 * 1024 * 1024 + 4)
        self.assertTrue(self.no_window_for(CONNECTION_ERROR, 11))
        self.close_and_check_settings(program)

    def test_a_connection_closed_mid_body_gives_what_had_arrived(self):
        # "VALID4242" announced, "VALID4" sent, then the connection closes.
        self.service.set_reply("accountinfo", body="VALID4242", cut=6)
        program = self.start()
        self.assertTrue(kwine.until(lambda: self.balance_text() == "SMS Balance: 4", timeout=20),
                        self.balance_text())
        self.assertTrue(self.no_window_for(CONNECTION_ERROR, 11))
        self.assertFalse(kwine.window_exists(WARNING))
        self.close_and_check_settings(program)

    def test_an_account_reply_reset_after_its_headers_is_a_connection_error(self):
        # A body that would log in, had it come.
        self.service.set_reply("accountinfo", body="VALID42", reset=RESET_AFTER)
        program = self.start()
        self.assertEqual(len(self.service.wait_requests("accountinfo", 1)), 1)
        # Not a refused login: the watchdog was not cancelled and reports it.
        self.answer_failed_account_request()
        self.close_and_check_settings(program)

    def test_a_nonce_reply_reset_after_its_headers_signs_nothing(self):
        self.service.set_reply("lastnonce", body="41", reset=RESET_AFTER)
        program = self.start()
        self.assertEqual(len(self.service.wait_requests("lastnonce", 1)), 1)
        kwine.wait_window(CONNECTION_ERROR, timeout=15)
        # No account request signed with a nonce made of nothing.
        self.assertEqual(self.service.requests("accountinfo"), [])
        self.assertFalse(kwine.window_exists(WARNING))
        self.assertEqual(self.progress(), "0 2 " + RED)
        self.answer_box(CONNECTION_ERROR, CONNECTION_ERROR_TEXT)
        self.close_and_check_settings(program)

    def test_an_update_reply_reset_after_its_headers_leaves_the_check_due(self):
        self.service.set_reply("currentversion", body="2.0", reset=RESET_AFTER)
        program = self.start(UPDATE_FLAGS, user=None, password=None)
        self.assertEqual(len(self.service.wait_requests("currentversion", 1)), 1)
        self.assertTrue(self.no_window_for(NEW_VERSION, 3))
        # No date recorded: the next start asks again.
        self.close_and_check_settings(program)
        self.assertEqual(kwine.dword(kwine.reg_dump(), "LastChecked"), 0)


class ReadOnlyKey(kwine.Scenario):
    def tearDown(self):
        kwine.driver("reg-access", "writable", check=False)
        super().tearDown()

    def test_a_key_that_cannot_be_written_still_loads_and_keeps_what_it_held(self):
        kwine.accepted_settings(flags=kwine.FLAG_TRIGGER_POWER, Sensitivity=77)
        kwine.reg_set_text("PW", "abc")
        stored = kwine.reg_dump()
        kwine.driver("reg-access", "readonly")
        # A log at its 256 KiB and an older one: the run's first line makes
        # the full log the older one, and starts a new log.
        full = b"".join(b"2026-12-08 23:41:02  filler line %06d\n" % n for n in range(6553))
        full += b"2026-12-08 23:41:02  ab\n"
        os.makedirs(os.path.dirname(kwine.log_path()), exist_ok=True)
        for name, content in (("kestrova.log", full), ("kestrova.old.log", b"stale\n")):
            with open(kwine.log_path(name), "wb") as log:
                log.write(content)
        program = self.launch()
        # The owner's settings, not the defaults: no agreement, power ticked.
        kwine.wait_window(MAIN_TITLE)
        self.assertFalse(kwine.window_exists(kwine.AGREEMENT_TITLE))
        self.assertTrue(kwine.checked(MAIN_TITLE, IDC_MAIN_TRIGGER_POWER))
        # A change the program would save at exit, where the save fails.
        kwine.click(MAIN_TITLE, IDC_MAIN_TRIGGER_POWER)
        self.assertTrue(kwine.until(lambda: not kwine.checked(MAIN_TITLE, IDC_MAIN_TRIGGER_POWER)))
        kwine.close(MAIN_TITLE)
        self.assertEqual(kwine.wait_exit(program), 0)
        self.assertEqual(kwine.reg_dump(), stored, "a value was written or lost")
        # Not in silence: the owner's log says what was not saved, and why.
        self.assertTrue(any(text.startswith("The settings could not be saved (error 5): Settings,")
                            for text in kwine.log_texts()), kwine.log_texts())
        self.assertFalse(any("filler" in text for text in kwine.log_texts()))
        with open(kwine.log_path("kestrova.old.log"), "rb") as older:
            self.assertEqual(older.read(), full)

        # Setting values allowed, nothing more (no subkeys, no listing): the
        # next start finds the same settings and saves.
        kwine.driver("reg-access", "values")
        program = self.launch()
        kwine.wait_window(MAIN_TITLE)
        self.assertTrue(kwine.checked(MAIN_TITLE, IDC_MAIN_TRIGGER_POWER))
        kwine.click(MAIN_TITLE, IDC_MAIN_TRIGGER_POWER)
        self.assertTrue(kwine.until(lambda: not kwine.checked(MAIN_TITLE, IDC_MAIN_TRIGGER_POWER)))
        kwine.close(MAIN_TITLE)
        self.assertEqual(kwine.wait_exit(program), 0)
        kwine.driver("reg-access", "writable")
        values = kwine.reg_dump()
        self.assertEqual(kwine.dword(values, "Settings") & kwine.FLAG_TRIGGER_POWER, 0)
        self.assertEqual(kwine.dword(values, "Sensitivity"), 77)


if __name__ == "__main__":
    unittest.main()
