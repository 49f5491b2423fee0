"""The daily update check against the stand-in service: the offer for a
higher version only, the UTC date recorded even when the offer is declined,
one request per answered day, nothing with the check off."""

import datetime
import time
import unittest

import kwine
from kwine import DEFAULT_FLAGS, FLAG_AGREEMENT_PENDING, FLAG_DAILY_UPDATE_CHECK, FLAG_SHOW_WARNING, MAIN_TITLE
from online_common import IDNO, NEW_VERSION, UPDATE_TEXT, OnlineScenario, box_text, packed_date, utc_today

# The daily check on, the SMS service off so only the check talks to it.
UPDATE_FLAGS = DEFAULT_FLAGS & ~(FLAG_AGREEMENT_PENDING | FLAG_SHOW_WARNING)
WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK, WTS_SESSION_UNLOCK = 0x2B1, 7, 8


class UpdateCheck(OnlineScenario):

    def run_until_answered(self, version, **dwords):
        """Starts kestrova with the service offering version; returns the
        program once the check was answered and its reply had time to be
        handled."""
        self.service.set_version(version)
        self.settings(UPDATE_FLAGS, user=None, password=None, **dwords)
        program = self.launch()
        kwine.wait_window(MAIN_TITLE)
        requests = self.service.wait_requests("currentversion", 1)
        self.assertEqual(len(requests), 1)
        self.assertEqual(requests[0]["raw_query"], "v=1.99")
        self.assertEqual(requests[0]["user_agent"], "KESTROVA")
        return program

    def stored_date(self):
        return kwine.dword(kwine.reg_dump(), "LastChecked")

    def test_higher_version_is_offered_and_declining_records_today(self):
        before = utc_today()
        program = self.run_until_answered("2.0")
        kwine.wait_window(NEW_VERSION, timeout=10)
        self.assertEqual(box_text(NEW_VERSION), UPDATE_TEXT)
        # The question has no owner: the main dialog stays usable meanwhile.
        self.assertTrue(kwine.window_exists(MAIN_TITLE))
        kwine.command(NEW_VERSION, IDNO)
        kwine.window_gone(NEW_VERSION)
        self.close_main(program)
        self.assertIn(self.stored_date(), {packed_date(before), packed_date(utc_today())})

        # The same day: no second request, so no second question.
        program = self.launch()
        kwine.wait_window(MAIN_TITLE)
        time.sleep(3)
        self.assertEqual(len(self.service.requests("currentversion")), 1)
        self.assertFalse(kwine.window_exists(NEW_VERSION))
        self.close_main(program)

    def test_an_unanswered_offer_holds_up_neither_the_check_nor_the_exit(self):
        before = utc_today()
        program = self.run_until_answered("2.0")
        kwine.wait_window(NEW_VERSION, timeout=10)
        # Nobody answers: the question waits on a thread of its own, so the
        # day's check is done, and the program ends with the question up.
        self.close_main(program)
        self.assertIn(self.stored_date(), {packed_date(before), packed_date(utc_today())})

    def test_integer_version_is_offered(self):
        program = self.run_until_answered("2")
        kwine.wait_window(NEW_VERSION, timeout=10)
        kwine.command(NEW_VERSION, IDNO)
        self.close_main(program)

    def test_own_version_is_not_offered_but_the_day_is_recorded(self):
        before = utc_today()
        program = self.run_until_answered("1.99")
        self.assertTrue(self.no_window_for(NEW_VERSION, 3))
        self.close_main(program)
        self.assertIn(self.stored_date(), {packed_date(before), packed_date(utc_today())})

    def test_only_four_bytes_of_the_version_count(self):
        program = self.run_until_answered("1.995")
        self.assertTrue(self.no_window_for(NEW_VERSION, 3))
        self.close_main(program)

    def test_a_stored_later_date_still_checks(self):
        tomorrow = utc_today() + datetime.timedelta(days=1)
        program = self.run_until_answered("1.99", LastChecked=packed_date(tomorrow))
        self.assertTrue(self.no_window_for(NEW_VERSION, 2))
        self.close_main(program)
        self.assertNotEqual(self.stored_date(), packed_date(tomorrow))

    def test_server_error_offers_nothing_and_the_check_stays_due(self):
        self.service.set_reply("currentversion", status=500, body="9.9")
        program = self.run_until_answered("2.0")
        self.assertTrue(self.no_window_for(NEW_VERSION, 3))
        # Still due: a session lock asks nothing, the unlock asks again.
        kwine.driver("send-class", "Kestrova.Tray", WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK, 0)
        time.sleep(2)
        self.assertEqual(len(self.service.requests("currentversion")), 1)
        kwine.driver("send-class", "Kestrova.Tray", WM_WTSSESSION_CHANGE, WTS_SESSION_UNLOCK, 0)
        self.assertEqual(len(self.service.wait_requests("currentversion", 2)), 2)
        self.close_main(program)
        self.assertEqual(self.stored_date(), 0)

    def test_check_off_sends_nothing_and_keeps_the_date(self):
        old = packed_date(datetime.date(2020, 1, 2))
        self.service.set_version("2.0")
        self.settings(UPDATE_FLAGS & ~FLAG_DAILY_UPDATE_CHECK, user=None, password=None, LastChecked=old)
        program = self.launch()
        kwine.wait_window(MAIN_TITLE)
        self.assertTrue(self.no_window_for(NEW_VERSION, 3))
        self.assertEqual(self.service.requests(), [])
        self.close_main(program)
        self.assertEqual(self.stored_date(), old)


if __name__ == "__main__":
    unittest.main()
