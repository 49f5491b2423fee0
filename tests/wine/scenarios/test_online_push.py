"""The owner's push messages at a stand-in push server (each service's
format, plain HTTP on 127.0.0.1): the settings dialog's test button for
each kind (taken, refused, unreachable, and an https server whose
certificate nothing trusts), the token typed there and the old plain one,
and its refusal of a plain-http address at OK; an alarm at a WeCom address
refused inside HTTP 200 and retried; an
alarm sent while the server is down that arrives once it comes up 20 s
later, then the disarmed message with the wrong password counted, each
try in the owner's log; an alarm the server refused until the program was
killed, sent first at the next start, marked with its first time, before
the news of the kill."""

import glob
import os
import re
import subprocess
import time

import kwine
from online_common import StandIn
from test_guard import DESKTOP, GUARD, VK_RETURN, GuardScenario, guard_keys, guard_type, input_desktop

SETTINGS_TITLE = "设置"
IDOK = 1
IDC_MAIN_SETTINGS = 1017
IDC_SETTINGS_NOTIFY_URL = 1031
IDC_SETTINGS_NOTIFY_TEST = 1032
IDC_SETTINGS_NOTIFY_KIND = 1033
IDC_SETTINGS_NOTIFY_TOKEN = 1034
REG_BINARY = 3
CB_GETCURSEL, CB_SETCURSEL = 0x147, 0x14E


def owner_log():
    """The owner's log as the program left it (in the Wine prefix, or the
    user's own folder on Windows)."""
    local = os.environ.get("LOCALAPPDATA") if os.name == "nt" else os.path.join(
        os.environ["WINEPREFIX"], "drive_c", "users", "*", "AppData", "Local")
    found = glob.glob(os.path.join(local, "Kestrova", "kestrova.log"))
    with open(found[0], encoding="utf-8") as log:
        return log.read()


class PushMessages(GuardScenario):
    def start_with_push(self, url, flags=kwine.FLAG_TRIGGER_MOUSE_MOVE, kind=None):
        self.settings(flags, user=None, password=None, Sensitivity=50)
        kwine.reg_set_text("PW", "abc")
        kwine.reg_set_text("NotifyToken", "tk_kim")
        if url:
            kwine.reg_set_text("NotifyUrl", url)
        if kind:
            kwine.reg_set_text("NotifyKind", kind)
        program = self.launch()
        kwine.wait_window(kwine.MAIN_TITLE, 30)
        return program

    def press_test(self, url):
        kwine.set_text(SETTINGS_TITLE, IDC_SETTINGS_NOTIFY_URL, url)
        kwine.click(SETTINGS_TITLE, IDC_SETTINGS_NOTIFY_TEST)
        kwine.wait_window("Push test", timeout=40)
        text = kwine.box_text("Push test")
        kwine.command("Push test", IDOK)
        kwine.window_gone("Push test")
        return text

    def kind(self, index=None):
        """The kind chosen in the settings dialog, after choosing index."""
        if index is not None:
            kwine.driver("send-to", SETTINGS_TITLE, IDC_SETTINGS_NOTIFY_KIND, CB_SETCURSEL, index, 0)
        return int(kwine.driver("send-to", SETTINGS_TITLE, IDC_SETTINGS_NOTIFY_KIND, CB_GETCURSEL, 0, 0))

    def lock_and_move(self):
        self.lock()
        for x in (80, 80, 160, 160):
            kwine.driver("move-to", x, 0, desktop=DESKTOP)

    def open_settings(self):
        kwine.command(kwine.MAIN_TITLE, IDC_MAIN_SETTINGS)
        kwine.wait_window(SETTINGS_TITLE)

    def test_the_test_button_for_each_kind_the_token_and_ok_on_a_plain_http_address(self):
        program = self.start_with_push(None)
        self.open_settings()
        topic = self.service.url + "/kim-laptop"
        # An older version's plain token, shown in the dialog and used.
        self.assertEqual(self.press_test(topic), "The server took the test message (HTTP 200).")
        sent, = self.service.requests("push")
        self.assertEqual((sent["path"], sent["title"], sent["authorization"], sent["json"]["topic"],
                          sent["json"]["priority"], sent["json"]["tags"]),
                         ("/", "Kestrova test", "Bearer tk_kim", "kim-laptop", 3, ["bell"]))
        self.assertRegex(sent["body"], r"^Test message from Kestrova on .+ at \d{4}-\d\d-\d\d \d\d:\d\d:\d\d ")

        self.service.set_reply("push", status=403)
        self.assertRegex(self.press_test(topic), r"^The server refused the test message \(HTTP 403\)\.\n\n.*valid token")
        self.service.clear_replies()
        # A token typed is used at once, and again from where OK kept it.
        kwine.set_text(SETTINGS_TITLE, IDC_SETTINGS_NOTIFY_TOKEN, " phil:mypass ")
        self.press_test(topic)
        self.assertEqual(self.service.requests("push")[-1]["authorization"], "Basic cGhpbDpteXBhc3M=")
        kwine.command(SETTINGS_TITLE, IDOK)
        kwine.window_gone(SETTINGS_TITLE)
        kind, sealed = kwine.reg_dump()["NotifyTokenProtected"]
        self.assertEqual((kind, b"phil" in sealed, "NotifyToken" in kwine.reg_dump()), (REG_BINARY, False, False))
        self.open_settings()
        self.press_test(topic)
        self.assertEqual(self.service.requests("push")[-1]["authorization"], "Basic cGhpbDpteXBhc3M=")

        # Each kind, taken and then refused in its own way; a pasted address
        # on a service's own host chooses the kind, one elsewhere keeps it.
        kwine.set_text(SETTINGS_TITLE, IDC_SETTINGS_NOTIFY_URL, " qyapi.weixin.qq.com/cgi-bin/webhook/send?key=k")
        self.assertEqual(self.kind(), 2)
        kwine.set_text(SETTINGS_TITLE, IDC_SETTINGS_NOTIFY_TOKEN, "SECkim")
        for index, path, status, refusal, advice in (
                (1, "/K3y", 400, '{"code":400,"message":"failed to get device token"}', "does not know this address"),
                (2, "/cgi-bin/webhook/send?key=k", 200, '{"errcode":93000,"errmsg":"invalid webhook url"}',
                 "does not know this address"),
                (3, "/robot/send?access_token=t", 200, '{"errcode":310000,"errmsg":"sign not match"}', "secret"),
                (4, "/open-apis/bot/v2/hook/h", 200, '{"code":19021,"msg":"sign match fail"}', "clock")):
            self.kind(index)
            self.assertEqual(self.press_test(self.service.url + path), "The server took the test message (HTTP 200).")
            self.assertEqual((self.kind(), self.service.requests("push")[-1]["title"]), (index, "Kestrova test"))
            self.service.set_reply("push", status=status, body=refusal, times=1)
            self.assertRegex(self.press_test(self.service.url + path), r"^The server refused the test message \(HTTP "
                             r"%d, code \d+: [a-z ]+\)\.\n\n.*%s" % (status, advice))
        self.kind(0)
        unreachable = self.press_test(self.down_service().url + "/kim-laptop")
        self.assertRegex(unreachable, r"^The test message was not sent: [a-z' ]+ \(error 120\d\d\)\.\n\nCheck that this "
                                      r"computer is online")
        self.assertNotIn("a network error", unreachable)
        untrusted = StandIn(untrusted_tls=True).start()
        self.addCleanup(untrusted.stop)
        self.assertRegex(self.press_test(untrusted.url + "/kim-laptop"),
                         r"^The test message was not sent: .*(certificate|secure).* \(error 12\d\d\d\)\.\n\n"
                         r"The server's certificate was refused")
        self.assertEqual(untrusted.requests("push"), [])

        kwine.set_text(SETTINGS_TITLE, IDC_SETTINGS_NOTIFY_URL, "http://ntfy.sh/kim-laptop")
        kwine.command(SETTINGS_TITLE, IDOK)
        kwine.wait_window("Push address")
        self.assertIn("must begin with https://", kwine.box_text("Push address"))
        kwine.command("Push address", IDOK)
        self.assertTrue(kwine.window_exists(SETTINGS_TITLE), "a refused address closed the dialog")
        self.assertNotIn("ntfy.sh", kwine.reg_dump()["NotifyUrl"][1].decode("utf-16-le"))
        kwine.set_text(SETTINGS_TITLE, IDC_SETTINGS_NOTIFY_URL, topic)
        kwine.command(SETTINGS_TITLE, IDOK)
        kwine.window_gone(SETTINGS_TITLE)
        # Kept at OK, before any save at exit.
        self.assertEqual(kwine.reg_dump()["NotifyUrl"][1].decode("utf-16-le").rstrip("\0"), topic)
        self.close_main(program)

    def test_an_alarm_while_the_server_is_down_arrives_when_it_comes_up_then_the_unlock(self):
        server = self.down_service()
        program = self.start_with_push(server.url + "/kim-laptop")
        self.lock_and_move()
        sounded = time.monotonic()
        time.sleep(20)  # the server is down for the first 20 s of the alarm
        server.start()
        alarm, = server.wait_requests("push", 1, timeout=120)
        self.assertGreaterEqual(alarm["monotonic"] - sounded, 20)
        self.assertEqual((alarm["title"], alarm["json"]["priority"], alarm["json"]["tags"], alarm["authorization"]),
                         ("Kestrova alarm", 5, ["rotating_light"], "Bearer tk_kim"))
        self.assertRegex(alarm["body"], r"^The alarm went off on .+ at .+: the mouse was moved\.$")

        guard_type("abd")
        guard_keys(f"{VK_RETURN:#x}")
        self.assertTrue(self.still_armed())
        self.unlock("abc")
        disarmed = server.wait_requests("push", 2)[1]
        self.assertEqual((disarmed["title"], disarmed["json"]["priority"]), ("Kestrova disarmed", 3))
        seconds = re.search(r"The siren sounded for (?:(\d+) min )?(\d+) s\. Wrong passwords typed: 1\.$",
                            disarmed["body"])
        self.assertTrue(seconds, disarmed["body"])
        self.assertGreaterEqual(int(seconds[1] or 0) * 60 + int(seconds[2]), 20)
        self.close_main(program)
        log = owner_log()
        for line in (r'"Kestrova alarm", try 1: not sent: .+ \(WinHttp\w+ error 12\d\d\d\); next try in 5 s',
                     r'"Kestrova alarm", try 2: not sent: .+; next try in 15 s',
                     r'"Kestrova alarm", try [34]: taken \(HTTP 200\)', r'"Kestrova disarmed", try 1: taken'):
            self.assertRegex(log, line)

    def test_an_alarm_at_a_wecom_address_refused_inside_http_200_is_tried_again(self):
        # Too many first (a Retry-After longer than the first pause), then a
        # wrong key in the service's own words, then taken.
        self.service.set_reply("push", status=429, headers={"Retry-After": "9"}, times=1)
        program = self.start_with_push(self.service.url + "/cgi-bin/webhook/send?key=k", kind="wecom")
        self.lock_and_move()
        self.service.wait_requests("push", 1, timeout=60)
        self.service.set_reply("push", body='{"errcode":93000,"errmsg":"invalid webhook url"}', times=1)
        tries = self.service.wait_requests("push", 3, timeout=90)
        self.assertEqual([t["status"] for t in tries], [429, 200, 200])
        self.assertEqual({t["path"] for t in tries}, {"/cgi-bin/webhook/send?key=k"})
        self.assertRegex(tries[2]["json"]["text"]["content"], r"^Kestrova alarm\nThe alarm went off on .+: the mouse")
        self.assertGreaterEqual(tries[1]["monotonic"] - tries[0]["monotonic"], 8.5)
        self.assertGreaterEqual(tries[2]["monotonic"] - tries[1]["monotonic"], 14.5)
        self.unlock("abc")
        self.service.wait_requests("push", 4)
        self.close_main(program)
        log = owner_log()
        for line in (r"Push on \(wecom, 127\.0\.0\.1:\d+\)", r'"Kestrova alarm", try 1: refused \(HTTP 429\); next try in 9 s',
                     r'"Kestrova alarm", try 2: refused \(HTTP 200, code 93000: invalid webhook url\); next try in 15 s',
                     r'"Kestrova alarm", try 3: taken \(HTTP 200\)'):
            self.assertRegex(log, line)
        self.assertNotIn("key=k", log)

    def test_an_alarm_refused_until_the_program_is_killed_goes_first_at_the_next_start(self):
        self.service.set_reply("push", status=503)
        program = self.start_with_push(self.service.url + "/kim-laptop")
        self.lock_and_move()
        refused = self.service.wait_requests("push", 1, timeout=60)[0]
        self.assertEqual((refused["title"], refused["status"]), ("Kestrova alarm", 503))
        kind, waiting = kwine.reg_dump()["PushWaiting"]
        self.assertEqual(kind, REG_BINARY)
        self.assertNotIn(b"tk_kim", waiting)

        # Ended as Task Manager ends it, the alarm still not taken.
        pid = kwine.driver("pid", kwine.MAIN_TITLE)
        subprocess.run(["wine", "taskkill", "/F", "/PID", pid], stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=60)
        program.wait(timeout=20)
        self.service.clear_replies()
        # The next sign-in runs the Run value's command line as it stands.
        run = kwine.driver("run-value")
        self.assertNotEqual(run, "none", "a killed guard left no way to start again")
        restarted = time.monotonic()
        pid = kwine.driver("start-command", run)
        self.addCleanup(subprocess.run, ["wine", "taskkill", "/F", "/PID", pid], stdout=subprocess.DEVNULL,
                        stderr=subprocess.DEVNULL, timeout=60)

        def since_restart():
            return [r for r in self.service.wait_requests("push", 0, timeout=0) if r["monotonic"] > restarted]
        self.assertTrue(kwine.until(lambda: len(since_restart()) >= 2, timeout=60), since_restart())
        alarm, told = since_restart()[:2]
        self.assertEqual((alarm["title"], alarm["status"], alarm["authorization"]),
                         ("Kestrova alarm", 200, "Bearer tk_kim"))
        self.assertRegex(alarm["body"], r"^The alarm went off on .+: the mouse was moved\.\n"
                                        r"First tried: \d{4}-\d\d-\d\d \d\d:\d\d:\d\d \(UTC[+-]\d\d:\d\d\)$")
        self.assertEqual(told["title"], "Kestrova was stopped while armed")
        # Armed again at once, with the input: a thief who cut the power
        # meets the guard, not the owner's desktop.
        kwine.wait_window(GUARD, 30, desktop=DESKTOP)
        self.assertTrue(kwine.until(lambda: input_desktop() == DESKTOP))
        self.assertIn("Armed again: the last guard never unlocked", kwine.log_texts())
        kwine.wait_window(kwine.MAIN_TITLE, 30)
        self.assertTrue(kwine.until(lambda: "PushWaiting" not in kwine.reg_dump(), timeout=20))
        self.assertEqual(kwine.driver("run-value"), run, "gone before that guard's unlock")
        self.unlock("abc")
        self.assertEqual(kwine.driver("run-value"), "none")
        kwine.close(kwine.MAIN_TITLE)
        self.assertTrue(kwine.until(lambda: not kwine.window_exists(kwine.MAIN_TITLE), timeout=20))
