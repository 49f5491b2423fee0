"""The release files under Wine: the MSI installs the exe and a Start-menu
shortcut with an uninstall entry, the installed program starts, a newer build
upgrades in place and an older one is refused, uninstalling removes the files
and the shortcut and keeps the owner's settings; the exe carries its version
information and manifest; the portable zip holds the exe and a read-me."""

import glob
import os
import re
import shutil
import subprocess
import tempfile
import unittest
import zipfile

import kwine
import pe_resources
from kwine import AGREEMENT_TITLE, Scenario

IDCANCEL = 2
BUILD_DIR = os.environ.get("KESTROVA_BUILD_DIR", "")
DRIVE_C = os.path.join(os.environ.get("WINEPREFIX", ""), "drive_c")
PROGRAM_DIR = os.path.join(DRIVE_C, "Program Files", "Kestrova")
INSTALLED_EXE = os.path.join(PROGRAM_DIR, "kestrova.exe")
UNINSTALL_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall"
# Where the shortcut may land: the all-users Start menu of a per-machine
# install on Windows, the installing user's where Wine does not redirect.
SHORTCUT_PLACES = [
    os.path.join(DRIVE_C, "ProgramData", "Microsoft", "Windows", "Start Menu", "Programs", "Kestrova.lnk"),
    os.path.join(DRIVE_C, "users", "*", "AppData", "Roaming", "Microsoft", "Windows", "Start Menu",
                 "Programs", "Kestrova.lnk"),
]


def project_version():
    with open(os.path.join(kwine.SOURCE_DIR, "CMakeLists.txt"), encoding="utf-8") as f:
        found = re.search(r"project\(Kestrova VERSION (\d+)\.(\d+)\.(\d+)", f.read())
    return tuple(int(part) for part in found.groups())


VERSION = project_version()
VERSION_TEXT = "%d.%d.%d" % VERSION
NEWER_VERSION_TEXT = "%d.%d.%d" % (VERSION[0], VERSION[1], VERSION[2] + 1)
MSI = os.path.join(BUILD_DIR, "installer", f"kestrova-{VERSION_TEXT}.msi")
ZIP = os.path.join(BUILD_DIR, "installer", f"kestrova-{VERSION_TEXT}-portable.zip")
STAGE = os.path.join(BUILD_DIR, "installer", "stage")
BUILT_EXE = os.path.join(BUILD_DIR, "resources", "kestrova.exe")


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def run_wine(*args, timeout=120):
    """(exit code, output) of a Wine program; output through a file."""
    with tempfile.TemporaryFile() as out:
        done = subprocess.run(["wine", *args], stdout=out, stderr=subprocess.STDOUT, timeout=timeout)
        out.seek(0)
        return done.returncode, out.read().decode("utf-8", "replace")


class MsiexecResult:
    def __init__(self, code, log):
        self.code, self.log = code, log

    def __repr__(self):
        return f"msiexec exit {self.code}, log ends:\n" + "\n".join(self.log.splitlines()[-25:])


def msiexec(*args):
    """Runs msiexec quietly; its exit code and verbose log."""
    with tempfile.TemporaryDirectory() as work:
        log = os.path.join(work, "msiexec.log")
        code = run_wine("msiexec", *args, "/qn", "/l*v", windows_path(log))[0]
        try:
            with open(log, "rb") as f:
                data = f.read()
        except FileNotFoundError:
            data = b""
    text = data.decode("utf-16") if data[:2] == b"\xff\xfe" else data.decode("utf-8", "replace")
    return MsiexecResult(code, text)


def installed_program_running():
    """Whether a process of this Wine prefix runs the installed exe. A
    program started through its shortcut is not the child of anything the
    test holds, and while it runs an upgrade cannot replace its file."""
    prefix = ("WINEPREFIX=" + os.environ.get("WINEPREFIX", "")).encode()
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open(f"/proc/{pid}/cmdline", "rb") as f:
                command = f.read().lower()
            if b"\\kestrova\\kestrova.exe" not in command:
                continue
            with open(f"/proc/{pid}/environ", "rb") as f:
                if prefix in f.read().split(b"\0"):
                    return True
        except OSError:
            continue
    return False


def shortcuts():
    return [path for pattern in SHORTCUT_PLACES for path in glob.glob(pattern)]


def uninstall_entries():
    """{subkey: {value name: text}} of the uninstall entries named Kestrova."""
    code, out = run_wine("reg", "query", UNINSTALL_KEY, "/s")
    entries, current = {}, None
    for line in out.splitlines():
        if line.upper().startswith("HKEY_"):
            current = entries.setdefault(line.strip(), {})
        elif current is not None and "    " in line.strip():
            name, _, rest = line.strip().partition("    ")
            kind, _, value = rest.strip().partition("    ")
            current[name] = value.strip()
    return {key: values for key, values in entries.items() if values.get("DisplayName") == "Kestrova"}


class Installer(Scenario):

    @classmethod
    def setUpClass(cls):
        if not os.path.exists(MSI):
            raise AssertionError(f"{MSI} was not built (is wixl installed?)")
        # The newer build: the same source at a higher version around an exe
        # that differs, so the test can tell which file is installed.
        cls.work = tempfile.mkdtemp(prefix="kestrova-upgrade-")
        with open(os.path.join(STAGE, "kestrova.exe"), "rb") as f:
            cls.newer_exe = f.read() + b"\0newer build\0"
        with open(os.path.join(cls.work, "kestrova.exe"), "wb") as f:
            f.write(cls.newer_exe)
        shutil.copy(os.path.join(STAGE, "kestrova.ico"), cls.work)
        cls.newer_msi = os.path.join(cls.work, f"kestrova-{NEWER_VERSION_TEXT}.msi")
        subprocess.run(["wixl", "-a", "x64", "-D", f"Version={NEWER_VERSION_TEXT}",
                        "-D", "ExePath=kestrova.exe", "-D", "IconPath=kestrova.ico",
                        "-o", cls.newer_msi, os.path.join(kwine.SOURCE_DIR, "installer", "kestrova.wxs")],
                       cwd=cls.work, check=True, timeout=120)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work, ignore_errors=True)

    def tearDown(self):
        if kwine.window_exists(AGREEMENT_TITLE):
            kwine.close(AGREEMENT_TITLE)
        super().tearDown()
        for package in (self.newer_msi, MSI):
            msiexec("/x", windows_path(package))

    def assert_msiexec(self, code, *args):
        result = msiexec(*args)
        self.assertEqual(result.code, code, result)

    def assert_agreement_then_decline(self, process=None):
        kwine.wait_window(AGREEMENT_TITLE, timeout=30)
        kwine.command(AGREEMENT_TITLE, IDCANCEL)
        if process is not None:
            self.assertEqual(kwine.wait_exit(process), 0)
        kwine.window_gone(AGREEMENT_TITLE)

    def test_install_start_upgrade_uninstall(self):
        with open(BUILT_EXE, "rb") as f:
            built = f.read()

        self.assert_msiexec(0, "/i", windows_path(MSI))
        with open(INSTALLED_EXE, "rb") as f:
            self.assertEqual(f.read(), built)
        links = shortcuts()
        self.assertEqual(len(links), 1, links)
        with open(links[0], "rb") as f:
            link = f.read().lower()
        target = r"c:\program files\kestrova\kestrova.exe"
        self.assertTrue(target.encode("ascii") in link or target.encode("utf-16-le") in link)
        entries = uninstall_entries()
        self.assertEqual(len(entries), 1, entries)
        (old_key, entry), = entries.items()
        self.assertEqual(entry["DisplayVersion"], VERSION_TEXT)
        self.assertEqual(entry["Publisher"], "Kestrova developers")
        self.assertIn("MsiExec.exe /X{", entry["UninstallString"])

        # The installed program and its shortcut both start it: a first start
        # shows the agreement.
        self.assert_agreement_then_decline(self.launch(INSTALLED_EXE))
        self.assertEqual(run_wine("start", "/unix", links[0])[0], 0)
        self.assert_agreement_then_decline()
        self.assertTrue(kwine.until(lambda: not installed_program_running(), timeout=20))

        # The owner's settings, which no uninstall may take.
        kwine.reg_set_dword("Sensitivity", 77)

        self.assert_msiexec(0, "/i", windows_path(self.newer_msi))
        with open(INSTALLED_EXE, "rb") as f:
            self.assertEqual(f.read(), self.newer_exe)
        self.assertEqual(os.listdir(PROGRAM_DIR), ["kestrova.exe"])
        self.assertEqual(len(shortcuts()), 1)
        entries = uninstall_entries()
        self.assertEqual(len(entries), 1, entries)
        (new_key, entry), = entries.items()
        self.assertNotEqual(new_key, old_key)
        self.assertEqual(entry["DisplayVersion"], NEWER_VERSION_TEXT)
        self.assert_agreement_then_decline(self.launch(INSTALLED_EXE))

        # An older build does not replace a newer one.
        self.assertNotEqual(msiexec("/i", windows_path(MSI)).code, 0)
        with open(INSTALLED_EXE, "rb") as f:
            self.assertEqual(f.read(), self.newer_exe)
        self.assertEqual(list(uninstall_entries().values())[0]["DisplayVersion"], NEWER_VERSION_TEXT)

        self.assert_msiexec(0, "/x", windows_path(self.newer_msi))
        self.assertFalse(os.path.exists(PROGRAM_DIR))
        self.assertEqual(shortcuts(), [])
        self.assertEqual(uninstall_entries(), {})
        self.assertEqual(kwine.dword(kwine.reg_dump(), "Sensitivity"), 77)


class ReleaseFiles(unittest.TestCase):

    def test_exe_carries_version_information(self):
        info = pe_resources.version_info(BUILT_EXE)
        self.assertEqual(info["FileVersion"], VERSION + (0,))
        self.assertEqual(info["ProductVersion"], VERSION + (0,))
        strings = info["strings"]["040904B0"]
        self.assertEqual(strings["ProductName"], "Kestrova")
        self.assertEqual(strings["FileDescription"], "Kestrova anti-theft alarm")
        self.assertEqual(strings["CompanyName"], "Kestrova developers")
        self.assertEqual(strings["LegalCopyright"], "Copyright (C) 2026 Kestrova developers")
        self.assertEqual(strings["FileVersion"], VERSION_TEXT)
        self.assertEqual(strings["ProductVersion"], VERSION_TEXT)
        self.assertEqual(strings["OriginalFilename"], "kestrova.exe")

    def test_exe_carries_the_manifest(self):
        embedded = pe_resources.manifest(BUILT_EXE)
        with open(os.path.join(kwine.SOURCE_DIR, "resources", "kestrova.manifest"), "rb") as f:
            self.assertEqual(embedded, f.read())
        text = embedded.decode("utf-8")
        identity = re.search(r'<assemblyIdentity type="win32" name="Kestrova.Alarm" version="([\d.]+)"', text)
        self.assertEqual(identity.group(1), VERSION_TEXT + ".0")
        self.assertIn('level="asInvoker"', text)
        self.assertIn('name="Microsoft.Windows.Common-Controls" version="6.0.0.0"', text)

    def test_portable_zip_holds_the_exe_and_a_read_me(self):
        with zipfile.ZipFile(ZIP) as archive:
            self.assertEqual(sorted(archive.namelist()), ["README.txt", "kestrova.exe"])
            with open(BUILT_EXE, "rb") as f:
                self.assertEqual(archive.read("kestrova.exe"), f.read())
            read_me = archive.read("README.txt").decode("ascii")
        self.assertIn(f"Kestrova {VERSION_TEXT}", read_me)
        self.assertIn("\r\n", read_me)
        self.assertIn(r"HKEY_CURRENT_USER\Software\Nobrik\Kestrova", read_me)


if __name__ == "__main__":
    unittest.main()
