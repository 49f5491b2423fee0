"""A thief at the armed guard: keys that would leave it (the volume keys
too), window messages sent from another process, closing the main dialog
while the siren sounds, a flood of input, an overlong password, a second
lock command while the guard is up, Switch user and back (through posted
session notices), and a second copy of the program started while armed."""

import subprocess
import time
import unittest

import kwine
from test_settings_dialog import SETTINGS_TITLE
from test_guard import (DESKTOP, GUARD, GUARD_TIMEOUT, IDC_GUARD_PASSWORD, IDC_MAIN_LOCK, VK_ESCAPE,
                        VK_F4, VK_MENU, VK_RETURN, GuardScenario, guard_keys, guard_type, guard_up, input_desktop)

IDOK, IDCANCEL = 1, 2
IDC_MAIN_SETTINGS = 1017
VK_SHIFT, VK_VOLUME_MUTE, VK_VOLUME_DOWN, VK_VOLUME_UP = 0x10, 0xAD, 0xAE, 0xAF
WM_NULL = 0x0000
WM_CLOSE = 0x0010
WM_COMMAND = 0x0111
WM_SYSCOMMAND, SC_MINIMIZE = 0x0112, 0xF020
WM_WTSSESSION_CHANGE = 0x02B1
WTS_CONSOLE_CONNECT, WTS_CONSOLE_DISCONNECT, WTS_SESSION_UNLOCK = 1, 2, 8
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
        self.assertTrue(kwine.silent(), "a submitted wrong password sounded")
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
    def test_closing_the_main_dialog_or_its_settings_leave_the_sounding_guard_and_the_password_unlocks(self):
        program = self.start_main(kwine.FLAG_TRIGGER_SHUTDOWN, password="abc")
        self.lock()
        # A refused shutdown with the trigger on starts the siren.
        kwine.driver("send", GUARD, WM_QUERYENDSESSION, 0, 0, desktop=DESKTOP)
        self.assertTrue(kwine.heard(), "no siren to begin with")
        attempts = {
            "IDCANCEL": lambda: kwine.command(kwine.MAIN_TITLE, IDCANCEL),
            "WM_CLOSE": lambda: kwine.driver("send", kwine.MAIN_TITLE, WM_CLOSE, 0, 0),
            "SC_CLOSE": lambda: kwine.close(kwine.MAIN_TITLE),
            "settings": lambda: kwine.command(kwine.MAIN_TITLE, IDC_MAIN_SETTINGS),
        }
        for name, attempt in attempts.items():
            with self.subTest(name):
                attempt()
                time.sleep(1.5)
                self.assertIsNone(program.poll(), "the program ended")
                self.assertTrue(kwine.window_exists(kwine.MAIN_TITLE))
                self.assertFalse(kwine.window_exists(SETTINGS_TITLE), "the settings opened")
                self.assertTrue(guard_up())
                self.assertTrue(kwine.heard(3), "the siren stopped")
        self.unlock("abc")
        self.assertTrue(kwine.quiet(), "the siren goes on after unlock")
        # Unlocked, the main dialog closes as ever and the settings are saved.
        self.close_main(program)
        self.assertEqual(kwine.dword(kwine.reg_dump(), "Settings") & 1, 0)


class InputFlood(GuardScenario):
    def test_ten_thousand_events_leave_both_hooks_installed_and_the_guard_answering(self):
        # The password in the edit: a close request that got through would unlock.
        program = self.start_main(kwine.FLAG_TRIGGER_MOUSE_MOVE, password="abc", Sensitivity=50)
        self.lock()
        kwine.set_text(GUARD, IDC_GUARD_PASSWORD, "abc", desktop=DESKTOP)
        started = time.monotonic()
        kwine.driver("flood", 10000, timeout=300)  # every event taken, or it fails
        flood_seconds = time.monotonic() - started
        print(f"10000 events injected in {flood_seconds:.1f} s", flush=True)
        # Moves of no distance and swallowed keys: nothing to sound for.
        self.assertTrue(kwine.silent(5))
        self.assertEqual(kwine.driver("send", GUARD, WM_NULL, 0, 0, desktop=DESKTOP), "0")
        self.assertTrue(guard_up())
        # The keyboard filter is still there: Alt+F4 asks nothing.
        guard_keys(f"{VK_MENU:#x}+{VK_F4:#x}")
        self.assertTrue(self.still_armed())
        # The motion detector is still there: 100 pixels sound.
        for x in (100, 100):
            kwine.driver("move-to", x, 0)
        self.assertTrue(kwine.heard(), "no siren after the flood and a real move")
        self.unlock("abc")
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
        self.assertTrue(kwine.silent())
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


def silence_streams():
    """Mutes every stream into the sink for good, as Windows closes a session's
    sound while another user has the console; returns how many there were."""
    listed = subprocess.run(["pactl", "list", "short", "sink-inputs"], capture_output=True, text=True,
                            check=True, timeout=30).stdout
    streams = [line.split()[0] for line in listed.splitlines() if line.strip()]
    for stream in streams:
        subprocess.run(["pactl", "set-sink-input-mute", stream, "1"], check=True, timeout=30)
    return len(streams)


class SwitchUser(GuardScenario):
    def test_losing_the_console_sounds_and_getting_it_back_sounds_again(self):
        # No trigger ticked: losing the console sounds whatever they say.
        program = self.start_main(0, password="abc")
        self.lock()
        self.assertTrue(kwine.silent())
        kwine.driver("send", GUARD, WM_WTSSESSION_CHANGE, WTS_CONSOLE_DISCONNECT, 0, desktop=DESKTOP)
        self.assertTrue(kwine.heard(), "no siren when another user took the console")
        for back in (WTS_CONSOLE_CONNECT, WTS_SESSION_UNLOCK):
            self.assertGreater(silence_streams(), 0)
            self.assertTrue(kwine.quiet(), "the siren outlived its silenced stream")
            kwine.driver("send", GUARD, WM_WTSSESSION_CHANGE, back, 0, desktop=DESKTOP)
            self.assertTrue(kwine.heard(), f"no siren again after reason {back}")
        self.unlock("abc")
        self.close_main(program)


class SecondCopy(GuardScenario):
    def test_a_second_start_while_armed_shows_the_first_and_changes_nothing(self):
        program = self.start_main(0, password="abc", Sensitivity=77)
        self.lock()
        # Minimized, the main dialog hides to the notification icon.
        kwine.driver("send", kwine.MAIN_TITLE, WM_SYSCOMMAND, SC_MINIMIZE, 0)
        kwine.window_gone(kwine.MAIN_TITLE)
        armed = kwine.reg_dump()
        self.assertIn("GiveBack", armed)
        second = self.launch()
        self.assertEqual(kwine.wait_exit(second), 0)
        # The live record is neither given back nor deleted, nothing is saved.
        self.assertEqual(kwine.reg_dump(), armed)
        self.assertTrue(kwine.until(lambda: kwine.driver("front", kwine.MAIN_TITLE, check=False) == "1"))
        self.unlock("abc")
        self.close_main(program)


if __name__ == "__main__":
    unittest.main()
