#!/usr/bin/env python3
"""Screenshots of the program's dialogs for the README.

Run inside a Wine session, after building the mingw preset:

    tools/wine-session tools/take_screenshots.py [build/mingw] [--dpi 144] [--out DIR]

--dpi sets the prefix's display scaling for the run (and puts it back to 96
after); --out writes the pictures somewhere else than docs/screenshots.

The program runs in a virtual desktop of Wine's own explorer, which draws
window frames and captions (a bare Xvfb has no window manager); each dialog
is cut out of the screen by its window rectangle into docs/screenshots/.
"""

import argparse
import os
import subprocess
import sys
import time

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
sys.path.insert(0, os.path.join(ROOT, "tests", "wine", "scenarios"))

ARGS = argparse.ArgumentParser(description="Screenshots of the program's dialogs.")
ARGS.add_argument("build", nargs="?", default=os.path.join(ROOT, "build", "mingw"))
ARGS.add_argument("--dpi", type=int, default=96)
ARGS.add_argument("--out", default=os.path.join(ROOT, "docs", "screenshots"))
OPTIONS = ARGS.parse_args()
BUILD = os.path.abspath(OPTIONS.build)
os.environ.setdefault("KESTROVA_EXE", os.path.join(BUILD, "resources", "kestrova.exe"))
os.environ.setdefault("KDRIVER_EXE", os.path.join(BUILD, "tests", "wine", "kdriver.exe"))

import kwine  # noqa: E402

DESKTOP = "screenshots"
OUT = os.path.abspath(OPTIONS.out)
IDOK = 1
IDC_MAIN_SETTINGS = 1017
IDC_SETTINGS_NOTIFY_URL = 1031
IDC_PASSWORD = 1018  # the settings and the guard dialogs' password edits
SETTINGS_TITLE = "设置"
IDC_MAIN_LOCK = 1004
GUARD = "@%d" % IDC_PASSWORD  # the untitled guard dialog, by its password edit
GUARD_DESKTOP = "Kestrova"


def capture(title, name, margin=0, desktop=DESKTOP):
    """Cuts the window titled title out of the screen into name.png."""
    kwine.wait_window(title, timeout=30, desktop=desktop)
    time.sleep(1.5)  # let it finish painting
    left, top, right, bottom = map(int, kwine.driver("window-rect", title, desktop=desktop).split())
    whole = os.path.join(OUT, ".screen.png")
    kwine.screenshot(whole)
    width, height = right - left + 2 * margin, bottom - top + 2 * margin
    subprocess.run(["convert", whole, "-crop", f"{width}x{height}+{left - margin}+{top - margin}",
                    "+repage", "-strip", os.path.join(OUT, name + ".png")], check=True)
    os.remove(whole)
    print("wrote", os.path.join(OUT, name + ".png"))


def start_on_virtual_desktop():
    # Room for the guard dialog, 1.5 times as large at 144 DPI.
    size = "1024x720" if OPTIONS.dpi <= 96 else "1280x800"
    return subprocess.Popen(["wine", "explorer", f"/desktop={DESKTOP},{size}", kwine.KESTROVA_EXE],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def main():
    os.makedirs(OUT, exist_ok=True)
    kwine.reg_delete()
    kwine.set_dpi(OPTIONS.dpi)
    program = start_on_virtual_desktop()
    try:
        capture(kwine.AGREEMENT_TITLE, "agreement")
        kwine.command(kwine.AGREEMENT_TITLE, IDOK, desktop=DESKTOP)
        capture(kwine.WARNING_TITLE, "warning")
        kwine.command(kwine.WARNING_TITLE, IDOK, desktop=DESKTOP)
        capture(kwine.MAIN_TITLE, "main")
        kwine.command(kwine.MAIN_TITLE, IDC_MAIN_SETTINGS, desktop=DESKTOP)
        kwine.wait_window(SETTINGS_TITLE, timeout=30, desktop=DESKTOP)
        kwine.set_text(SETTINGS_TITLE, IDC_SETTINGS_NOTIFY_URL, "https://ntfy.sh/kim-laptop-7f3k", desktop=DESKTOP)
        kwine.set_text(SETTINGS_TITLE, IDC_PASSWORD, "abc", desktop=DESKTOP)
        capture(SETTINGS_TITLE, "settings")
        # OK keeps the password: lock arms nothing without one.
        kwine.command(SETTINGS_TITLE, IDOK, desktop=DESKTOP)
        kwine.window_gone(SETTINGS_TITLE, desktop=DESKTOP)
        # The guard dialog has no title and a desktop of its own.
        kwine.command(kwine.MAIN_TITLE, IDC_MAIN_LOCK, desktop=DESKTOP)
        capture(GUARD, "guard", desktop=GUARD_DESKTOP)
        kwine.set_text(GUARD, IDC_PASSWORD, "abc", desktop=GUARD_DESKTOP)
        kwine.command(GUARD, IDOK, desktop=GUARD_DESKTOP)
        kwine.window_gone(GUARD, desktop=GUARD_DESKTOP)
        kwine.wait_window(kwine.MAIN_TITLE, desktop=DESKTOP)
        kwine.close(kwine.MAIN_TITLE, desktop=DESKTOP)
        program.wait(timeout=30)
    finally:
        kwine.stop(program)
        kwine.set_dpi(96)


if __name__ == "__main__":
    main()
