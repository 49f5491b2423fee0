#!/usr/bin/env python3
"""Start-up figure: milliseconds from process start to the main dialog being
visible under Wine, beside a minimal one-dialog program built the same way,
the two started in turn so that both meet the same load from other programs.
Run inside a Wine session after building the mingw preset:

    tools/wine-session tools/measure_startup.py [build/mingw] [runs, 11]
"""

import os
import statistics
import subprocess
import tempfile
import sys

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
sys.path.insert(0, os.path.join(ROOT, "tests", "wine", "scenarios"))
BUILD = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build", "mingw"))
os.environ.setdefault("KDRIVER_EXE", os.path.join(BUILD, "tests", "wine", "kdriver.exe"))

import kwine  # noqa: E402

PROBE = os.path.join(BUILD, "tests", "bench", "startup_probe.exe")
RUNS = int(sys.argv[2]) if len(sys.argv) > 2 else 11


def start_time(title, program):
    # A file, not a pipe: Wine's helper processes would hold a pipe open.
    with tempfile.TemporaryFile() as out:
        subprocess.run(["wine", PROBE, title, program], stdout=out, timeout=120, check=True)
        out.seek(0)
        return float(out.read().decode().strip())


def report(name, values):
    print(f"{name:16} median {statistics.median(values):7.1f} ms   runs: "
          + ", ".join(f"{v:.1f}" for v in values))


def main():
    # Accepted settings with no service: the main dialog comes first.
    kwine.accepted_settings(flags=kwine.DEFAULT_FLAGS & ~(kwine.FLAG_AGREEMENT_PENDING | kwine.FLAG_SHOW_WARNING
                                                         | kwine.FLAG_DAILY_UPDATE_CHECK))
    programs = [("kestrova.exe", kwine.MAIN_TITLE, os.path.join(BUILD, "resources", "kestrova.exe")),
                ("minimal dialog", "Minimal dialog", os.path.join(BUILD, "tests", "bench", "minimal_dialog.exe"))]
    found = {name: [] for name, _, _ in programs}
    for run in range(RUNS + 1):  # the first round warms the prefix's caches
        for name, title, program in programs:
            found[name].append(start_time(title, program))
    for name in found:
        report(name, found[name][1:])
    ratio = statistics.median(found["kestrova.exe"][1:]) / statistics.median(found["minimal dialog"][1:])
    print(f"ratio of the medians: {ratio:.2f}")
    size = os.path.getsize(os.path.join(BUILD, "resources", "kestrova.exe"))
    print(f"kestrova.exe size: {size} bytes ({size / 1024:.0f} KiB)")


if __name__ == "__main__":
    main()
