"""Shared by the online scenarios: the stand-in service and a key that
points kestrova at it."""

import datetime
import os
import sys
import time

sys.path.insert(0, os.path.abspath(os.path.join(os.path.dirname(__file__), "..")))

import kwine  # noqa: E402
from service_standin import StandIn, login_hash  # noqa: E402,F401

IDOK, IDCANCEL, IDYES, IDNO = 1, 2, 6, 7
IDC_MAIN_LOCK = 1004
IDC_MAIN_PROGRESS = 1027
IDC_MAIN_BALANCE = 1028

CONNECTION_ERROR = "Connection Error"
WARNING = "Warning"
NEW_VERSION = "New Version Available!"

INVALID_LOGIN_TEXT = "You supplied an invalid login.\nPlease retype your username and/or password."
CONNECTION_ERROR_TEXT = ("Could not connect to the server.\nPlease check your internet connection\n"
                         "and make sure your firewall doesn't\nblock Kestrova")
LOCK_QUESTION_TEXT = ("You're not logged in. You won't get a SMS warning when the alarm is triggered.\n"
                      "Are you sure you want to continue?")
UPDATE_TEXT = ("A new version of Kestrova is avaible!\n Do you want to take full advantage of the new "
               "features and download it now?")

# Progress bar colours as COLORREF (0x00bbggrr).
GREEN = "00ff00"
RED = "0000ff"


def box_text(title):
    return kwine.box_text(title).replace("\r\n", "\n")


def packed_date(date):
    return date.day | (date.month << 8) | (date.year << 16)


def utc_today():
    return datetime.datetime.now(datetime.timezone.utc).date()


class OnlineScenario(kwine.Scenario):
    """Starts a stand-in service for each test."""

    def setUp(self):
        super().setUp()
        self.service = StandIn().start()
        self.addCleanup(self.service.stop)

    def down_service(self):
        """A stand-in that holds its loopback port without listening: a
        connection is refused, nothing else can take the port meanwhile,
        and start() brings the service up there."""
        service = StandIn(listening=False)
        self.addCleanup(service.stop)
        return service

    def settings(self, flags, user="kim", password="secret", url=None, **dwords):
        kwine.accepted_settings(flags=flags, **dwords)
        kwine.reg_set_text("PW", "abc")  # the unlock password: without one nothing arms
        kwine.reg_set_text("ServiceUrl", url or self.service.url)
        if user is not None:
            kwine.reg_set_text("ServerUser", user)
        if password is not None:
            kwine.reg_set_text("ServerPass", password)

    def answer_box(self, title, text, button=IDOK, timeout=15):
        """Waits for the box, checks its text and answers it."""
        kwine.wait_window(title, timeout=timeout)
        self.assertEqual(box_text(title), text)
        kwine.command(title, button)
        kwine.window_gone(title)

    def balance_text(self):
        return kwine.text(kwine.MAIN_TITLE, IDC_MAIN_BALANCE)

    def progress(self):
        return kwine.driver("progress", kwine.MAIN_TITLE, IDC_MAIN_PROGRESS)

    def answer_failed_account_request(self):
        """The account request got no usable reply: the watchdog's connection
        error comes (no refusal), no balance, the indicator red after two
        steps; answers the box."""
        kwine.wait_window(CONNECTION_ERROR, timeout=15)
        self.assertFalse(kwine.window_exists(WARNING))
        self.assertEqual(self.balance_text(), "SMS Balance: N/A")
        self.assertEqual(self.progress(), "1 2 " + RED)
        self.answer_box(CONNECTION_ERROR, CONNECTION_ERROR_TEXT)

    def close_main(self, program):
        kwine.close(kwine.MAIN_TITLE)
        self.assertEqual(kwine.wait_exit(program), 0)

    def no_window_for(self, title, seconds):
        """True when no window of that title appears within seconds."""
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            if kwine.window_exists(title):
                return False
            time.sleep(0.3)
        return not kwine.window_exists(title)
