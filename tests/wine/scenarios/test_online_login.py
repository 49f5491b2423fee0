"""The SMS login against the stand-in service: balance and green bar, the
invalid-login box, the connection watchdog, HTTP errors, and the question
before locking while not logged in."""

import time
import unittest

import kwine
from kwine import DEFAULT_FLAGS, FLAG_AGREEMENT_PENDING, FLAG_DAILY_UPDATE_CHECK, FLAG_SHOW_WARNING, \
    FLAG_SMS_SERVICE, MAIN_TITLE
from online_common import (CONNECTION_ERROR, CONNECTION_ERROR_TEXT, GREEN, IDC_MAIN_LOCK, IDNO, IDOK,
                           INVALID_LOGIN_TEXT, LOCK_QUESTION_TEXT, RED, WARNING, OnlineScenario, box_text,
                           login_hash)

# The service on, the update check off so only the login talks to it.
SMS_FLAGS = (DEFAULT_FLAGS & ~(FLAG_AGREEMENT_PENDING | FLAG_SHOW_WARNING | FLAG_DAILY_UPDATE_CHECK)) \
    | FLAG_SMS_SERVICE


class Login(OnlineScenario):

    def log_in_twice(self):
        """Starts a login whose nonce request the test holds back, then a
        second one from the settings dialog's OK, which logs in (balance 5)."""
        self.settings(SMS_FLAGS)
        program = self.launch()
        kwine.wait_window(MAIN_TITLE)
        self.assertTrue(kwine.until(lambda: len(self.service.requests("lastnonce")) == 1))
        kwine.command(MAIN_TITLE, 1017)  # settings
        kwine.wait_window("设置")
        kwine.command("设置", IDOK)
        kwine.window_gone("设置")
        self.assertTrue(kwine.until(lambda: self.balance_text() == "SMS Balance: 5", timeout=15),
                        self.balance_text())
        return program

    def test_login_shows_balance_on_a_green_bar_and_the_watchdog_stays_quiet(self):
        user = "kim+alarm box&co@example.org"
        self.service.add_account(user, "pa ss+&", balance=42, nonce=41)
        self.settings(SMS_FLAGS, user=user, password="pa ss+&")
        program = self.launch()
        kwine.wait_window(MAIN_TITLE)
        self.assertTrue(kwine.until(lambda: self.balance_text() == "SMS Balance: 42", timeout=15),
                        self.balance_text())
        self.assertEqual(self.progress(), "2 2 " + GREEN)

        nonce, = self.service.requests("lastnonce")
        self.assertEqual(nonce["query"], {"e": user})
        self.assertEqual(nonce["user_agent"], "KESTROVA")
        account, = self.service.requests("accountinfo")
        self.assertEqual(account["query"], {"u": user, "n": "42", "h": login_hash("pa ss+&", "42")})
        self.assertEqual(account["raw_query"].count("&"), 2)
        self.assertEqual(self.service.account(user)["nonce"], 42)

        # The account reply cancelled the ten-second watchdog.
        self.assertTrue(self.no_window_for(CONNECTION_ERROR, 12))
        self.assertFalse(kwine.window_exists(WARNING))
        self.assertEqual(self.service.requests("currentversion"), [])

        self.close_main(program)

    def test_a_second_login_replaces_the_first_watchdog(self):
        # The first login's nonce request hangs; a second login from the
        # settings dialog succeeds. The first watchdog must not fire later.
        self.service.add_account("kim", "secret", balance=5, nonce=1)
        self.service.set_reply("lastnonce", delay=25, times=1)
        program = self.log_in_twice()
        self.assertTrue(self.no_window_for(CONNECTION_ERROR, 12))
        self.close_main(program)

    def test_a_superseded_login_answering_late_changes_nothing(self):
        # The first login's nonce comes after the second login has finished,
        # with the older value: signing with it would be refused.
        self.service.add_account("kim", "secret", balance=5, nonce=41)
        self.service.set_reply("lastnonce", delay=6, body="7", times=1)
        program = self.log_in_twice()
        self.assertEqual(len(self.service.wait_requests("lastnonce", 2)), 2)
        self.assertTrue(self.no_window_for(WARNING, 4))
        self.assertEqual(len(self.service.requests("accountinfo")), 1)
        self.assertEqual(self.balance_text(), "SMS Balance: 5")
        self.assertEqual(self.progress(), "2 2 " + GREEN)
        self.close_main(program)

    def test_body_arriving_after_the_headers_is_still_read(self):
        self.service.add_account("kim", "secret", balance=7, nonce=3)
        self.service.set_reply("lastnonce", split=0.7)
        self.service.set_reply("accountinfo", split=0.7)
        self.settings(SMS_FLAGS)
        program = self.launch()
        kwine.wait_window(MAIN_TITLE)
        self.assertTrue(kwine.until(lambda: self.balance_text() == "SMS Balance: 7", timeout=15),
                        self.balance_text())
        self.assertEqual(self.service.requests("accountinfo")[0]["query"]["n"], "4")
        self.close_main(program)

    def test_wrong_password_shows_the_invalid_login_warning_and_lock_asks(self):
        self.service.add_account("kim", "secret", balance=42, nonce=41)
        self.settings(SMS_FLAGS, password="wrong")
        program = self.launch()
        kwine.wait_window(MAIN_TITLE)
        self.answer_box(WARNING, INVALID_LOGIN_TEXT)
        self.assertEqual(self.balance_text(), "SMS Balance: N/A")
        self.assertEqual(self.progress(), "1 2 " + RED)

        # Not logged in: the lock command asks, and "No" keeps the dialog.
        kwine.command(MAIN_TITLE, IDC_MAIN_LOCK)
        self.answer_box(WARNING, LOCK_QUESTION_TEXT, IDNO)
        self.assertTrue(kwine.window_exists(MAIN_TITLE))
        self.assertEqual(len(self.service.requests("lastnonce")), 1)
        self.assertTrue(self.no_window_for(CONNECTION_ERROR, 11))
        self.close_main(program)

    def test_service_down_shows_connection_error_after_ten_seconds(self):
        self.settings(SMS_FLAGS, url=self.down_service().url)
        program = self.launch()
        kwine.wait_window(MAIN_TITLE)
        shown = time.monotonic()
        self.assertEqual(self.balance_text(), "SMS Balance: N/A")
        self.assertTrue(self.no_window_for(CONNECTION_ERROR, 8))
        kwine.wait_window(CONNECTION_ERROR, timeout=10)
        self.assertGreater(time.monotonic() - shown, 8)
        self.assertEqual(box_text(CONNECTION_ERROR), CONNECTION_ERROR_TEXT)
        self.assertFalse(kwine.window_exists(WARNING))
        self.assertEqual(self.progress(), "0 2 " + RED)
        kwine.command(CONNECTION_ERROR, IDOK)
        kwine.window_gone(CONNECTION_ERROR)
        # The watchdog killed itself: no second box.
        self.assertTrue(self.no_window_for(CONNECTION_ERROR, 11))
        self.close_main(program)

    def test_server_error_on_the_account_request_is_a_connection_error(self):
        self.service.add_account("kim", "secret", balance=42, nonce=41)
        # A body that would log in if it were read.
        self.service.set_reply("accountinfo", status=500, body="VALID99")
        self.settings(SMS_FLAGS)
        program = self.launch()
        kwine.wait_window(MAIN_TITLE)
        self.assertEqual(len(self.service.wait_requests("accountinfo", 1)), 1)
        self.answer_failed_account_request()

        kwine.command(MAIN_TITLE, IDC_MAIN_LOCK)
        self.answer_box(WARNING, LOCK_QUESTION_TEXT, IDNO)
        self.close_main(program)

    def test_service_off_sends_nothing(self):
        self.settings(SMS_FLAGS & ~FLAG_SMS_SERVICE)
        program = self.launch()
        kwine.wait_window(MAIN_TITLE)
        time.sleep(3)
        self.assertEqual(self.service.requests(), [])
        self.close_main(program)


if __name__ == "__main__":
    unittest.main()
