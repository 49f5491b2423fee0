"""The settings dialog under Wine: what OK stores (seen in the registry at
once and after the program ends), what Cancel drops, the drag measurement with
real mouse input, and the SMS service box reaching the main dialog's balance
label."""

import math
import time
import unittest

import kwine
from online_common import OnlineScenario
from kwine import MAIN_TITLE, REG_SZ, Scenario

SETTINGS_TITLE = "设置"
IDOK, IDCANCEL = 1, 2
IDC_MAIN_SETTINGS = 1017
IDC_MAIN_BALANCE = 1028
IDC_SETTINGS_UPDATE_CHECK = 1013
IDC_SETTINGS_MEASURE_FRAME = 1015
IDC_SETTINGS_SENSITIVITY = 1016
IDC_SETTINGS_PASSWORD = 1018
IDC_SETTINGS_SMS_USER = 1022
IDC_SETTINGS_SMS_PASS = 1023
IDC_SETTINGS_USE_SMS = 1025
IDC_SETTINGS_WEB_ADDRESS = 1030
BM_SETCHECK = 0x00F1

# Nothing listens here: the account check may start but gets no answer, and
# nothing leaves the machine.
QUIET_SERVICE = "http://127.0.0.1:9"


def account_text(values, name):
    """An 8-bit account value as stored: the registry keeps REG_SZ as UTF-16
    whichever API wrote it, so a 100-byte text reads back as 200 bytes."""
    kind, data = values[name]
    assert kind == REG_SZ, (name, kind)
    text = data.decode("utf-16-le") if len(data) == 200 else data.decode("latin-1")
    return text.split("\0")[0]


class SettingsDialog(Scenario):

    def open_settings(self, password=None, **values):
        kwine.accepted_settings(**values)
        kwine.reg_set_text("ServiceUrl", QUIET_SERVICE)
        if password is not None:
            kwine.reg_set_text("PW", password)
        self.program = self.launch()
        kwine.wait_window(MAIN_TITLE)
        kwine.command(MAIN_TITLE, IDC_MAIN_SETTINGS)
        kwine.wait_window(SETTINGS_TITLE)

    def close_program(self):
        kwine.window_gone(SETTINGS_TITLE)
        kwine.close(MAIN_TITLE)
        self.assertEqual(kwine.wait_exit(self.program), 0)
        return kwine.reg_dump()

    def frame(self):
        left, top, right, bottom = map(int, kwine.driver(
            "rect", SETTINGS_TITLE, IDC_SETTINGS_MEASURE_FRAME).split())
        self.assertGreater(right - left, 10)
        self.assertGreater(bottom - top, 10)
        return left, top, right, bottom

    def cursor_after_move(self, x, y):
        kwine.driver("move-to", x, y)
        return tuple(map(int, kwine.driver("cursor").split()))

    def set_check(self, control_id, ticked):
        kwine.driver("send-to", SETTINGS_TITLE, control_id, BM_SETCHECK, int(ticked), 0)
        self.assertEqual(kwine.checked(SETTINGS_TITLE, control_id), ticked)

    def sensitivity_shown(self):
        return kwine.text(SETTINGS_TITLE, IDC_SETTINGS_SENSITIVITY)

    def test_initialisation_shows_the_stored_values(self):
        self.open_settings(password="密码", Sensitivity=0xFFFFFF85)  # -123
        self.assertEqual(self.sensitivity_shown(), "-123")
        self.assertEqual(kwine.text(SETTINGS_TITLE, IDC_SETTINGS_PASSWORD), "密码")
        self.assertTrue(kwine.checked(SETTINGS_TITLE, IDC_SETTINGS_UPDATE_CHECK))
        self.assertFalse(kwine.checked(SETTINGS_TITLE, IDC_SETTINGS_USE_SMS))
        self.assertEqual(kwine.text(SETTINGS_TITLE, IDC_SETTINGS_WEB_ADDRESS), QUIET_SERVICE)
        kwine.command(SETTINGS_TITLE, IDCANCEL)
        self.close_program()

    def test_ok_stores_the_typed_sensitivity_password_and_account(self):
        self.open_settings()
        self.assertEqual(self.sensitivity_shown(), "50")
        self.assertEqual(kwine.text(SETTINGS_TITLE, IDC_SETTINGS_PASSWORD), "")
        kwine.set_text(SETTINGS_TITLE, IDC_SETTINGS_SENSITIVITY, " -7x")
        # An input method's characters, and one the US layout cannot type:
        # the guard could never take them, so OK names them and stores nothing.
        for password, named in (("密码", "密码"), ("pass€", "€")):
            kwine.set_text(SETTINGS_TITLE, IDC_SETTINGS_PASSWORD, password)
            kwine.command(SETTINGS_TITLE, IDOK)
            kwine.wait_window("Warning")
            self.assertIn("the unlock password: " + named + "\n", kwine.box_text("Warning").replace("\r", ""))
            kwine.command("Warning", IDOK)
            kwine.window_gone("Warning")
            self.assertNotIn("PW", kwine.reg_dump())
        # Longer than the read buffer: only the first nine characters count.
        kwine.set_text(SETTINGS_TITLE, IDC_SETTINGS_PASSWORD, "abcdefghijkl")
        kwine.set_text(SETTINGS_TITLE, IDC_SETTINGS_SMS_USER, "owner@example.org")
        kwine.set_text(SETTINGS_TITLE, IDC_SETTINGS_SMS_PASS, "s3cret")
        # Ticked by default. The box has no size, so no click can reach it.
        self.set_check(IDC_SETTINGS_UPDATE_CHECK, False)
        kwine.command(SETTINGS_TITLE, IDOK)
        # Written at once, not only at exit.
        stored = lambda: (kwine.reg_dump() or {}).get("Sensitivity", (0, b""))[1]
        self.assertTrue(kwine.until(lambda: stored() == bytes.fromhex("f9ffffff")))
        values = self.close_program()

        self.assertEqual(kwine.dword(values, "Sensitivity"), 0xFFFFFFF9)  # -7
        self.assertEqual(values["PW"], (REG_SZ, "abcdefghi".encode("utf-16-le") + bytes(2)))
        self.assertEqual(account_text(values, "ServerUser"), "owner@example.org")
        self.assertEqual(account_text(values, "ServerPass"), "s3cret")
        flags = kwine.dword(values, "Settings")
        self.assertEqual(flags & kwine.FLAG_DAILY_UPDATE_CHECK, 0)
        self.assertEqual(flags & kwine.FLAG_SMS_SERVICE, 0)
        self.assertEqual(flags & kwine.FLAG_TRIGGER_MOUSE_MOVE, kwine.FLAG_TRIGGER_MOUSE_MOVE)

    def test_typing_stops_at_the_buffers(self):
        self.open_settings()
        left, top, right, bottom = map(int, kwine.driver(
            "rect", SETTINGS_TITLE, IDC_SETTINGS_PASSWORD).split())
        # Click into the password edit, then type twelve characters.
        kwine.driver("drag", (left + right) // 2, (top + bottom) // 2,
                     (left + right) // 2, (top + bottom) // 2)
        kwine.driver("type", "ABCDEFGHIJKL")
        self.assertTrue(kwine.until(
            lambda: kwine.text(SETTINGS_TITLE, IDC_SETTINGS_PASSWORD) == "ABCDEFGHI"),
            kwine.text(SETTINGS_TITLE, IDC_SETTINGS_PASSWORD))
        kwine.command(SETTINGS_TITLE, IDOK)
        values = self.close_program()
        self.assertEqual(values["PW"], (REG_SZ, "ABCDEFGHI".encode("utf-16-le") + bytes(2)))

    def test_a_drag_inside_the_frame_shows_the_distance(self):
        self.open_settings()
        left, top, right, bottom = self.frame()
        start = self.cursor_after_move((left + right) // 2, (top + bottom) // 2)
        target = (start[0] + 90, start[1] + 120)
        kwine.driver("drag", start[0], start[1], target[0], target[1])
        end = tuple(map(int, kwine.driver("cursor").split()))
        expected = math.isqrt((end[0] - start[0]) ** 2 + (end[1] - start[1]) ** 2)
        self.assertGreater(expected, 100)
        self.assertTrue(kwine.until(lambda: self.sensitivity_shown() == str(expected)),
                        f"shown {self.sensitivity_shown()}, expected {expected}")

        # A second drag measures from its own press, not from the first one's.
        second = self.cursor_after_move(left + 3, top + 3)
        kwine.driver("drag", second[0], second[1], second[0] + 30, second[1] + 40)
        end = tuple(map(int, kwine.driver("cursor").split()))
        expected = math.isqrt((end[0] - second[0]) ** 2 + (end[1] - second[1]) ** 2)
        self.assertNotEqual(expected, math.isqrt((end[0] - start[0]) ** 2 + (end[1] - start[1]) ** 2))
        self.assertTrue(kwine.until(lambda: self.sensitivity_shown() == str(expected)),
                        f"shown {self.sensitivity_shown()}, expected {expected}")

        # The measured value is stored on OK like a typed one.
        kwine.command(SETTINGS_TITLE, IDOK)
        values = self.close_program()
        self.assertEqual(kwine.dword(values, "Sensitivity"), expected)

    def test_presses_on_the_frame_edge_or_outside_measure_nothing(self):
        self.open_settings()
        left, top, right, bottom = self.frame()
        middle_x, middle_y = (left + right) // 2, (top + bottom) // 2
        for x, y in ((left, middle_y), (middle_x, top), (left - 30, middle_y), (middle_x, bottom + 40)):
            at = self.cursor_after_move(x, y)
            self.assertEqual(at, (x, y), "the press must land exactly on the probed pixel")
            kwine.driver("drag", x, y, x + 60, y + 80)
            self.assertEqual(self.sensitivity_shown(), "50", (x, y))
        kwine.command(SETTINGS_TITLE, IDOK)
        values = self.close_program()
        self.assertEqual(kwine.dword(values, "Sensitivity"), 50)

    def test_cancel_after_a_drag_stores_nothing(self):
        self.open_settings(Sensitivity=77)
        left, top, right, bottom = self.frame()
        start = self.cursor_after_move((left + right) // 2, (top + bottom) // 2)
        kwine.driver("drag", start[0], start[1], start[0] + 200, start[1] + 150)
        self.assertTrue(kwine.until(lambda: self.sensitivity_shown() != "77"))
        kwine.set_text(SETTINGS_TITLE, IDC_SETTINGS_PASSWORD, "lost")
        kwine.command(SETTINGS_TITLE, IDCANCEL)
        values = self.close_program()
        self.assertEqual(kwine.dword(values, "Sensitivity"), 77)
        self.assertEqual(values["PW"], (REG_SZ, bytes(20)))


class SettingsDialogAndService(OnlineScenario):
    """OK starts the account check with the account just typed, and only when
    the service box is ticked."""

    FLAGS = kwine.DEFAULT_FLAGS & ~(kwine.FLAG_AGREEMENT_PENDING | kwine.FLAG_SHOW_WARNING |
                                    kwine.FLAG_DAILY_UPDATE_CHECK | kwine.FLAG_SMS_SERVICE)

    def open_settings(self):
        self.settings(self.FLAGS, user=None, password=None)
        self.program = self.launch()
        kwine.wait_window(MAIN_TITLE)
        kwine.command(MAIN_TITLE, IDC_MAIN_SETTINGS)
        kwine.wait_window(SETTINGS_TITLE)
        kwine.set_text(SETTINGS_TITLE, IDC_SETTINGS_SMS_USER, "kim@example.org")
        kwine.set_text(SETTINGS_TITLE, IDC_SETTINGS_SMS_PASS, "secret")

    def balance(self):
        return kwine.text(MAIN_TITLE, IDC_MAIN_BALANCE)

    def test_ok_with_the_service_ticked_shows_no_balance_until_the_reply(self):
        self.service.add_account("kim@example.org", "secret", balance=42, nonce=41)
        self.service.set_reply("lastnonce", delay=3.0)
        self.open_settings()
        self.assertNotEqual(self.balance(), "SMS Balance: N/A")
        kwine.driver("send-to", SETTINGS_TITLE, IDC_SETTINGS_USE_SMS, BM_SETCHECK, 1, 0)
        kwine.command(SETTINGS_TITLE, IDOK)
        kwine.window_gone(SETTINGS_TITLE)
        self.assertTrue(kwine.until(lambda: self.balance() == "SMS Balance: N/A", timeout=2.5),
                        self.balance())
        self.assertTrue(kwine.until(lambda: self.balance() == "SMS Balance: 42", timeout=15),
                        self.balance())
        nonce, = self.service.requests("lastnonce")
        self.assertEqual(nonce["query"], {"e": "kim@example.org"}, "the account typed before OK")
        self.close_main(self.program)
        values = kwine.reg_dump()
        self.assertEqual(kwine.dword(values, "Settings") & kwine.FLAG_SMS_SERVICE, kwine.FLAG_SMS_SERVICE)
        self.assertEqual(account_text(values, "ServerUser"), "kim@example.org")

    def test_ok_with_the_service_unticked_sends_nothing(self):
        self.service.add_account("kim@example.org", "secret", balance=42, nonce=41)
        self.open_settings()
        before = self.balance()
        kwine.command(SETTINGS_TITLE, IDOK)
        kwine.window_gone(SETTINGS_TITLE)
        time.sleep(3)
        self.assertEqual(self.service.requests(), [])
        self.assertEqual(self.balance(), before)
        self.close_main(self.program)
        self.assertEqual(kwine.dword(kwine.reg_dump(), "Settings") & kwine.FLAG_SMS_SERVICE, 0)


if __name__ == "__main__":
    unittest.main()
