"""A log-off while the program runs: the owner's changes reach the registry
in the WM_ENDSESSION handler itself, with no orderly close first; while
armed the save happens all the same."""

import kwine
from kwine import MAIN_TITLE, REG_SZ
from online_common import login_hash
from test_guard import DESKTOP, GUARD, WM_QUERYENDSESSION, GuardScenario, guard_up
from test_settings_dialog import IDC_SETTINGS_PASSWORD, IDC_SETTINGS_SENSITIVITY, SETTINGS_TITLE

IDOK = 1
IDC_MAIN_TRIGGER_POWER = 1001
IDC_MAIN_SETTINGS = 1017
WM_ENDSESSION = 0x16
# ENDSESSION_LOGOFF, 0x80000000; kdriver reads numbers as a signed long.
ENDSESSION_LOGOFF = -2147483648
ENDSESSION_CLOSEAPP = 0x1

class SessionEnd(GuardScenario):

    def change_settings(self, sensitivity, password):
        kwine.command(MAIN_TITLE, IDC_MAIN_SETTINGS)
        kwine.wait_window(SETTINGS_TITLE)
        kwine.set_text(SETTINGS_TITLE, IDC_SETTINGS_SENSITIVITY, str(sensitivity))
        kwine.set_text(SETTINGS_TITLE, IDC_SETTINGS_PASSWORD, password)
        kwine.command(SETTINGS_TITLE, IDOK)
        kwine.window_gone(SETTINGS_TITLE)

    def end_session(self):
        kwine.driver("send", MAIN_TITLE, WM_ENDSESSION, 1, ENDSESSION_LOGOFF)
        # Read at once: the process may be gone the moment the handler returns.
        return kwine.reg_dump()

    def assert_saved(self, values, sensitivity, password):
        self.assertEqual(kwine.dword(values, "Sensitivity"), sensitivity)
        self.assertEqual(values["PW"], (REG_SZ, password.encode("utf-16-le").ljust(20, b"\0")))

    def test_a_log_off_saves_the_changes_and_ends(self):
        program = self.start_main(kwine.DEFAULT_FLAGS & ~(kwine.FLAG_AGREEMENT_PENDING | kwine.FLAG_SHOW_WARNING),
                                  password="")
        self.change_settings(77, "neu")
        kwine.click(MAIN_TITLE, IDC_MAIN_TRIGGER_POWER)
        self.assertTrue(kwine.until(lambda: not kwine.checked(MAIN_TITLE, IDC_MAIN_TRIGGER_POWER)))

        self.assertNotEqual(kwine.driver("send", MAIN_TITLE, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), "0")
        values = self.end_session()
        self.assert_saved(values, 77, "neu")
        self.assertEqual(kwine.dword(values, "Settings") & kwine.FLAG_TRIGGER_POWER, 0)
        self.assertEqual(kwine.wait_exit(program), 0)

    def test_while_armed_the_changes_are_saved_anyway_and_the_phone_hears_of_the_end(self):
        self.settings(kwine.FLAG_DAILY_UPDATE_CHECK)
        kwine.reg_set_text("PW", "")
        kwine.reg_set_text("NotifyUrl", self.service.url + "/kim-laptop")
        program = self.launch()
        kwine.wait_window(MAIN_TITLE, 30)
        self.change_settings(33, "abc")
        self.lock()  # the guard refuses the query: test_guard
        self.assert_saved(self.end_session(), 33, "abc")
        # The guard still uses the settings: the main dialog stays, and so
        # does the guard, until the password.
        self.assertTrue(guard_up())
        self.assertTrue(kwine.window_exists(MAIN_TITLE))
        # "Sign out anyway": the session ends whatever the guard refused, and
        # the owner's phone is told before the process goes.
        kwine.driver("send", GUARD, WM_ENDSESSION, 1, ENDSESSION_LOGOFF, desktop=DESKTOP)
        told = self.service.wait_requests("push", 1, timeout=30)[0]
        self.assertEqual((told["title"], told["status"]), ("Kestrova was stopped while armed", 200))
        self.unlock("abc")
        self.close_main(program)

    def test_a_restart_manager_close_while_armed_leaves_the_account_to_the_alarm(self):
        program = self.lock_logged_in()
        # Restart Manager's end: the process goes on, and so does the guard.
        kwine.driver("send", MAIN_TITLE, WM_ENDSESSION, 1, ENDSESSION_CLOSEAPP)
        self.assertTrue(guard_up())
        for x in (80, 80, 160, 160):
            kwine.driver("move-to", x, 0)
        self.assertTrue(kwine.until(lambda: len(self.service.requests("alarm")) == 1, timeout=15))
        query = self.service.requests("alarm")[0]["query"]
        self.assertEqual((query["u"], query["h"]), ("kim", login_hash("secret", query["n"])))
        self.unlock("abc")
        # The final save still has its key: a change made after the session
        # end reaches the registry.
        kwine.click(MAIN_TITLE, IDC_MAIN_TRIGGER_POWER)
        self.assertTrue(kwine.until(lambda: kwine.checked(MAIN_TITLE, IDC_MAIN_TRIGGER_POWER)))
        self.close_main(program)
        self.assertEqual(kwine.dword(kwine.reg_dump(), "Settings") & kwine.FLAG_TRIGGER_POWER, kwine.FLAG_TRIGGER_POWER)


if __name__ == "__main__":
    import unittest
    unittest.main()
