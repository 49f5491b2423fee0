"""The alarm notice's reply: a refusal sent with an error status is still
shown, and a reply reset after its headers shows nothing."""

import unittest

import kwine
from online_common import WARNING
from test_guard import GuardScenario

NO_CREDIT_TEXT = "You are out of SMS credits. No alarm was sent to your cell phone!"


class AlarmReply(GuardScenario):
    def sound_the_alarm(self):
        """Logs in, locks with the motion trigger, moves the mouse; returns
        the program once the alarm notice has been answered."""
        program = self.lock_logged_in()
        for x in (80, 80, 160, 160):
            kwine.driver("move-to", x, 0)
        self.assertEqual(len(self.service.wait_requests("alarm", 1)), 1)
        return program

    def test_a_refusal_sent_with_status_402_shows_the_warning(self):
        self.service.set_reply("alarm", status=402, body="NOSMS")
        program = self.sound_the_alarm()
        self.answer_box(WARNING, NO_CREDIT_TEXT)
        self.unlock("abc")
        self.close_main(program)

    def test_an_alarm_reply_reset_after_its_headers_shows_nothing(self):
        self.service.set_reply("alarm", body="NOSMS", reset=0.7)
        program = self.sound_the_alarm()
        self.assertTrue(self.no_window_for(WARNING, 5))
        self.unlock("abc")
        self.close_main(program)


if __name__ == "__main__":
    unittest.main()
