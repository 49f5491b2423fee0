#!/usr/bin/env python3
"""Resident-in-the-tray figures under Wine (printed, not tested). Run inside a
Wine session after building the mingw preset:

    tools/wine-session tools/measure_tray.py [build/mingw] [trials, 10]

1. Messages (wake-ups) a second that kestrova.exe takes over 60 s, started
   with /tray and left alone (the main dialog hidden, not armed), as Wine's
   message trace names them; a timer's wake-up is a WM_TIMER taken.
2. Peak memory (VmHWM) of kestrova.exe resident and hidden, beside the
   minimal one-dialog program's.
3. The lock hot key (Ctrl+Alt+Num 7, injected) and the lock button (a posted
   click) each to the guard's desktop having the input, 10 trials each: from
   just before kdriver is started to the first poll that sees the switch, so
   both carry the same kdriver start-up.
"""

import collections
import os
import re
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
sys.path.insert(0, os.path.join(ROOT, "tests", "wine", "scenarios"))
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
BUILD = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build", "mingw"))
TRIALS = int(sys.argv[2]) if len(sys.argv) > 2 else 10
os.environ.setdefault("KESTROVA_EXE", os.path.join(BUILD, "resources", "kestrova.exe"))
os.environ.setdefault("KDRIVER_EXE", os.path.join(BUILD, "tests", "wine", "kdriver.exe"))

import kwine  # noqa: E402
from measure_guard import pid_of, status_kb, unlock  # noqa: E402

GUARD, DESKTOP = "@1018", "Kestrova"
HOT_KEY = "0x11+0x12+0x67"  # Ctrl+Alt+Num 7, the default
IDC_MAIN_LOCK = 1004


def settings():
    kwine.accepted_settings(flags=0)  # no trigger: the pointer may move
    kwine.reg_set_text("PW", "abc")


def idle_messages(seconds=60):
    settings()
    with tempfile.TemporaryFile() as trace:
        program = subprocess.Popen([*kwine.RUNNER, os.environ["KESTROVA_EXE"], "/tray"], stdout=subprocess.DEVNULL,
                                   stderr=trace, env=dict(os.environ, WINEDEBUG="-all,trace+msg"))
        try:
            kwine.until(lambda: kwine.driver("tray-icons") == "1", timeout=60)
            time.sleep(5)  # the start's own messages die down
            pid = pid_of("kestrova.exe")
            traced = os.fstat(trace.fileno()).st_size
            time.sleep(seconds)
            peak = status_kb(pid, "VmHWM")
            trace.seek(traced)
            text = trace.read().decode(errors="replace")
            taken = collections.Counter(re.findall(r"^[0-9a-f]+:trace:msg:peek_message got type \d+ msg \w+ \((\w+)\)",
                                                   text, re.M))
        finally:
            kwine.stop(program)
    return taken, peak


def minimal_peak():
    program = subprocess.Popen(["wine", os.path.join(BUILD, "tests", "bench", "minimal_dialog.exe")],
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        kwine.wait_window("Minimal dialog", 30)
        time.sleep(2)
        return status_kb(pid_of("minimal_dialog.exe"), "VmHWM")
    finally:
        kwine.stop(program)


def to_guard(command):
    """Milliseconds from just before the kdriver command to the guard's
    desktop having the input."""
    started = time.monotonic()
    kwine.driver(*command)
    while kwine.driver("input-desktop") != DESKTOP:
        if time.monotonic() - started > 60:
            raise RuntimeError("no guard")
    elapsed = (time.monotonic() - started) * 1000
    kwine.wait_window(GUARD, 30, desktop=DESKTOP)
    unlock()
    kwine.until(lambda: kwine.driver("input-desktop") == "Default")
    return elapsed


def lock_times():
    settings()
    program = kwine.start()
    found = {"hot key": [], "lock button": []}
    try:
        kwine.wait_window(kwine.MAIN_TITLE, 30)
        rect = kwine.driver("window-rect", kwine.MAIN_TITLE).split()
        for _ in range(TRIALS):
            # Wine delivers a hot key only with the pointer over one of its windows.
            kwine.driver("move-to", int(rect[0]) + 20, int(rect[1]) + 10)
            found["hot key"].append(to_guard(("keys", HOT_KEY)))
            kwine.wait_window(kwine.MAIN_TITLE, 30)
            found["lock button"].append(to_guard(("click", kwine.MAIN_TITLE, IDC_MAIN_LOCK)))
            kwine.wait_window(kwine.MAIN_TITLE, 30)
        kwine.close_program(program)
    finally:
        kwine.stop(program)
    return found


def spread(values):
    return (f"median {statistics.median(values):7.1f} ms  min {min(values):7.1f}  max {max(values):7.1f}  "
            f"(n={len(values)})")


def main():
    print(f"load average at start: {os.getloadavg()[0]:.2f}")
    taken, peak = idle_messages()
    total = sum(taken.values())
    print(f"messages taken resident and hidden, 60 s: {total / 60:.3f} a second "
          f"({', '.join(f'{name} {n}' for name, n in taken.most_common()) or 'none'})")
    print(f"peak memory (VmHWM) resident and hidden: {peak / 1024:.1f} MiB; "
          f"minimal dialog program: {minimal_peak() / 1024:.1f} MiB")
    for name, values in lock_times().items():
        print(f"{name:12} to the guard's desktop having the input: {spread(values)}")
    print(f"load average at end: {os.getloadavg()[0]:.2f}")


if __name__ == "__main__":
    main()
