"""The guard end to end in the real kestrova.exe: the lock command, the guard
dialog on desktop "Kestrova", the motion alarm heard at the null sink with
the SMS notice at the stand-in service, the swallowed shortcuts, the
password, and the refused shutdown."""

import os
import time

import kwine
from online_common import OnlineScenario, login_hash

GUARD = "@1018"  # the untitled guard dialog, found by its password edit
DESKTOP = "Kestrova"
IDC_MAIN_TRIGGER_SHUTDOWN = 1003
IDC_MAIN_LOCK = 1004
IDC_MAIN_TRIGGER_MOUSE_MOVE = 1009
IDC_GUARD_PASSWORD = 1018
WM_QUERYENDSESSION = 0x11
WM_POWERBROADCAST = 0x218
WM_SYSCOMMAND, SC_SCREENSAVE = 0x112, 0xF140
PBT_APMQUERYSUSPEND, PBT_APMPOWERSTATUSCHANGE, PBT_APMRESUMEAUTOMATIC = 0, 10, 0x12
EM_GETPASSWORDCHAR = 0xD2
IDOK, IDCANCEL = 1, 2
SETTINGS_TITLE = "设置"
NO_PASSWORD_TEXT = "Set an unlock password first.\nWithout one, anybody could unlock the guard with Enter."
BROADCAST_QUERY_DENY = 0x424D5144

VK_RETURN, VK_ESCAPE, VK_TAB, VK_SHIFT, VK_CONTROL, VK_MENU, VK_F4 = 0x0D, 0x1B, 0x09, 0x10, 0x11, 0x12, 0x73
VK_LWIN, VK_RWIN, VK_LCONTROL, VK_RCONTROL = 0x5B, 0x5C, 0xA2, 0xA3
VK_INSERT, VK_APPS, VK_F10 = 0x2D, 0x5D, 0x79

# Wine starts a process for a new desktop: its first window can take ~12 s.
GUARD_TIMEOUT = 30.0


def guard_keys(spec):
    kwine.driver("keys", spec)


def guard_type(text):
    kwine.driver("type", text)


def input_desktop():
    return kwine.driver("input-desktop")


def guard_up():
    return kwine.window_exists(GUARD, desktop=DESKTOP)


class GuardScenario(OnlineScenario):
    def start_main(self, flags, password="abc", **settings):
        self.settings(flags, **settings)
        kwine.reg_set_text("PW", password)
        program = self.launch()
        kwine.wait_window(kwine.MAIN_TITLE, 30)
        return program

    def lock(self):
        # Wine starts a new desktop's cursor at (0, 0) and corrects it only at
        # its first mouse event, which the motion detector would count as a
        # jump from the place it started from; with the pointer parked at
        # (0, 0) the two agree. (Windows keeps one cursor for all desktops.)
        kwine.driver("move-to", 0, 0)
        kwine.click(kwine.MAIN_TITLE, IDC_MAIN_LOCK)
        kwine.wait_window(GUARD, GUARD_TIMEOUT, desktop=DESKTOP)
        self.assertTrue(kwine.until(lambda: input_desktop() == DESKTOP), "the guard has not taken the input")
        # The main dialog comes back on the owner's desktop, not the guard's.
        self.assertTrue(kwine.until(lambda: kwine.window_exists(kwine.MAIN_TITLE), timeout=10))

    def lock_logged_in(self):
        """Logs kim in (balance 42, nonce 41), locks with the motion trigger
        and the password "abc", and waits until the main dialog that comes
        back has logged in again; returns the program."""
        self.service.add_account("kim", "secret", balance=42, nonce=41)
        program = self.start_main(kwine.FLAG_TRIGGER_MOUSE_MOVE | kwine.FLAG_SMS_SERVICE,
                                  password="abc", Sensitivity=50)
        self.assertTrue(kwine.until(lambda: self.balance_text() == "SMS Balance: 42", timeout=20),
                        self.balance_text())
        self.lock()
        self.assertTrue(kwine.until(lambda: len(self.service.requests("accountinfo")) == 2, timeout=20))
        return program

    def unlock(self, password):
        kwine.set_text(GUARD, IDC_GUARD_PASSWORD, "", desktop=DESKTOP)
        guard_type(password)
        guard_keys(f"{VK_RETURN:#x}")
        kwine.window_gone(GUARD, 10, desktop=DESKTOP)
        self.assertTrue(kwine.until(lambda: input_desktop() == "Default"), "the owner's desktop is not back")

    def still_armed(self, seconds=1.5):
        time.sleep(seconds)
        return guard_up()

    def close_main(self, program):
        kwine.close(kwine.MAIN_TITLE)
        self.assertEqual(kwine.wait_exit(program), 0)


class GuardTest(GuardScenario):
    def test_lock_with_mouse_ticked_shows_the_guard_on_its_desktop_and_a_full_log_rolls_over(self):
        # The owner's log at its limit of 256 KiB: the first line of this run
        # makes it the older file, and the new file takes the lines after it.
        filler = b"".join(b"2020-01-01 00:00:00  old line %05d%s\n" % (i, b" " * 28) for i in range(4096))
        os.makedirs(os.path.dirname(kwine.log_path()), exist_ok=True)
        with open(kwine.log_path(), "wb") as log:
            log.write(filler)
        program = self.start_main(kwine.FLAG_TRIGGER_POWER, password="abc")
        # Tick "移动鼠标" as the owner would, then lock.
        kwine.click(kwine.MAIN_TITLE, IDC_MAIN_TRIGGER_MOUSE_MOVE)
        self.assertTrue(kwine.until(lambda: kwine.checked(kwine.MAIN_TITLE, IDC_MAIN_TRIGGER_MOUSE_MOVE)))
        self.lock()
        self.assertEqual(kwine.driver("desktop-exists", DESKTOP), "1")
        self.assertFalse(kwine.window_exists(GUARD), "the guard dialog is on the default desktop")
        # A password edit: it has a password character.
        self.assertNotEqual(kwine.driver("send-to", GUARD, IDC_GUARD_PASSWORD, EM_GETPASSWORDCHAR, 0, 0,
                                         desktop=DESKTOP), "0")
        # Armed and idle: the desktop watch does not mistake Wine's input
        # desktop for a foreign one, so nothing sounds.
        self.assertTrue(kwine.silent(5))
        self.assertTrue(guard_up())
        self.unlock("abc")
        self.assertTrue(kwine.window_exists(kwine.MAIN_TITLE))
        self.close_main(program)
        values = kwine.reg_dump()
        # The tick was taken into the flag word at lock; the armed bit is gone.
        self.assertEqual(kwine.dword(values, "Settings") & (kwine.FLAG_TRIGGER_MOUSE_MOVE | 1),
                         kwine.FLAG_TRIGGER_MOUSE_MOVE)
        with open(kwine.log_path("kestrova.old.log"), "rb") as older:
            self.assertEqual(older.read(), filler)
        self.assertIn("Unlocked", kwine.log_texts())
        self.assertFalse([text for text in kwine.log_texts() if "old line" in text])

    def test_motion_sounds_and_sends_the_notice_and_only_the_password_ends_it(self):
        program = self.lock_logged_in()
        # The second login took the nonce 42 the first one left; the account
        # request then took 43.
        self.assertTrue(kwine.until(lambda: self.service.account("kim")["nonce"] == 43, timeout=10))
        self.assertTrue(kwine.silent())
        self.assertEqual(self.service.requests("alarm"), [])
        # 45 pixels of travel stay within the sensitivity of 50 (a move is
        # counted at the event after it, hence each position twice).
        for x in (20, 20, 45, 45):
            kwine.driver("move-to", x, 0)
        self.assertTrue(kwine.silent(), "the siren sounded within the sensitivity")
        for x in (60, 60):
            kwine.driver("move-to", x, 0)
        self.assertTrue(kwine.heard(), "no siren at the sink after the motion")
        self.assertTrue(kwine.until(lambda: len(self.service.requests("alarm")) == 1, timeout=15))
        notice, = self.service.requests("alarm")
        # The login's nonce (42) + 2.
        self.assertEqual(notice["query"], {"u": "kim", "n": "44", "h": login_hash("secret", "44")})
        # More motion while it sounds sends nothing more.
        kwine.driver("move-by", 200, 200)
        # A wrong password changes nothing.
        guard_type("abd")
        guard_keys(f"{VK_RETURN:#x}")
        self.assertTrue(self.still_armed())
        self.assertTrue(kwine.heard(3))
        self.assertEqual(len(self.service.requests("alarm")), 1)
        self.unlock("abc")
        self.assertTrue(kwine.quiet(), "the siren goes on after unlock")
        # The owner's log tells the story, in order, and never what was typed.
        expected = ["Armed; triggers: mouse moved; SMS alarm on", "Alarm: the mouse was moved",
                    "Wrong password (1 since arming)", "Unlocked after 1 wrong password(s)"]
        self.assertTrue(kwine.until(lambda: expected[-1] in kwine.log_texts()), kwine.log_texts())
        events = [text for text in kwine.log_texts() if text in expected]
        self.assertEqual(events, expected, kwine.log_texts())
        self.assertNotIn("abd", "".join(kwine.log_texts()))
        self.assertEqual(len(self.service.requests("alarm")), 1)
        self.close_main(program)

    def test_lock_without_a_password_arms_nothing_until_one_is_set(self):
        program = self.start_main(0, password="")
        # Cancel, OK with the edit still empty, then OK with a password typed
        # where the focus is: none of them arms.
        for button, typed in ((IDCANCEL, ""), (IDOK, ""), (IDOK, "abc")):
            kwine.click(kwine.MAIN_TITLE, IDC_MAIN_LOCK)
            self.answer_box("Warning", NO_PASSWORD_TEXT)
            kwine.wait_window(SETTINGS_TITLE)
            if typed:
                guard_type(typed)
            kwine.command(SETTINGS_TITLE, button)
            kwine.window_gone(SETTINGS_TITLE)
            self.assertFalse(self.still_armed(), "a guard came up without a password")
            self.assertEqual(kwine.driver("desktop-exists", DESKTOP), "0")
        self.lock()
        self.unlock("abc")
        self.close_main(program)

    def test_the_fifth_wrong_password_sounds_and_the_autostart_lasts_until_the_unlock(self):
        program = self.start_main(0, password="abc")
        self.assertEqual(kwine.driver("run-value"), "none")
        self.lock()
        run = kwine.driver("run-value")
        self.assertRegex(run, r'^"[A-Za-z]:\\.*kestrova\.exe"$', "the program's path, quoted")

        def submit(text, key=VK_RETURN):
            kwine.set_text(GUARD, IDC_GUARD_PASSWORD, text, desktop=DESKTOP)
            guard_keys(f"{key:#x}")

        def counted(n):
            return kwine.until(lambda: f"Wrong password ({n} since arming)" in kwine.log_texts())

        for n, guess in enumerate(("a1", "a2", "a3", "a4"), 1):
            submit(guess)
            self.assertTrue(counted(n))
        submit("a4")  # held Enter: the same text again counts once
        submit("")    # an empty edit is no guess
        self.assertTrue(kwine.silent(), "four wrong passwords sounded")
        self.assertFalse(any("(5 since" in text for text in kwine.log_texts()), kwine.log_texts())
        submit("a5", VK_ESCAPE)  # Esc submits too
        self.assertTrue(counted(5))
        self.assertTrue(kwine.heard(), "no siren after the fifth wrong password")
        self.assertTrue(any(text.startswith("Alarm: wrong passwords") for text in kwine.log_texts()))
        self.assertEqual(kwine.driver("run-value"), run)
        self.unlock("abc")
        self.assertTrue(kwine.quiet(), "the siren goes on after unlock")
        self.assertEqual(kwine.driver("run-value"), "none")
        self.assertIn("Unlocked after 5 wrong password(s)", kwine.log_texts())
        self.close_main(program)

    def test_shortcuts_and_close_requests_leave_the_guard_in_place(self):
        # With the password in the edit a close request that got through
        # would submit it and unlock.
        program = self.start_main(0, password="abc")
        self.lock()
        kwine.set_text(GUARD, IDC_GUARD_PASSWORD, "abc", desktop=DESKTOP)
        chords = {
            "Alt+F4": (VK_MENU, VK_F4),
            "Alt+Tab": (VK_MENU, VK_TAB),
            "Left Windows key": (VK_LWIN,),
            "Right Windows key": (VK_RWIN,),
            "Ctrl+Esc": (VK_CONTROL, VK_ESCAPE),
            "Ctrl+Shift+Esc": (VK_CONTROL, VK_SHIFT, VK_ESCAPE),
        }
        for name, keys in chords.items():
            with self.subTest(name):
                guard_keys("+".join(f"{key:#x}" for key in keys))
                self.assertTrue(self.still_armed(1.0))
        # Both hooks removed behind the program's back, as Windows removes a
        # hook that overran its time-out: renewed, the filter swallows again.
        kwine.driver("drop-hooks", kwine.MAIN_TITLE, 1500, f"{VK_MENU:#x}+{VK_F4:#x}")
        self.assertTrue(self.still_armed(1.0), "Alt+F4 got through 1.5 s after the hooks were removed")
        self.assertTrue(kwine.silent())
        # What Alt+F4 would have asked for, a close request, does unlock.
        kwine.close(GUARD, desktop=DESKTOP)
        kwine.window_gone(GUARD, 10, desktop=DESKTOP)
        self.close_main(program)

    def test_a_switch_away_sounds_and_the_guard_takes_the_input_back_each_time(self):
        # No trigger ticked: leaving the guard's desktop is theft enough.
        # Armed twice, unlocked between: a siren still sounding from the
        # first switch would answer for the second.
        program = self.start_main(0, password="abc")

        def switch_away():
            # As Task Manager does, from Ctrl+Alt+Del: the input moves to a
            # desktop of its own, and kdriver waits for it to come back (how
            # soon: tools/measure_guard.py); the desktop that took it.
            return kwine.driver("switch-to", "Taskmgr").split()[-1]

        for arming in (1, 2):
            with self.subTest(arming=arming):
                self.lock()
                self.assertTrue(kwine.silent())
                self.assertEqual(switch_away(), DESKTOP)
                self.assertTrue(kwine.heard(), "no siren after the switch")
                self.assertEqual(switch_away(), DESKTOP, "not taken back while sounding")
                self.unlock("abc")
                self.assertTrue(kwine.quiet(), "the siren goes on after unlock")
        self.close_main(program)

    def test_an_unplugged_input_device_sounds_and_an_unplugged_disk_does_not(self):
        program = self.start_main(kwine.FLAG_TRIGGER_USB_MOUSE, password="abc")
        self.lock()
        # The notices as the system sends them, the interface's class in each.
        kwine.driver("device-removed", GUARD, "disk", desktop=DESKTOP)
        self.assertTrue(kwine.silent(), "an unplugged USB stick sounded")
        kwine.driver("device-removed", GUARD, "hid", desktop=DESKTOP)
        self.assertTrue(kwine.heard(), "no siren after an input device was unplugged")
        self.assertIn("Alarm: a USB mouse or other input device was unplugged", kwine.log_texts())
        self.unlock("abc")
        self.assertTrue(kwine.quiet())
        self.close_main(program)

    def test_the_clipboard_never_unlocks_and_a_wrong_try_leaves_the_box_empty(self):
        program = self.start_main(0, password="Ab9")
        self.lock()
        # The password on the clipboard: Shift+Insert, and the context menu's
        # Paste ("p") from the menu key or Shift+F10, would each put it in.
        self.assertEqual(kwine.driver("clipboard", "Ab9"), "ok")
        guard_keys(f"{VK_SHIFT:#x}+{VK_INSERT:#x},{VK_RETURN:#x}")
        for menu in (f"{VK_APPS:#x}", f"{VK_SHIFT:#x}+{VK_F10:#x}"):
            guard_keys(menu)
            guard_type("p")
            guard_keys(f"{VK_RETURN:#x}")
        self.assertTrue(self.still_armed(), "a paste unlocked")
        guard_keys(f"{VK_CONTROL:#x},{VK_LCONTROL:#x},{VK_RCONTROL:#x}")
        # Typed after a wrong try, the right one unlocks: the try emptied the box.
        for typed in ("ab9", "Ab9"):  # case matters
            guard_type(typed)
            guard_keys(f"{VK_RETURN:#x}")
        kwine.window_gone(GUARD, 10, desktop=DESKTOP)
        self.assertIn("Unlocked after 2 wrong password(s)", kwine.log_texts())
        self.close_main(program)

    def test_shutdown_is_refused_while_armed_and_sounds_only_with_the_trigger(self):
        program = self.start_main(0, password="abc")
        self.lock()
        # Each answer as the sender reads it; none sounds without the trigger.
        # The low four bits of a system command are the system's own: on
        # Wine SC_SCREENSAVE + 1 opens "About Wine" unless it is swallowed.
        answers = [(WM_QUERYENDSESSION, 0, "0"), (WM_POWERBROADCAST, PBT_APMQUERYSUSPEND, str(BROADCAST_QUERY_DENY)),
                   (WM_SYSCOMMAND, SC_SCREENSAVE, "0"), (WM_SYSCOMMAND, SC_SCREENSAVE + 1, "0"),
                   (WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, "0"), (WM_POWERBROADCAST, PBT_APMPOWERSTATUSCHANGE, "0")]
        for message, wparam, answer in answers:
            self.assertEqual(kwine.driver("send", GUARD, message, wparam, 0, desktop=DESKTOP), answer,
                             (message, wparam))
        kwine.driver("device-removed", GUARD, "hid", desktop=DESKTOP)
        time.sleep(2)
        self.assertNotIn("About Wine", kwine.driver("list", desktop=DESKTOP))
        self.assertTrue(kwine.silent(), "a refused shutdown, a resume or an unplugged mouse sounded without the trigger")
        self.unlock("abc")
        # The desktop watch ends with the unlock: the owner's desktop is no theft.
        self.assertTrue(kwine.silent())

        # Tick "关机/注销" and arm again in the same process.
        kwine.click(kwine.MAIN_TITLE, IDC_MAIN_TRIGGER_SHUTDOWN)
        self.assertTrue(kwine.until(lambda: kwine.checked(kwine.MAIN_TITLE, IDC_MAIN_TRIGGER_SHUTDOWN)))
        self.lock()
        self.assertEqual(kwine.driver("send", GUARD, WM_QUERYENDSESSION, 0, 0, desktop=DESKTOP), "0")
        self.assertTrue(kwine.heard(), "no siren after a shutdown request with the trigger on")
        self.unlock("abc")
        self.assertTrue(kwine.quiet())
        self.close_main(program)
