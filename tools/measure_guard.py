#!/usr/bin/env python3
"""Guard figures under Wine (printed, not tested). Run inside a Wine session
after building the mingw preset:

    tools/wine-session tools/measure_guard.py [build/mingw] [trials]

1. Trigger to siren: from the injected mouse move that takes the cursor's
   travel past the sensitivity to the first sample above a threshold at the
   null sink's monitor; beside the floor, a minimal program whose low-level
   mouse hook calls PlaySoundW with the same WAVE resource at a mouse move.
   Both are timed from the same kdriver command (timed-move-to: the clock is
   read just before two identical moves sent at once; the guard's detector
   may cross at either, see kdriver), with Windows' precise system time,
   which Wine takes from the host clock. The sound's time is when parec
   hands over the chunk that holds the first loud sample: the null sink
   renders ahead of its clock, so a sample's place in its chunk says nothing
   about when it was made, and the recording path's own delay is in both
   figures alike. A siren before its trigger is an error, not a figure.
2. A switch away from the guard's desktop (as Task Manager makes): from
   SwitchDesktop to the siren at the sink, and to the guard's desktop having
   the input again (kdriver switch-to polls the input desktop every 5 ms).
3. CPU of the kestrova.exe process armed and idle for 30 seconds, and its
   wake-ups meanwhile: the messages its threads took, as Wine's message
   trace names them (a timer's wake-up is a WM_TIMER or WM_SYSTIMER taken),
   and the voluntary context switches of its threads, which also count every
   wait for Wine's server, more of them the busier the machine. A start of
   its own: the trace would slow the other figures.
4. Peak memory (VmHWM) of kestrova.exe armed with the siren sounding, beside
   the minimal program's after it played.
"""

import array
import collections
import os
import re
import statistics
import subprocess
import sys
import tempfile
import threading
import time

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
sys.path.insert(0, os.path.join(ROOT, "tests", "wine", "scenarios"))
BUILD = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build", "mingw"))
TRIALS = int(sys.argv[2]) if len(sys.argv) > 2 else 10
os.environ.setdefault("KESTROVA_EXE", os.path.join(BUILD, "resources", "kestrova.exe"))
os.environ.setdefault("KDRIVER_EXE", os.path.join(BUILD, "tests", "wine", "kdriver.exe"))

import kwine  # noqa: E402

MINIMAL = os.path.join(BUILD, "tests", "bench", "minimal_siren.exe")
SINK = os.environ.get("KESTROVA_SINK", "kestrova_sink")
RATE = 22050
THRESHOLD = 500  # of 32767; the null sink gives exactly 0 with nothing playing
GUARD, DESKTOP = "@1018", "Kestrova"
VK_F14 = 0x7D
IDOK, IDC_MAIN_LOCK, IDC_GUARD_PASSWORD = 1, 1004, 1018
PASSWORD = "abc"  # nothing arms without one


class Monitor:
    """parec on the sink's monitor; every chunk noted with when it arrived."""

    def __init__(self):
        self.process = subprocess.Popen(
            ["parec", "-d", SINK + ".monitor", "--raw", "--format=s16le", f"--rate={RATE}", "--channels=1",
             "--latency-msec=5"], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, bufsize=0)
        self.lock = threading.Lock()
        self.chunks = []  # (arrival time, first sample index, samples)
        self.count = 0
        self.thread = threading.Thread(target=self._read, daemon=True)
        self.thread.start()

    def _read(self):
        pending = b""
        while True:
            data = self.process.stdout.read(256)
            if not data:
                return
            now = time.time()
            pending += data
            whole = len(pending) // 2 * 2
            samples = array.array("h")
            samples.frombytes(pending[:whole])
            pending = pending[whole:]
            with self.lock:
                self.chunks.append((now, self.count, samples))
                self.count += len(samples)
                self.chunks = self.chunks[-4000:]

    def onset_after(self, since, timeout=5.0):
        """Arrival of the first chunk after since that holds a loud sample."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            with self.lock:
                chunks = [c for c in self.chunks if c[0] >= since]
            for arrived, _, samples in chunks:
                if max(map(abs, samples), default=0) > THRESHOLD:
                    return arrived
            time.sleep(0.02)
        return None

    def quiet_for(self, seconds):
        time.sleep(seconds)
        since = time.time() - seconds
        with self.lock:
            return all(max(map(abs, s), default=0) <= THRESHOLD for t, _, s in self.chunks if t >= since)

    def wait_quiet(self, timeout=10.0):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if self.quiet_for(0.5):
                return True
        return False

    def stop(self):
        self.process.kill()


def pid_of(name):
    """The process of that name in this session's Wine prefix (other
    sessions on the machine run programs of the same name)."""
    comm = name[:15]
    prefix = ("WINEPREFIX=" + os.environ.get("WINEPREFIX", "")).encode()
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            try:
                with open(f"/proc/{entry}/comm") as f:
                    if f.read().strip() != comm:
                        continue
                with open(f"/proc/{entry}/environ", "rb") as f:
                    if prefix in f.read().split(b"\0"):
                        return int(entry)
            except OSError:
                pass
    return None


def cpu_ticks(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return int(fields[11]) + int(fields[12])  # utime + stime


def sleeps(pid):
    """Voluntary context switches per thread of the process."""
    found = {}
    for task in os.listdir(f"/proc/{pid}/task"):
        try:
            with open(f"/proc/{pid}/task/{task}/status") as f:
                found[task] = next(int(line.split()[1]) for line in f if line.startswith("voluntary_ctxt_switches:"))
        except (OSError, StopIteration):
            pass
    return found


def status_kb(pid, key):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith(key + ":"):
                return int(line.split()[1])
    return 0


def lock():
    kwine.driver("move-to", 0, 0)  # a new desktop's cursor starts at (0, 0) under Wine
    kwine.click(kwine.MAIN_TITLE, IDC_MAIN_LOCK)
    kwine.wait_window(GUARD, 30, desktop=DESKTOP)


def unlock():
    kwine.set_text(GUARD, IDC_GUARD_PASSWORD, PASSWORD, desktop=DESKTOP)
    kwine.command(GUARD, IDOK, desktop=DESKTOP)
    kwine.window_gone(GUARD, 15, desktop=DESKTOP)


def settings():
    kwine.accepted_settings(flags=kwine.FLAG_TRIGGER_MOUSE_MOVE, Sensitivity=50)
    kwine.reg_set_text("PW", PASSWORD)


def idle_figures():
    """CPU, messages taken by thread and name, and context switches by
    thread, of kestrova.exe armed and idle for 30 s."""
    settings()
    figures = {}
    with tempfile.TemporaryFile() as trace:
        program = subprocess.Popen([*kwine.RUNNER, os.environ["KESTROVA_EXE"]], stdout=subprocess.DEVNULL,
                                   stderr=trace, env=dict(os.environ, WINEDEBUG="-all,trace+msg"))
        try:
            kwine.wait_window(kwine.MAIN_TITLE, 30)
            pid = pid_of("kestrova.exe")
            lock()
            time.sleep(2)
            cpu, slept, traced, started = cpu_ticks(pid), sleeps(pid), os.fstat(trace.fileno()).st_size, time.monotonic()
            time.sleep(30)
            elapsed = time.monotonic() - started
            figures["cpu"] = 100.0 * (cpu_ticks(pid) - cpu) / os.sysconf("SC_CLK_TCK") / elapsed
            # Per thread, a thread started meanwhile counted from 0.
            woken = [(n - slept.get(t, 0)) / elapsed for t, n in sleeps(pid).items()]
            figures["switches"] = sorted((w for w in woken if w > 0), reverse=True)
            trace.seek(traced)
            lines = trace.read(os.fstat(trace.fileno()).st_size - traced).decode(errors="replace").splitlines()
            taken = collections.Counter(re.findall(r"^([0-9a-f]+):trace:msg:peek_message got type \d+ msg \w+ \((\w+)\)",
                                                   "\n".join(lines), re.M))
            figures["messages"] = sorted(((n / elapsed, f"{name} (thread {thread})") for (thread, name), n in
                                          taken.items()), reverse=True)
            unlock()
            kwine.close(kwine.MAIN_TITLE)
            kwine.wait_exit(program)
        finally:
            kwine.stop(program)
    return figures


def kestrova_figures(monitor):
    settings()
    program = kwine.start()
    latencies, figures = [], {}
    try:
        kwine.wait_window(kwine.MAIN_TITLE, 30)
        pid = pid_of("kestrova.exe")

        discarded = 0
        while len(latencies) < TRIALS and discarded < TRIALS:
            lock()
            if not monitor.quiet_for(1.5):  # sounded before our input: not a trial
                discarded += 1
                unlock()
                monitor.wait_quiet()
                continue
            x, y = map(int, kwine.driver("cursor").split())
            sent = int(kwine.driver("timed-move-to", x + 120, y)) / 1e6
            heard = monitor.onset_after(sent - 0.05)
            if heard is not None:
                latencies.append((heard - sent) * 1000)
            if len(latencies) == TRIALS:
                figures["peak"] = status_kb(pid, "VmHWM")
                figures["rss"] = status_kb(pid, "VmRSS")
            unlock()
            monitor.wait_quiet()
        figures["discarded"] = discarded

        # A switch away, with no input at all.
        figures["switch_siren"], figures["switch_back"] = [], []
        for _ in range(TRIALS):
            lock()
            if monitor.quiet_for(1.5):
                switched, back_ms, back_on = kwine.driver("switch-to", "Taskmgr").split()
                heard = monitor.onset_after(int(switched) / 1e6 - 0.05)
                if heard is not None and back_on == DESKTOP:
                    figures["switch_siren"].append((heard - int(switched) / 1e6) * 1000)
                    figures["switch_back"].append(float(back_ms))
            unlock()
            monitor.wait_quiet()
        kwine.close(kwine.MAIN_TITLE)
        kwine.wait_exit(program)
    finally:
        kwine.stop(program)
    return latencies, figures


def minimal_figures(monitor):
    program = subprocess.Popen(["wine", MINIMAL], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    latencies, figures = [], {}
    try:
        kwine.wait_window("Minimal siren", 30)
        pid = pid_of(os.path.basename(MINIMAL))
        for trial in range(TRIALS + 1):  # the first sound loads the sound system
            sent = int(kwine.driver("timed-move-to", 300 + 120 * (trial % 2), 300)) / 1e6
            heard = monitor.onset_after(sent - 0.05)
            if heard is not None:
                latencies.append((heard - sent) * 1000)
            kwine.driver("keys", f"{VK_F14:#x}")
            monitor.wait_quiet()
        latencies = latencies[1:]
        figures["peak"] = status_kb(pid, "VmHWM")
        figures["rss"] = status_kb(pid, "VmRSS")
        kwine.close("Minimal siren")
    finally:
        kwine.stop(program)
    return latencies, figures


def checked(name, values):
    """The trials, or an error when one cannot be right."""
    if any(v < 0 for v in values):
        sys.exit(f"error: {name}: a siren before its trigger ({', '.join(f'{v:.1f}' for v in values)} ms); "
                 "the timed event is not the one that starts it")
    return values


def spread(values):
    if not values:
        return "no trials"
    return (f"median {statistics.median(values):6.1f} ms  min {min(values):6.1f}  max {max(values):6.1f}  "
            f"stdev {statistics.pstdev(values):5.1f}  (n={len(values)})")


def main():
    idle = idle_figures()
    monitor = Monitor()
    try:
        floor, floor_figures = minimal_figures(monitor)
        guard, guard_figures = kestrova_figures(monitor)
    finally:
        monitor.stop()
    guard, floor = checked("kestrova.exe", guard), checked("minimal program", floor)
    switch_siren = checked("desktop switch", guard_figures.get("switch_siren", []))
    switch_back = checked("desktop switch", guard_figures.get("switch_back", []))
    print("trigger to siren")
    print("  kestrova.exe (mouse motion)  ", spread(guard))
    print("  minimal PlaySoundW (motion)  ", spread(floor))
    if guard and floor:
        print(f"  difference of medians        {statistics.median(guard) - statistics.median(floor):6.1f} ms")
    print("  trials:", ", ".join(f"{v:.0f}" for v in guard), "|", ", ".join(f"{v:.0f}" for v in floor))
    if guard_figures.get("discarded"):
        print(f"  ({guard_figures['discarded']} armings sounded before the input and were left out)")
    print("desktop switch (no trigger needed)")
    print("  to siren at the sink         ", spread(switch_siren))
    print("  to the guard's desktop again ", spread(switch_back))
    print(f"CPU armed idle 30 s: kestrova.exe {idle['cpu']:.3f} % of one core")
    print(f"messages taken armed idle: {sum(n for n, _ in idle['messages']):.1f} a second ("
          + ", ".join(f"{n:.1f} {what}" for n, what in idle["messages"]) + ")")
    print(f"  voluntary context switches: {sum(idle['switches']):.1f} a second (by thread: "
          + ", ".join(f"{w:.1f}" for w in idle["switches"]) + ")")
    print(f"peak memory (VmHWM): kestrova.exe armed, siren on {guard_figures.get('peak', 0) / 1024:.1f} MiB "
          f"(RSS {guard_figures.get('rss', 0) / 1024:.1f});  minimal program {floor_figures.get('peak', 0) / 1024:.1f} MiB "
          f"(RSS {floor_figures.get('rss', 0) / 1024:.1f})")


if __name__ == "__main__":
    main()
