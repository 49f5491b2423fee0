"""A thief at the armed guard: keys that would leave it (the volume keys
too), window messages sent from another process, closing the main dialog
while the siren sounds, a flood of input, an overlong password, and a second
lock command while the guard is up."""

import time
import unittest

import kwine
from test_guard import (DESKTOP, GUARD, GUARD_TIMEOUT, IDC_GUARD_PASSWORD, IDC_MAIN_LOCK, VK_ESCAPE,
                        VK_F4, VK_MENU, VK_RETURN, GuardScenario, guard_keys, guard_type, guard_up, input_desktop)

IDOK, IDCANCEL = 1, 2
VK_SHIFT, VK_VOLUME_MUTE, VK_VOLUME_DOWN, VK_VOLUME_UP = 0x10, 0xAD, 0xAE, 0xAF
WM_NULL = 0x0000
WM_CLOSE = 0x0010
WM_COMMAND = 0x0111
WM_GETTEXTLENGTH = 0x000E
WM_QUERYENDSESSION = 0x0011
DIALOG_CLASS = "#32770"


def guard_windows():
    """The untitled dialogs on the guard's desktop."""
    found = []
    for line in kwine.driver("list", desktop=DESKTOP).splitlines():
        handle, visible, window_class, title = (line.split("\t") + ["", "", ""])[:4]
        if window_class == DIALOG_CLASS and title == "" and visible == "1":
            found.append(handle)
    return found


class MessagesFromAnotherProcess(GuardScenario):
    def test_close_and_commands_only_submit_what_the_edit_holds(self):
        program = self.start_main(0, password="abc")
        self.lock()
        # kdriver is another process: what it sends is what any program
        # running as the user could send.
        attempts = {
            "WM_CLOSE": (WM_CLOSE, 0, 0),
            "WM_COMMAND IDOK": (WM_COMMAND, IDOK, 0),
            "WM_COMMAND IDCANCEL": (WM_COMMAND, IDCANCEL, 0),
        }
        for name, (message, wparam, lparam) in attempts.items():
            with self.subTest(name):
                kwine.driver("send", GUARD, message, wparam, lparam, desktop=DESKTOP)
                self.assertTrue(self.still_armed(1.0))
        kwine.close(GUARD, desktop=DESKTOP)  # WM_SYSCOMMAND SC_CLOSE
        self.assertTrue(self.still_armed(1.0))
        # The password typed into the edit from outside still has to be the
        # right one: a wrong one changes nothing, the right one unlocks.
        kwine.set_text(GUARD, IDC_GUARD_PASSWORD, "abd", desktop=DESKTOP)
        kwine.driver("send", GUARD, WM_COMMAND, IDOK, 0, desktop=DESKTOP)
        self.assertTrue(self.still_armed(1.0))
        self.assertTrue(kwine.quiet(3), "a submitted wrong password sounded")
        kwine.set_text(GUARD, IDC_GUARD_PASSWORD, "abc", desktop=DESKTOP)
        kwine.driver("send", GUARD, WM_COMMAND, IDCANCEL, 0, desktop=DESKTOP)
        kwine.window_gone(GUARD, 10, desktop=DESKTOP)
        self.close_main(program)

    def test_alt_esc_arrives_as_a_plain_esc_that_submits_a_wrong_password(self):
        # Alt's own events are swallowed, so the system never sees Alt+Esc;
        # the Esc alone submits the edit, like the owner's Esc.
        program = self.start_main(0, password="abc")
        self.lock()
        guard_keys(f"{VK_MENU:#x}+{VK_ESCAPE:#x}")
        self.assertTrue(self.still_armed())
        guard_type("abc")
        guard_keys(f"{VK_MENU:#x}+{VK_F4:#x}")  # not a submit: the F4 alone does nothing
        self.assertTrue(self.still_armed())
        guard_keys(f"{VK_MENU:#x}+{VK_ESCAPE:#x}")
        kwine.window_gone(GUARD, 10, desktop=DESKTOP)
        self.close_main(program)


class VolumeKeys(GuardScenario):
    def test_volume_keys_held_on_the_guard_desktop_never_read_as_down(self):
        program = self.start_main(0, password="abc")
        self.lock()
        # Shift passes the filter: held, it reads as down, so a key that
        # reads as up was stopped by the filter and not lost on the way.
        self.assertEqual(kwine.driver("held", f"{VK_SHIFT:#x}"), "1")
        for name, key in {"Mute": VK_VOLUME_MUTE, "Volume Down": VK_VOLUME_DOWN, "Volume Up": VK_VOLUME_UP}.items():
            with self.subTest(name):
                self.assertEqual(kwine.driver("held", f"{key:#x}"), "0")
        self.unlock("abc")
        self.close_main(program)


class MainDialogWhileArmed(GuardScenario):
    def test_closing_the_main_dialog_leaves_the_sounding_guard_and_the_password_unlocks(self):
        program = self.start_main(kwine.FLAG_TRIGGER_SHUTDOWN, password="abc")
        self.lock()
        # A refused shutdown with the trigger on starts the siren.
        kwine.driver("send", GUARD, WM_QUERYENDSESSION, 0, 0, desktop=DESKTOP)
        self.assertTrue(kwine.heard(), "no siren to begin with")
        attempts = {
            "IDCANCEL": lambda: kwine.command(kwine.MAIN_TITLE, IDCANCEL),
            "WM_CLOSE": lambda: kwine.driver("send", kwine.MAIN_TITLE, WM_CLOSE, 0, 0),
            "SC_CLOSE": lambda: kwine.close(kwine.MAIN_TITLE),
        }
        for name, attempt in attempts.items():
            with self.subTest(name):
                attempt()
                time.sleep(1.5)
                self.assertIsNone(program.poll(), "the program ended")
                self.assertTrue(kwine.window_exists(kwine.MAIN_TITLE))
                self.assertTrue(guard_up())
                self.assertTrue(kwine.heard(3), "the siren stopped")
        self.unlock("abc")
        self.assertTrue(kwine.quiet(), "the siren goes on after unlock")
        # Unlocked, the main dialog closes as ever and the settings are saved.
        self.close_main(program)
        self.assertEqual(kwine.dword(kwine.reg_dump(), "Settings") & 1, 0)


class InputFlood(GuardScenario):
    def test_ten_thousand_events_leave_both_hooks_installed_and_the_guard_answering(self):
        # An empty password: a close request that got through would unlock.
        program = self.start_main(kwine.FLAG_TRIGGER_MOUSE_MOVE, password="", Sensitivity=50)
        self.lock()
        started = time.monotonic()
        sent = kwine.driver("flood", 10000, timeout=300)
        flood_seconds = time.monotonic() - started
        self.assertEqual(sent, "10000")
        print(f"10000 events injected in {flood_seconds:.1f} s", flush=True)
        # Moves of no distance and swallowed keys: nothing to sound for.
        self.assertTrue(kwine.quiet(5))
        self.assertEqual(kwine.driver("send", GUARD, WM_NULL, 0, 0, desktop=DESKTOP), "0")
        self.assertTrue(guard_up())
        # The keyboard filter is still there: Alt+F4 asks nothing.
        guard_keys(f"{VK_MENU:#x}+{VK_F4:#x}")
        self.assertTrue(self.still_armed())
        # The motion detector is still there: 100 pixels sound.
        for x in (100, 100):
            kwine.driver("move-to", x, 0)
        self.assertTrue(kwine.heard(), "no siren after the flood and a real move")
        self.unlock("")
        self.assertTrue(kwine.quiet())
        self.close_main(program)


class LongPassword(GuardScenario):
    def test_fifty_typed_characters_are_read_as_their_first_nine(self):
        program = self.start_main(0, password="Pa55word!")
        self.lock()
        guard_type("x" * 50)
        self.assertEqual(kwine.driver("send-to", GUARD, IDC_GUARD_PASSWORD, WM_GETTEXTLENGTH, 0, 0,
                                      desktop=DESKTOP), "50")
        guard_keys(f"{VK_RETURN:#x}")
        self.assertTrue(self.still_armed())
        self.assertTrue(kwine.quiet(2))
        # Only the first nine characters count: the stored password followed
        # by 41 more is the stored password.
        self.unlock("Pa55word!" + "y" * 41)
        self.close_main(program)


class SecondLock(GuardScenario):
    def test_a_second_lock_brings_back_the_one_guard(self):
        program = self.start_main(0, password="abc", Sensitivity=77)
        self.lock()
        # The main dialog on the owner's desktop is out of reach on Windows
        # while the guard's desktop is in front; here it can be clicked.
        kwine.click(kwine.MAIN_TITLE, IDC_MAIN_LOCK)
        self.assertTrue(kwine.until(lambda: kwine.window_exists(kwine.MAIN_TITLE), timeout=GUARD_TIMEOUT))
        time.sleep(2)
        self.assertEqual(len(guard_windows()), 1)
        self.assertEqual(input_desktop(), DESKTOP)
        self.unlock("abc")
        self.assertTrue(kwine.until(lambda: not guard_windows(), timeout=10),
                        "a second guard is still up after the unlock")
        # And the machine locks again as before.
        self.lock()
        self.unlock("abc")
        self.close_main(program)
        values = kwine.reg_dump()
        self.assertEqual(kwine.dword(values, "Settings") & 1, 0)
        self.assertEqual(kwine.dword(values, "Sensitivity"), 77)


if __name__ == "__main__":
    unittest.main()
