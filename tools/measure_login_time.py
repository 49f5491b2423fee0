#!/usr/bin/env python3
"""Measures the time from the main dialog appearing to the SMS balance being
shown, against the stand-in service on 127.0.0.1, and prints each run and
the median.

    tools/wine-session tools/measure_login_time.py [--build build/mingw] [--runs 5]

Needs a MinGW build (kestrova.exe, kdriver.exe, and login_probe.exe from
tests/bench, which watches the dialog).
"""

import argparse
import os
import statistics
import subprocess
import sys

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
sys.path.insert(0, os.path.join(ROOT, "tests", "wine"))
sys.path.insert(0, os.path.join(ROOT, "tests", "wine", "scenarios"))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default=os.path.join(ROOT, "build", "mingw"))
    parser.add_argument("--runs", type=int, default=5)
    args = parser.parse_args()
    build = os.path.abspath(args.build)
    os.environ.setdefault("KESTROVA_EXE", os.path.join(build, "resources", "kestrova.exe"))
    os.environ.setdefault("KDRIVER_EXE", os.path.join(build, "tests", "wine", "kdriver.exe"))

    import kwine
    from service_standin import StandIn

    probe = os.path.join(build, "tests", "bench", "login_probe.exe")
    flags = (kwine.DEFAULT_FLAGS & ~(kwine.FLAG_AGREEMENT_PENDING | kwine.FLAG_SHOW_WARNING |
                                     kwine.FLAG_DAILY_UPDATE_CHECK)) | kwine.FLAG_SMS_SERVICE
    times = []
    with StandIn() as service:
        service.add_account("kim", "secret", balance=42, nonce=41)
        for run in range(args.runs):
            kwine.accepted_settings(flags=flags)
            kwine.reg_set_text("ServiceUrl", service.url)
            kwine.reg_set_text("ServerUser", "kim")
            kwine.reg_set_text("ServerPass", "secret")
            watcher = subprocess.Popen(["wine", probe, kwine.MAIN_TITLE, "1028", "SMS Balance: 42", "30000"],
                                       stdout=subprocess.PIPE, stderr=subprocess.PIPE)
            program = kwine.start()
            try:
                out, err = watcher.communicate(timeout=60)
                if watcher.returncode != 0:
                    raise SystemExit("run %d: %s" % (run + 1, err.decode(errors="replace").strip()))
                balance, startup = (float(x) for x in out.decode().split())
                times.append(balance)
                print("run %d: %.1f ms (dialog appeared %.0f ms after the launch)" % (run + 1, balance, startup),
                      flush=True)
                kwine.close(kwine.MAIN_TITLE)
                kwine.wait_exit(program)
            finally:
                kwine.stop(program)
    print("median of %d: %.1f ms" % (len(times), statistics.median(times)))


if __name__ == "__main__":
    main()
