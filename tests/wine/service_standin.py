#!/usr/bin/env python3
"""A stand-in for the SMS alarm service, for the tests: plain HTTP on
127.0.0.1 only, Python's standard library only.

The four endpoints keep the protocol's rules:
  /beta/lastnonce.php?e=USER          the account's last nonce, in decimal
  /beta/accountinfo.php?u=&n=&h=      "VALID<balance>" when n is above the
                                      last nonce and h is MD5(password + n);
                                      "INVALID" otherwise
  /beta/alarm.php?u=&n=&h=            "INVALID", "NOSMS" (no credit), "CELL"
                                      (phone not validated) or "OK" (one
                                      credit spent)
  /beta/currentversion.php?v=...      the current version ("1.99")
A signed request that is accepted raises the account's nonce to n.

It also stands in for the push services: a POST of JSON to any other path
is a message, logged as endpoint "push" with its path, Authorization, the
JSON sent and its title and body, and answered in the form of the service
whose body it has: ntfy's (with "topic"), Bark's ("device_key"), Feishu's
("msg_type") or WeCom's and DingTalk's ("msgtype"; WeCom's path starts with
/cgi-bin/). A PUT, ntfy's attachment, is logged with its headers decoded and
its body in "data" (Base64); set_reply("photo", ...) answers PUTs alone.

Each endpoint's reply can be replaced per test: another body, another HTTP
status, a delay before answering, a pause between the headers and the body,
a connection closed without any answer or partway through the body, or
reset right after the headers. Every request is logged.

In a test:
    with StandIn() as service:
        service.add_account("kim", "secret", balance=42, nonce=41)
        service.set_reply("accountinfo", status=500)
        ... service.url ... service.requests("accountinfo") ...

From outside (another process): run this file; it prints the base address
on its first line. POST a JSON object to /_control/config to configure it
({"accounts": [...], "replies": {...}, "version": "2.0", "reset": true});
GET /_control/log gives the log as JSON. --config FILE applies such an
object at start, --log FILE keeps the log there as well (rewritten after
every request).
"""

import argparse
import base64
import email.header
import hashlib
import http.server
import json
import os
import socket
import ssl
import struct
import sys
import threading
import time
import urllib.parse

ENDPOINTS = {
    "/beta/lastnonce.php": "lastnonce",
    "/beta/accountinfo.php": "accountinfo",
    "/beta/alarm.php": "alarm",
    "/beta/currentversion.php": "currentversion",
}


def login_hash(password, nonce_text):
    return hashlib.md5(password.encode("latin-1") + nonce_text.encode("ascii")).hexdigest()


class Account:
    def __init__(self, user, password, balance=42, nonce=41, cell_validated=True):
        self.user = user
        self.password = password
        self.balance = balance
        self.nonce = nonce
        self.cell_validated = cell_validated

    def as_dict(self):
        return {"user": self.user, "password": self.password, "balance": self.balance,
                "nonce": self.nonce, "cell_validated": self.cell_validated}


class Reply:
    """A replacement for an endpoint's answer. body None: the protocol's
    own answer (or the status's reason phrase when status is not 2xx)."""

    def __init__(self, status=200, body=None, delay=0.0, split=0.0, drop=False, cut=None, times=None,
                 reset=None, headers=None):
        self.status = int(status)
        self.headers = headers or {}  # more headers, for a push answer
        self.body = body
        self.delay = float(delay)
        self.split = float(split)
        self.drop = bool(drop)
        # Send only this many bytes of the body (its full length announced),
        # then close the connection.
        self.cut = None if cut is None else int(cut)
        self.times = times  # how many requests it applies to; None: all
        # Send the headers, wait this many seconds (the client is reading the
        # body by then), then reset the connection instead of sending it.
        self.reset = None if reset is None else float(reset)


# A self-signed certificate for 127.0.0.1 that nothing trusts: an https
# stand-in behind it shows that the program checks certificates.
UNTRUSTED_PEM = os.path.join(os.path.dirname(os.path.abspath(__file__)), "untrusted_test.pem")


class StandIn:
    def __init__(self, port=0, log_path=None, untrusted_tls=False, listening=True):
        self.lock = threading.Lock()
        self.accounts = {}
        self.replies = {}
        self.version = "1.99"
        self.log = []
        self.log_path = log_path
        self.changed = threading.Condition(self.lock)
        # Bound at once, so the port is ours; not listening yet, a connection
        # to it is refused until start().
        self.server = http.server.ThreadingHTTPServer(("127.0.0.1", port), self._handler_class(),
                                                      bind_and_activate=False)
        self.server.server_bind()
        self.listening = listening
        if listening:
            self.server.server_activate()
        self.server.daemon_threads = True
        self.scheme = "http"
        if untrusted_tls:
            context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
            context.load_cert_chain(UNTRUSTED_PEM)
            self.server.socket = context.wrap_socket(self.server.socket, server_side=True)
            self.scheme = "https"
        self.thread = None

    # --- life ---------------------------------------------------------------

    @property
    def port(self):
        return self.server.server_address[1]

    @property
    def url(self):
        return "%s://127.0.0.1:%d" % (self.scheme, self.port)

    def start(self):
        if not self.listening:
            self.server.server_activate()
            self.listening = True
        self.thread = threading.Thread(target=self.server.serve_forever, daemon=True)
        self.thread.start()
        return self

    def stop(self):
        if self.thread:
            self.server.shutdown()
        self.server.server_close()

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()

    # --- configuration --------------------------------------------------------

    def add_account(self, user, password, balance=42, nonce=41, cell_validated=True):
        with self.lock:
            self.accounts[user] = Account(user, password, balance, nonce, cell_validated)

    def account(self, user):
        with self.lock:
            return self.accounts[user].as_dict()

    def set_reply(self, endpoint, **reply):
        """Replaces the answer of one endpoint ("lastnonce", "accountinfo",
        "alarm", "currentversion"); see Reply for the keywords."""
        if endpoint not in ENDPOINTS.values() and endpoint not in ("push", "photo"):
            raise ValueError("no endpoint " + endpoint)
        with self.lock:
            self.replies[endpoint] = Reply(**reply)

    def clear_replies(self):
        with self.lock:
            self.replies.clear()

    def set_version(self, version):
        with self.lock:
            self.version = str(version)

    def configure(self, config):
        """Applies a JSON-style object, as the control endpoint does."""
        if config.get("reset"):
            with self.lock:
                self.accounts.clear()
                self.replies.clear()
                self.version = "1.99"
                self.log.clear()
        for account in config.get("accounts", []):
            self.add_account(**account)
        for endpoint, reply in config.get("replies", {}).items():
            self.set_reply(endpoint, **reply)
        if "version" in config:
            self.set_version(config["version"])

    # --- the log --------------------------------------------------------------

    def requests(self, endpoint=None):
        with self.lock:
            return [dict(r) for r in self.log if endpoint is None or r["endpoint"] == endpoint]

    def wait_requests(self, endpoint, count=1, timeout=20.0):
        """The requests to endpoint once there are at least count of them
        (answered), or whatever there is after timeout seconds."""
        deadline = time.monotonic() + timeout
        with self.lock:
            while True:
                found = [dict(r) for r in self.log if r["endpoint"] == endpoint and r["answered"]]
                left = deadline - time.monotonic()
                if len(found) >= count or left <= 0:
                    return found
                self.changed.wait(left)

    def _record(self, entry):
        with self.lock:
            self.log.append(entry)
            self._write_log()
            self.changed.notify_all()

    def _answered(self, entry):
        with self.lock:
            entry["answered"] = True
            self._write_log()
            self.changed.notify_all()

    def _write_log(self):
        if self.log_path:
            with open(self.log_path, "w") as f:
                json.dump(self.log, f, indent=1)

    # --- the protocol ---------------------------------------------------------

    def _signed(self, query):
        """The account of a signed request whose nonce and hash are right."""
        account = self.accounts.get(query.get("u", ""))
        nonce_text = query.get("n", "")
        try:
            nonce = int(nonce_text)
        except ValueError:
            return None
        if account is None or nonce <= account.nonce:
            return None
        if query.get("h", "") != login_hash(account.password, nonce_text):
            return None
        account.nonce = nonce
        return account

    def _protocol_body(self, endpoint, query):
        with self.lock:
            if endpoint == "lastnonce":
                account = self.accounts.get(query.get("e", ""))
                return str(account.nonce if account else 0)
            if endpoint == "accountinfo":
                account = self._signed(query)
                return "VALID%d" % account.balance if account else "INVALID"
            if endpoint == "alarm":
                account = self._signed(query)
                if account is None:
                    return "INVALID"
                if account.balance <= 0:
                    return "NOSMS"
                if not account.cell_validated:
                    return "CELL"
                account.balance -= 1
                return "OK"
            return self.version

    def _take_reply(self, endpoint):
        with self.lock:
            reply = self.replies.get(endpoint)
            if reply is None:
                return None
            if reply.times is not None:
                if reply.times <= 0:
                    return None
                reply.times -= 1
            return reply

    def _handler_class(self):
        standin = self

        class Handler(http.server.BaseHTTPRequestHandler):
            # Headers and body leave in one write unless a test splits them.
            wbufsize = 65536

            def log_message(self, *args):
                pass

            def do_GET(self):
                parsed = urllib.parse.urlsplit(self.path)
                if parsed.path == "/_control/log":
                    self._send(200, json.dumps(standin.requests()).encode(), "application/json")
                    return
                endpoint = ENDPOINTS.get(parsed.path, "unknown")
                query = dict(urllib.parse.parse_qsl(parsed.query, keep_blank_values=True))
                entry = {
                    "time": time.time(),
                    "monotonic": time.monotonic(),
                    "path": parsed.path,
                    "endpoint": endpoint,
                    "raw_query": parsed.query,
                    "query": query,
                    "user_agent": self.headers.get("User-Agent", ""),
                    "answered": False,
                }
                standin._record(entry)
                if endpoint == "unknown":
                    self._send(404, b"Not Found")
                    standin._answered(entry)
                    return

                reply = standin._take_reply(endpoint)
                if reply is None:
                    reply = Reply()
                if reply.delay:
                    time.sleep(reply.delay)
                if reply.drop:
                    entry["status"] = None
                    self.close_connection = True
                    standin._answered(entry)
                    return
                if reply.body is not None:
                    body = reply.body
                elif 200 <= reply.status <= 299:
                    body = standin._protocol_body(endpoint, query)
                else:
                    body = self.responses.get(reply.status, ("Error",))[0]
                data = body.encode("latin-1") if isinstance(body, str) else bytes(body)
                entry["status"] = reply.status
                entry["body"] = data[:1000].decode("latin-1")
                entry["body_length"] = len(data)
                if reply.reset is not None:
                    entry["reset"] = True
                    self._send_then_reset(reply.status, data, reply.reset)
                else:
                    self._send(reply.status, data, split=reply.split, cut=reply.cut)
                standin._answered(entry)

            def do_POST(self):
                if urllib.parse.urlsplit(self.path).path != "/_control/config":
                    self._publish()
                    return
                length = int(self.headers.get("Content-Length", "0"))
                try:
                    standin.configure(json.loads(self.rfile.read(length) or b"{}"))
                except (ValueError, TypeError) as error:
                    self._send(400, str(error).encode())
                    return
                self._send(200, b"ok")

            def _publish(self):
                data = self.rfile.read(int(self.headers.get("Content-Length", "0")))
                photo = self.command == "PUT"
                try:
                    sent = {} if photo else json.loads(data)
                except ValueError:
                    sent = {}
                entry = {"time": time.time(), "monotonic": time.monotonic(), "endpoint": "push", "path": self.path,
                         "json": sent, "authorization": self.headers.get("Authorization"), "answered": False,
                         "method": self.command}
                # The bots get one text: the title, a line break, the body.
                text = (sent.get("text") or sent.get("content") or {})
                text = (text.get("content") or text.get("text") or "").partition("\n")
                entry["title"], entry["body"] = sent.get("title", text[0]), sent.get("message", sent.get("body", text[2]))
                if photo:
                    words = {name: str(email.header.make_header(email.header.decode_header(self.headers.get(name, ""))))
                             for name in ("Filename", "Title", "Message", "Priority", "Tags", "Content-Type")}
                    entry.update(headers=words, data=base64.b64encode(data).decode(), title=words["Title"],
                                 body=words["Message"])
                    sent = {"topic": self.path.strip("/")}
                answer = ({"id": "m", "event": "message", "topic": sent.get("topic")} if "topic" in sent else
                          {"code": 200, "message": "success"} if "device_key" in sent else
                          {"code": 0, "data": {}, "msg": "success"} if "msg_type" in sent else
                          {"errcode": 0, "errmsg": "ok"})
                standin._record(entry)
                reply = standin._take_reply("photo" if photo else "push") or Reply()
                if reply.delay:
                    time.sleep(reply.delay)
                entry["status"] = reply.status
                if reply.drop:
                    self.close_connection = True
                else:
                    answer = (reply.body if reply.body is not None else json.dumps(answer)
                              if 200 <= reply.status <= 299 else self.responses.get(reply.status, ("Error",))[0])
                    self._send(reply.status, answer.encode(), "application/json", headers=reply.headers)
                standin._answered(entry)

            do_PUT = _publish

            def _send_then_reset(self, status, data, after):
                self.send_response(status)
                self.send_header("Content-Type", "text/html")
                self.send_header("Content-Length", str(len(data)))
                self.end_headers()
                self.wfile.flush()
                time.sleep(after)
                # Linger on with a zero time-out: close sends RST, not FIN.
                self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
                self.connection.close()
                self.close_connection = True

            def _send(self, status, data, content_type="text/html", split=0.0, cut=None, headers=None):
                self.send_response(status)
                for name, value in (headers or {}).items():
                    self.send_header(name, value)
                self.send_header("Content-Type", content_type)
                self.send_header("Content-Length", str(len(data)))
                self.end_headers()
                if split:
                    self.wfile.flush()
                    time.sleep(split)
                if cut is not None:
                    self.wfile.write(data[:cut])
                    self.wfile.flush()
                    self.close_connection = True
                    return
                try:
                    self.wfile.write(data)
                    self.wfile.flush()
                except (BrokenPipeError, ConnectionResetError):
                    # The client read what it wanted and closed: a long body
                    # is cut at the read size on purpose.
                    self.close_connection = True

        return Handler


def main():
    parser = argparse.ArgumentParser(description="Stand-in SMS alarm service on 127.0.0.1")
    parser.add_argument("--port", type=int, default=0, help="0: chosen by the system")
    parser.add_argument("--config", help="JSON object applied at start")
    parser.add_argument("--log", help="file that keeps the request log as JSON")
    args = parser.parse_args()
    standin = StandIn(args.port, args.log)
    if args.config:
        with open(args.config) as f:
            standin.configure(json.load(f))
    print(standin.url, flush=True)
    try:
        standin.server.serve_forever()
    except KeyboardInterrupt:
        pass
    finally:
        standin.server.server_close()


if __name__ == "__main__":
    sys.exit(main())
