#!/usr/bin/env python3
"""Push figure: how long StartAlarm takes on the guard thread with no push
address, with one whose server answers only after 10 s, and with one where
nothing listens (the message is only queued; the sending is another
thread's), and how soon a prompt server has the alarm message. Median of 5
runs of guard_probe.exe each. Run inside a Wine session after building the
mingw preset:

    tools/wine-session tools/measure_push.py [build/mingw]
"""

import os
import statistics
import sys
import time

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
sys.path.insert(0, os.path.join(ROOT, "tests", "wine", "scenarios"))
sys.path.insert(0, os.path.join(ROOT, "tests", "wine"))
BUILD = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build", "mingw"))
os.environ.setdefault("KDRIVER_EXE", os.path.join(BUILD, "tests", "wine", "kdriver.exe"))
os.environ.setdefault("GUARD_PROBE_EXE", os.path.join(BUILD, "tests", "bench", "guard_probe.exe"))

import kwine  # noqa: E402
from service_standin import StandIn  # noqa: E402
from test_guard_siren import Probe  # noqa: E402

RUNS = 5


def start_alarm_us(url, server=None):
    """StartAlarm's time in microseconds, and when a server is given, the
    seconds from the alarm's status file to the message at the server."""
    kwine.accepted_settings()
    if url:
        kwine.reg_set_text("NotifyUrl", url)
    probe = Probe("alarm")
    try:
        status = probe.wait_for("playing")
        seen = time.monotonic()
        lag = None
        if server:
            message, = server.wait_requests("push", 1, timeout=30)
            lag = message["monotonic"] - seen
            server.log.clear()
        probe.tell("stop")
        probe.wait_for("stopped")
    finally:
        probe.close()
    return int(status.split("start_us=")[1]), lag


def main():
    prompt = StandIn().start()
    slow = StandIn().start()
    slow.set_reply("push", delay=10)
    down = StandIn(listening=False)  # holds its port, refusing connections
    cases = [("no push address", None, None), ("server answering after 10 s", slow.url + "/t", None),
             ("nothing listening", down.url + "/t", None),
             ("prompt server", prompt.url + "/t", prompt)]
    for name, url, server in cases:
        runs = [start_alarm_us(url, server) for _ in range(RUNS + 1)][1:]  # the first warms the prefix
        times = [us for us, _ in runs]
        line = f"{name:28} StartAlarm median {statistics.median(times):8.0f} us  runs: " + \
            ", ".join(str(t) for t in times)
        if server:
            lags = [lag * 1000 for _, lag in runs]
            line += f"; message at the server {statistics.median(lags):.0f} ms after the status file was read (median; below 0: before)"
        print(line, flush=True)
    prompt.stop()
    slow.stop()
    down.stop()


if __name__ == "__main__":
    main()
