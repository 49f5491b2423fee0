#!/usr/bin/env python3
"""Photo figures under Wine (printed, not tested), with the scenarios'
stand-in camera (a video file, KESTROVA_CAMERA_FILE) and a stand-in ntfy
server. Run inside a Wine session after building the mingw preset:

    tools/wine-session tools/measure_photo.py [build/mingw] [trials]

1. Trigger to siren with photos on, timed as tools/measure_guard.py times
   it (the same injected move, the first loud chunk at the null sink),
   beside the minimal program whose mouse hook calls PlaySoundW.
2. Trigger to the first photo at the server: from the same move to the
   moment the stand-in has the whole PUT of the JPEG (both on the host's
   clock).
"""

import os
import statistics
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import measure_guard as guard  # noqa: E402  (sets the paths and the programs up)
from measure_guard import kwine  # noqa: E402
from online_common import StandIn  # noqa: E402
from test_photo import camera_video  # noqa: E402


def photo_figures(monitor, server):
    guard.settings()
    kwine.reg_set_dword("TakePhotos", 1)
    kwine.reg_set_text("NotifyUrl", server.url + "/kim-laptop")
    program = kwine.start()
    sirens, photos = [], []
    try:
        kwine.wait_window(kwine.MAIN_TITLE, 30)
        for _ in range(guard.TRIALS):
            guard.lock()
            if monitor.quiet_for(1.5):  # otherwise sounded before our input: not a trial
                before = len(server.requests("push"))
                x, y = map(int, kwine.driver("cursor").split())
                sent = int(kwine.driver("timed-move-to", x + 120, y)) / 1e6
                heard = monitor.onset_after(sent - 0.05)
                if heard is not None:
                    sirens.append((heard - sent) * 1000)
                put = [p for p in server.wait_requests("push", before + 2, timeout=60)[before:] if p["method"] == "PUT"]
                if put:
                    photos.append((put[0]["time"] - sent) * 1000)
            guard.unlock()
            monitor.wait_quiet()
        kwine.close_program(program)
    finally:
        kwine.stop(program)
    return sirens, photos


def main():
    subprocess.run(["wine", "reg", "add", r"HKCU\Software\Wine\MediaFoundation", "/t", "REG_DWORD", "/d", "1",
                    "/v", "DisableGstByteStreamHandler", "/f"], capture_output=True, check=True, timeout=120)
    with open(os.path.join(tempfile.mkdtemp(), "camera.avi"), "wb") as video:
        video.write(camera_video())
    os.environ["KESTROVA_CAMERA_FILE"] = "Z:" + video.name.replace("/", "\\")
    server = StandIn().start()
    monitor = guard.Monitor()
    try:
        floor, _ = guard.minimal_figures(monitor)
        sirens, photos = photo_figures(monitor, server)
    finally:
        monitor.stop()
        server.stop()
    sirens, floor = guard.checked("kestrova.exe", sirens), guard.checked("minimal program", floor)
    print("trigger to siren, photos on, stand-in camera")
    print("  kestrova.exe (mouse motion)  ", guard.spread(sirens))
    print("  minimal PlaySoundW (motion)  ", guard.spread(floor))
    if sirens and floor:
        print(f"  difference of medians        {statistics.median(sirens) - statistics.median(floor):6.1f} ms")
    print("trigger to the first photo at the stand-in ntfy server")
    print("  kestrova.exe                 ", guard.spread(photos))


if __name__ == "__main__":
    main()
