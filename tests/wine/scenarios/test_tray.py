"""The notification icon, the lock hot key and start with Windows: started
with /tray the program waits with one icon and no window; the icon, its menu
and the hot key lock; a second start shows the hidden first; Explorer's
restart (a stand-in) leaves one working icon; a hot key another program
holds is told; the settings' check box writes and removes the Run value."""

import subprocess

import kwine
from kwine import MAIN_TITLE
from test_guard import DESKTOP, GUARD, GUARD_TIMEOUT, GuardScenario, guard_keys, input_desktop

IDOK = 1
IDC_MAIN_SETTINGS = 1017
IDC_SETTINGS_HOTKEY_NOTE = 1039
IDC_SETTINGS_START_WITH_WINDOWS = 1041
SETTINGS_TITLE = "设置"
WM_SYSCOMMAND, SC_MINIMIZE = 0x112, 0xF020
VK_CONTROL, VK_MENU, VK_DOWN, VK_RETURN, VK_NUMPAD7 = 0x11, 0x12, 0x28, 0x0D, 0x67
MOD_ALT, MOD_CONTROL = 1, 2


def icons():
    return int(kwine.driver("tray-icons"))


def menu_open():
    return any(line.split("\t")[1:3] == ["1", "#32768"] for line in kwine.driver("list").splitlines())


class TrayTest(GuardScenario):
    def start(self, *arguments):
        process = subprocess.Popen([*kwine.RUNNER, kwine.KESTROVA_EXE, *arguments],
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.processes.append(process)
        return process

    def hide_main(self):
        kwine.driver("send", MAIN_TITLE, WM_SYSCOMMAND, SC_MINIMIZE, 0)
        kwine.window_gone(MAIN_TITLE)

    def armed_then_unlocked(self, owners_run_value):
        kwine.wait_window(GUARD, GUARD_TIMEOUT, desktop=DESKTOP)
        self.assertTrue(kwine.until(lambda: input_desktop() == DESKTOP))
        self.assertRegex(kwine.driver("run-value"), r'^"[A-Za-z]:\\.*kestrova\.exe"$')
        self.assertEqual(kwine.driver("run-value", "Kestrova"), owners_run_value)
        self.unlock("abc")
        self.assertEqual(kwine.driver("run-value"), "none")
        self.assertEqual(kwine.driver("run-value", "Kestrova"), owners_run_value)

    def set_start_with_windows(self, ticked):
        kwine.click(MAIN_TITLE, IDC_MAIN_SETTINGS)
        kwine.wait_window(SETTINGS_TITLE)
        if kwine.checked(SETTINGS_TITLE, IDC_SETTINGS_START_WITH_WINDOWS) != ticked:
            kwine.click(SETTINGS_TITLE, IDC_SETTINGS_START_WITH_WINDOWS)
        self.assertTrue(kwine.until(lambda: kwine.checked(SETTINGS_TITLE, IDC_SETTINGS_START_WITH_WINDOWS) == ticked))
        kwine.command(SETTINGS_TITLE, IDOK)
        kwine.window_gone(SETTINGS_TITLE)
        return kwine.driver("run-value", "Kestrova")

    def test_started_in_tray_the_icon_the_menu_and_the_hot_key_lock_and_a_second_start_shows_it(self):
        self.settings(0)
        kwine.reg_set_text("PW", "abc")
        program = self.start("/TRAY")
        self.assertTrue(kwine.until(lambda: icons() == 1, timeout=30), "no icon")
        self.assertFalse(kwine.window_exists(MAIN_TITLE))
        kwine.driver("tray-click", "left")
        kwine.wait_window(MAIN_TITLE)

        # The check box writes the owner's Run value; an arming and its
        # unlock leave it as it was.
        owners = self.set_start_with_windows(True)
        self.assertRegex(owners, r'^"[A-Za-z]:\\.*kestrova\.exe" /tray$')
        # Saved once the dialog has gone.
        self.assertTrue(kwine.until(lambda: "StartWithWindows" in kwine.reg_dump()))
        self.assertEqual(kwine.dword(kwine.reg_dump(), "StartWithWindows"), 1)
        self.hide_main()
        self.assertEqual(icons(), 1)

        # The menu's first item locks; the main dialog stays hidden.
        kwine.driver("tray-click", "right")
        self.assertTrue(kwine.until(menu_open), "no menu")
        guard_keys(f"{VK_DOWN:#x},{VK_RETURN:#x}")
        self.armed_then_unlocked(owners)
        self.assertFalse(kwine.window_exists(MAIN_TITLE))

        # The hot key, the pointer still over Wine's tray window.
        guard_keys(f"{VK_CONTROL:#x}+{VK_MENU:#x}+{VK_NUMPAD7:#x}")
        self.armed_then_unlocked(owners)

        # A second start with /tray (a sign-in) shows nothing; one without
        # shows the hidden first, in front.
        self.assertEqual(kwine.wait_exit(self.start("-tray")), 0)
        self.assertFalse(kwine.window_exists(MAIN_TITLE))
        self.assertEqual(kwine.wait_exit(self.start()), 0)
        kwine.wait_window(MAIN_TITLE)
        self.assertTrue(kwine.until(lambda: kwine.driver("front", MAIN_TITLE) == "1"))

        self.assertEqual(self.set_start_with_windows(False), "none")
        self.close_main(program)
        self.assertEqual(icons(), 0)

    def test_a_held_hot_key_is_told_and_an_explorer_restart_leaves_one_working_icon(self):
        self.settings(0)
        kwine.reg_set_text("PW", "abc")
        holder = subprocess.Popen([*kwine.RUNNER, kwine.KDRIVER_EXE, "hold-hot-key", str(MOD_CONTROL | MOD_ALT),
                                   str(VK_NUMPAD7)], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.processes.append(holder)
        kwine.wait_window("kdriver hot key")
        program = self.start()
        kwine.wait_window(MAIN_TITLE)
        self.assertTrue(kwine.until(
            lambda: "Hot key Ctrl+Alt+Num 7 is taken by another program" in kwine.log_texts()), kwine.log_texts())
        kwine.click(MAIN_TITLE, IDC_MAIN_SETTINGS)
        kwine.wait_window(SETTINGS_TITLE)
        self.assertIn("占用", kwine.text(SETTINGS_TITLE, IDC_SETTINGS_HOTKEY_NOTE))
        kwine.command(SETTINGS_TITLE, IDOK)
        kwine.window_gone(SETTINGS_TITLE)
        kwine.close("kdriver hot key")

        self.assertEqual(icons(), 1)
        kwine.driver("explorer-restart", "Kestrova.Tray")
        self.assertTrue(kwine.until(lambda: icons() == 1), "the icon did not come back")
        self.hide_main()
        kwine.driver("tray-click", "left")
        kwine.wait_window(MAIN_TITLE)
        self.assertEqual(icons(), 1)
        self.close_main(program)


if __name__ == "__main__":
    import unittest
    unittest.main()
