"""Start-up under Wine: the agreement gate, the headphone warning, the main
dialog's check boxes and the registry contents the program leaves."""

import os
import struct
import unittest

import kwine
from kwine import (AGREEMENT_TITLE, MAIN_TITLE, WARNING_TITLE, REG_DWORD, REG_SZ,
                   VERSION_1_99, Scenario)

IDOK, IDCANCEL = 1, 2
IDC_WARNING_DONT_SHOW = 1005
IDC_AGREEMENT_TEXT = 1021
IDC_MAIN_TRIGGER_POWER = 1001
IDC_MAIN_TRIGGER_SHUTDOWN = 1003
IDC_MAIN_TRIGGER_USB_MOUSE = 1008
IDC_MAIN_TRIGGER_MOUSE_MOVE = 1009
IDC_MAIN_SETTINGS = 1017


class FirstStart(Scenario):

    def test_declining_ends_with_zero_and_writes_nothing(self):
        program = self.launch()
        kwine.wait_window(AGREEMENT_TITLE)
        self.assertFalse(kwine.window_exists(MAIN_TITLE))
        kwine.command(AGREEMENT_TITLE, IDCANCEL)
        self.assertEqual(kwine.wait_exit(program), 0)
        self.assertIn(kwine.reg_dump(), (None, {}))

        # Nothing was saved, so the next start asks again.
        program = self.launch()
        kwine.wait_window(AGREEMENT_TITLE)
        kwine.close(AGREEMENT_TITLE)
        self.assertEqual(kwine.wait_exit(program), 0)
        self.assertIn(kwine.reg_dump(), (None, {}))

    def test_agreement_shows_exactly_the_text_resource(self):
        program = self.launch()
        kwine.wait_window(AGREEMENT_TITLE)
        with open(os.path.join(kwine.SOURCE_DIR, "resources", "eula.txt"), "rb") as f:
            expected = f.read().decode("ascii")
        shown = kwine.text(AGREEMENT_TITLE, IDC_AGREEMENT_TEXT)
        self.assertEqual(shown.replace("\r\n", "\n"), expected.replace("\r\n", "\n").rstrip("\n"))
        kwine.command(AGREEMENT_TITLE, IDCANCEL)
        self.assertEqual(kwine.wait_exit(program), 0)

    def test_accept_warning_untick_close_leaves_exact_registry(self):
        program = self.launch()
        kwine.wait_window(AGREEMENT_TITLE)
        kwine.command(AGREEMENT_TITLE, IDOK)
        kwine.wait_window(WARNING_TITLE)
        kwine.click(WARNING_TITLE, IDC_WARNING_DONT_SHOW)
        self.assertTrue(kwine.until(lambda: kwine.checked(WARNING_TITLE, IDC_WARNING_DONT_SHOW)))
        kwine.command(WARNING_TITLE, IDOK)
        kwine.wait_window(MAIN_TITLE)
        for box in (IDC_MAIN_TRIGGER_POWER, IDC_MAIN_TRIGGER_SHUTDOWN,
                    IDC_MAIN_TRIGGER_USB_MOUSE, IDC_MAIN_TRIGGER_MOUSE_MOVE):
            self.assertTrue(kwine.checked(MAIN_TITLE, box), box)
        kwine.click(MAIN_TITLE, IDC_MAIN_TRIGGER_USB_MOUSE)
        self.assertTrue(kwine.until(lambda: not kwine.checked(MAIN_TITLE, IDC_MAIN_TRIGGER_USB_MOUSE)))
        kwine.close(MAIN_TITLE)
        self.assertEqual(kwine.wait_exit(program), 0)

        values = kwine.reg_dump()
        # 0x1FF without armed, agreement, warning and the unticked USB box.
        expected = {
            "Settings": (REG_DWORD, struct.pack("<I", 0x1FF & ~0x001 & ~0x100 & ~0x020 & ~0x004)),
            "Sensitivity": (REG_DWORD, struct.pack("<I", 50)),
            "LastChecked": (REG_DWORD, struct.pack("<I", 0)),
            "HotKey": (REG_DWORD, struct.pack("<I", 0x0367)),
            "StartWithWindows": (REG_DWORD, struct.pack("<I", 0)),
            "PW": (REG_SZ, bytes(20)),
            # Written through the A call: the registry keeps them as UTF-16.
            "ServerUser": (REG_SZ, bytes(200)),
            "ServerPass": (REG_SZ, bytes(200)),
            "LastVersion": (REG_DWORD, VERSION_1_99),
            "TakePhotos": (REG_DWORD, struct.pack("<I", 0)),
        }
        # The daily update check may have recorded today's date; it is
        # the only value allowed to differ, and only in LastChecked.
        values.pop("LastChecked", None)
        expected.pop("LastChecked")
        self.assertEqual(sorted(values), sorted(expected))
        for name, value in expected.items():
            self.assertEqual(values[name], value, name)


class LaterStarts(Scenario):

    def test_accepted_start_shows_neither_agreement_nor_warning(self):
        kwine.accepted_settings()
        program = self.launch()
        kwine.wait_window(MAIN_TITLE)
        self.assertFalse(kwine.window_exists(AGREEMENT_TITLE))
        self.assertFalse(kwine.window_exists(WARNING_TITLE))
        kwine.close(MAIN_TITLE)
        self.assertEqual(kwine.wait_exit(program), 0)

    def test_other_stored_version_brings_the_agreement_back(self):
        kwine.accepted_settings()
        kwine.reg_set("LastVersion", REG_DWORD, struct.pack("<d", 1.98))
        program = self.launch()
        kwine.wait_window(AGREEMENT_TITLE)
        kwine.command(AGREEMENT_TITLE, IDOK)
        kwine.wait_window(MAIN_TITLE)
        kwine.close(MAIN_TITLE)
        self.assertEqual(kwine.wait_exit(program), 0)
        self.assertEqual(kwine.reg_dump()["LastVersion"], (REG_DWORD, VERSION_1_99))

    def test_the_warning_comes_again_until_closed_with_its_tick(self):
        kwine.accepted_settings(flags=0x1FF & ~0x100)
        for tick in (False, True):
            program = self.launch()
            kwine.wait_window(WARNING_TITLE)
            if tick:
                kwine.click(WARNING_TITLE, IDC_WARNING_DONT_SHOW)
                self.assertTrue(kwine.until(lambda: kwine.checked(WARNING_TITLE, IDC_WARNING_DONT_SHOW)))
                kwine.close(WARNING_TITLE)  # its close box counts as OK
            else:
                kwine.command(WARNING_TITLE, IDOK)
            kwine.wait_window(MAIN_TITLE)
            kwine.close(MAIN_TITLE)
            self.assertEqual(kwine.wait_exit(program), 0)
            self.assertEqual(kwine.dword(kwine.reg_dump(), "Settings") & 0x020, 0 if tick else 0x020)

    def test_stored_armed_bit_and_bad_values_load_safely(self):
        kwine.accepted_settings(flags=0x0FB & ~0x100 & ~0x020, Sensitivity=77)
        kwine.reg_set("HotKey", REG_SZ, "x".encode("utf-16-le") + b"\0\0")
        kwine.reg_set("PW", REG_SZ, ("A" * 12).encode("utf-16-le") + b"\0\0")
        program = self.launch()
        kwine.wait_window(MAIN_TITLE)
        kwine.close(MAIN_TITLE)
        self.assertEqual(kwine.wait_exit(program), 0)
        values = kwine.reg_dump()
        self.assertEqual(kwine.dword(values, "Settings"), 0x0FA & ~0x100 & ~0x020)
        self.assertEqual(kwine.dword(values, "Sensitivity"), 77)
        self.assertEqual(kwine.dword(values, "HotKey"), 0x0367)
        self.assertEqual(values["PW"], (REG_SZ, bytes(20)))


class MissingAgreementText(Scenario):

    def test_fatal_box_and_exit_code_one(self):
        # That build lacks the agreement's text and the warning's template:
        # the first start cannot show the agreement, a later one the warning.
        for later, text, title in ((False, "Can't find EULA resource", AGREEMENT_TITLE),
                                   (True, "Can't open the dialog", WARNING_TITLE)):
            if later:
                kwine.accepted_settings(flags=kwine.DEFAULT_FLAGS & ~kwine.FLAG_AGREEMENT_PENDING)
            program = self.launch(kwine.KESTROVA_WITHOUT_AGREEMENT_EXE)
            kwine.wait_window("Fatal Error")
            self.assertEqual(kwine.box_text("Fatal Error"), text)
            self.assertFalse(kwine.window_exists(title))
            kwine.command("Fatal Error", IDOK)
            self.assertEqual(kwine.wait_exit(program), 1)
            if not later:
                self.assertIn(kwine.reg_dump(), (None, {}))
        self.assertTrue([line for line in kwine.log_texts() if line.startswith("DialogBoxParamW failed")],
                        kwine.log_texts())


if __name__ == "__main__":
    unittest.main()
