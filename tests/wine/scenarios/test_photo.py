"""The thief's photo from a stand-in camera (KESTROVA_CAMERA_FILE, a video red
above blue) at the stand-in ntfy, WeCom and Bark; photos off; no camera."""

import base64
import hashlib
import os
import struct
import subprocess
import tempfile

import kwine
from test_guard import DESKTOP, GuardScenario

W, H, FRAMES = 640, 480, 10
TOP, BOTTOM = (200, 40, 40), (40, 40, 200)  # in BT.601 studio-range YUV (91, 104, 198) and (66, 198, 117)


def chunk(fourcc, data, form="", *values):
    data += struct.pack("<" + form, *values)
    return fourcc + struct.pack("<I", len(data)) + data


def camera_video():
    """An uncompressed AVI, 2 s at 5 frames a second, of frames red above blue."""
    frame = bytes((91, 104, 91, 198)) * (W * H // 4) + bytes((66, 198, 66, 117)) * (W * H // 4)
    size = len(frame)
    strl = chunk(b"strh", b"vidsYUY2", "IHHIIIIIIiI4h", 0, 0, 0, 0, 1, 5, 0, FRAMES, size, -1, 0, 0, 0, W, H) + \
        chunk(b"strf", b"", "IiiHH4sIiiII", 40, W, H, 1, 16, b"YUY2", size, 0, 0, 0, 0)
    hdrl = chunk(b"avih", b"", "14I", 200000, size * 5, 0, 0x10, FRAMES, 0, 1, size, W, H, 0, 0, 0, 0) + \
        chunk(b"LIST", b"strl" + strl)
    index = b"".join(b"00dc" + struct.pack("<III", 0x10, 4 + i * (8 + size), size) for i in range(FRAMES))
    movi = chunk(b"LIST", b"movi" + chunk(b"00dc", frame) * FRAMES)
    return chunk(b"RIFF", b"AVI " + chunk(b"LIST", b"hdrl" + hdrl) + movi + chunk(b"idx1", index))


def kept(name):  # %LOCALAPPDATA%\Kestrova\photos
    return os.path.join(os.path.dirname(kwine.log_path()), "photos", name)


class Photos(GuardScenario):
    @classmethod
    def setUpClass(cls):
        # Wine's own media source reads the AVI, not its GStreamer byte stream handler.
        subprocess.run(["wine", "reg", "add", r"HKCU\Software\Wine\MediaFoundation", "/t", "REG_DWORD", "/d", "1",
                        "/v", "DisableGstByteStreamHandler", "/f"], capture_output=True, check=True, timeout=120)
        with open(os.path.join(tempfile.mkdtemp(), "camera.avi"), "wb") as video:  # in the session's own /tmp
            video.write(camera_video())
        os.environ["KESTROVA_CAMERA_FILE"] = "Z:" + video.name.replace("/", "\\")

    def start(self, path, kind="ntfy", photos=1):
        self.settings(kwine.FLAG_TRIGGER_MOUSE_MOVE, user=None, password=None, Sensitivity=50, TakePhotos=photos)
        for name, value in (("NotifyUrl", self.service.url + path), ("NotifyKind", kind), ("NotifyToken", "tk_kim")):
            kwine.reg_set_text(name, value)
        program = self.launch()
        kwine.wait_window(kwine.MAIN_TITLE, 30)
        return program

    def alarm(self, count):
        """Locks, moves the mouse, hears the siren; the next count messages at the server."""
        before = len(self.service.requests("push"))
        self.lock()
        for x in (80, 80, 160, 160):
            kwine.driver("move-to", x, 0, desktop=DESKTOP)
        self.assertTrue(kwine.heard())
        return self.service.wait_requests("push", before + count, timeout=90)[before:before + count]

    def test_a_photo_refused_by_ntfy_is_kept_and_sent_at_the_next_start_then_no_camera_says_why(self):
        self.service.set_reply("photo", status=503)
        program = self.start("/kim-laptop")
        alarm, refused = self.alarm(2)
        name = refused["headers"]["Filename"]
        self.assertEqual((alarm["title"], refused["method"], refused["status"]), ("Kestrova alarm", "PUT", 503))
        self.assertIn(name.encode(), kwine.reg_dump()["PushWaiting"][1])
        # Killed as Task Manager kills; the next sign-in starts it again, with
        # no camera (Wine finds none of its own).
        subprocess.run(["wine", "taskkill", "/F", "/PID", kwine.driver("pid", kwine.MAIN_TITLE)], capture_output=True)
        program.wait(timeout=20)
        self.service.clear_replies()
        self.addCleanup(os.environ.__setitem__, "KESTROVA_CAMERA_FILE", os.environ.pop("KESTROVA_CAMERA_FILE"))
        kwine.stop_driver()  # the program starts from kdriver, with its environment
        self.addCleanup(kwine.stop_driver)
        pid = kwine.driver("start-command", kwine.driver("run-value"))
        self.addCleanup(subprocess.run, ["wine", "taskkill", "/F", "/PID", pid], capture_output=True, timeout=60)
        self.assertTrue(kwine.until(lambda: "PushWaiting" not in kwine.reg_dump(), timeout=60))
        sent = [p for p in self.service.requests("push") if p["method"] == "PUT" and p["status"] == 200][0]
        headers = sent["headers"]
        self.assertEqual((sent["status"], sent["path"], sent["authorization"], sent["title"], headers["Filename"],
                          headers["Priority"], headers["Content-Type"]),
                         (200, "/kim-laptop", "Bearer tk_kim", "Kestrova alarm photo", name, "5", "image/jpeg"))
        self.assertRegex(sent["body"], r"^The alarm went off on .+: the mouse was moved\.\nFirst tried: ")
        for y, colour in ((100, TOP), (380, BOTTOM)):  # the right way up
            decoded = subprocess.run(["convert", "jpeg:-", "-crop", f"1x1+320+{y}", "-depth", "8", "rgb:-"],
                                     input=base64.b64decode(sent["data"]), capture_output=True, check=True).stdout
            self.assertLess(max(abs(a - b) for a, b in zip(decoded, colour)), 40, (y, tuple(decoded)))
        self.assertTrue(os.path.exists(kept(name)), "the photo sent is kept")
        kwine.wait_window(kwine.MAIN_TITLE, 30)
        # Armed again at this start; the restart's own news (the give-back)
        # may still be on its way, so the two are found by their texts.
        before = len(self.service.requests("push"))
        self.alarm(2)
        none = "No photo: no camera was found (MFEnumDeviceSources: 0xC00D36D5)"
        self.assertTrue(kwine.until(lambda: none in [p["body"] for p in self.service.requests("push")[before:]], 60))
        bodies = [p["body"] for p in self.service.requests("push")[before:]]
        alarm = next(i for i, body in enumerate(bodies) if body.startswith("The alarm went off"))
        self.assertLess(alarm, bodies.index(none), bodies)  # the alarm's own text first
        self.unlock("abc")

    def disarm(self, program):
        before = len(self.service.requests("push"))
        self.unlock("abc")
        self.assertTrue(kwine.until(lambda: "Kestrova disarmed" in [p["title"] for p in
                                                                    self.service.requests("push")[before:]], 60))
        self.close_main(program)

    def test_wecom_gets_the_image_and_its_md5_bark_a_text_and_photos_off_read_no_camera(self):
        program = self.start("/cgi-bin/webhook/send?key=k", kind="wecom")
        image = self.alarm(2)[1]["json"]["image"]
        jpeg = base64.b64decode(image["base64"])
        self.assertEqual((jpeg[:2], image["md5"]), (b"\xff\xd8", hashlib.md5(jpeg).hexdigest()))
        self.disarm(program)
        before = len(self.service.requests("push"))
        program = self.start("/K3y", kind="bark")
        text = self.alarm(2)[1]
        self.assertRegex(text["body"], r"^Photo kept on the laptop: \d{8}-\d{6}\.jpg$")
        self.assertTrue(os.path.exists(kept(text["body"][-19:])))
        self.disarm(program)
        self.assertEqual({p["method"] for p in self.service.requests("push")[before:]}, {"POST"})
        before, logged = len(self.service.requests("push")), len(kwine.log_texts())
        program = self.start("/K3y", kind="bark", photos=0)
        self.alarm(1)
        self.disarm(program)
        self.assertEqual([p["title"] for p in self.service.requests("push")[before:]],
                         ["Kestrova alarm", "Kestrova disarmed"])
        self.assertFalse([line for line in kwine.log_texts()[logged:] if "photo" in line.lower()])
