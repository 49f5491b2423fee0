#!/usr/bin/env python3
"""Writes the committed seed inputs of each fuzz target (tests/fuzz/corpus).

Each seed is laid out as its target reads its input, so the fuzzer starts
from the interesting cases: the stored values the program writes, the
replies the service gives, the texts an owner types."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
SZ, DWORD = 0, 1  # type pickers of fuzz_settings_load
NAMES = ["Settings", "Sensitivity", "HotKey", "LastChecked", "PW", "ServerUser", "ServerPass",
         "LastVersion", "ServiceUrl", "Other"]


def value(name, picker, data, raw_type=None):
    out = bytes([NAMES.index(name), picker])
    if raw_type is not None:
        out += struct.pack("<I", raw_type)
    return out + bytes([len(data)]) + data


def word(n):
    return struct.pack("<I", n & 0xFFFFFFFF)


def wide(text, units=None):
    data = text.encode("utf-16-le")
    if units:
        data = data.ljust(units * 2, b"\0")
    return data


def settings_load():
    version = struct.pack("<d", 1.99)
    saved = (value("Settings", DWORD, word(0x4FF)) + value("Sensitivity", DWORD, word(50)) +
             value("HotKey", DWORD, word(0x367)) + value("LastChecked", DWORD, word(2024 << 16 | 2 << 8 | 29)) +
             value("PW", SZ, wide("secret", 10)) + value("ServerUser", SZ, b"owner".ljust(100, b"\0")) +
             value("ServerPass", SZ, b"pass".ljust(100, b"\0")) + value("LastVersion", DWORD, version))
    return {
        "saved": b"\x07" + saved,
        "new_key": b"\x06",
        "unopenable": b"\x01",
        "wrong_types": b"\x07" + value("Settings", SZ, wide("511")) + value("Sensitivity", 3, word(7), 11) +
        value("PW", DWORD, word(0x41)) + value("ServerUser", DWORD, word(0x41)),
        "wrong_sizes": b"\x07" + value("Settings", DWORD, b"\xff\x01") + value("HotKey", DWORD, b"\0" * 8) +
        value("PW", SZ, wide("0123456789abcdef")) + value("ServerUser", SZ, b"x" * 150) +
        value("LastVersion", DWORD, b"\0" * 4),
        "no_terminators": b"\x07" + value("PW", SZ, wide("123456789") + b"\x41") +
        value("ServerPass", SZ, b"y" * 100),
        "service_url": b"\x07" + value("ServiceUrl", SZ, wide("http://127.0.0.1:8080")) +
        value("LastVersion", 3, struct.pack("<d", float("nan")), 11),
        "bad_service_url": b"\x07" + value("ServiceUrl", SZ, wide("http://host/path?x")),
    }


def service_reply():
    def reply(kind, body, yes=0, nonce=41):
        return bytes([kind, yes]) + word(nonce) + body
    return {
        "update_newer": reply(1, b"2.0", 1), "update_same": reply(1, b"1.99"), "update_long": reply(1, b"1.995"),
        "update_garbage": reply(1, b"<htm"),
        "alarm_ok": reply(2, b"OK"), "alarm_invalid": reply(2, b"INVALID"), "alarm_nosms": reply(2, b"NOSMS"),
        "alarm_cell": reply(2, b"CELL\0xx"), "alarm_long": reply(2, b"INVALIDX"),
        "nonce": reply(3, b"41"), "nonce_max": reply(3, b"2147483647", nonce=0), "nonce_negative": reply(3, b" -12"),
        "account_valid": reply(4, b"VALID12345"), "account_bare": reply(4, b"VALID"),
        "account_letter": reply(4, b"VALIDx"), "account_garbage": reply(4, b"\0VALID1"),
        "unknown_kind": reply(5, b"VALID1"),
        "big_body": reply(4, b"VALID" + b"9" * 5000),
    }


def service_urls():
    def urls(user, password, nonce=42):
        return word(nonce) + bytes([len(user)]) + user + password
    return {
        "plain": urls(b"owner@example.org", b"secret"),
        "reserved": urls(b"a&b=c?d#e/f%g h+i", b"p&w=1"),
        "bytes": urls(bytes(range(256))[:255], bytes(range(256))),
        "empty": urls(b"", b"", 0),
        "negative_nonce": urls(b"-._~", b"x" * 64, -2147483648),
    }


def settings_dialog():
    def entries(sens, password, user=b"owner", passw=b"pw", other=None, flags=0x1FF, points=(0, 0, 3, 4)):
        out = bytes([len(sens)]) + sens + b"\x01\x01" + bytes([len(password)]) + password
        out += bytes([len(user)]) + user + bytes([len(passw)]) + passw
        out += b"".join(word(p) for p in points) + word(0x00640032) + word(flags)
        other = password if other is None else other
        return out + bytes([len(other)]) + other
    return {
        "typical": entries(b"50", wide("secret")),
        "negative": entries(b" -7a", wide("abc"), other=wide("abd")),
        "letters": entries(b"abc", wide("")),
        "long_number": entries(b"12345678901234", wide("0123456789abc")),
        "spaces": entries(b"\t\n\v\f\r 42", wide("a\0b")),
        "far_points": entries(b"+999999999", wide("x"), points=(-2**31, -2**31, 2**31 - 1, 2**31 - 1)),
        "long_account": entries(b"1", wide("pw"), user=b"u" * 200, passw=b"p" * 120),
    }


def give_back_record():
    binary, other_type = b"\x00", b"\xf4"  # type pickers of fuzz_give_back_record

    def saved(value=None):
        return b"\x00" + word(0) if value is None else b"\x01" + word(value)

    def endpoint(ident, volume=None, muted=None):
        out = struct.pack("<H", len(ident)) + ident.encode("utf-16-le")
        out += b"\x00" + word(0) if volume is None else b"\x01" + struct.pack("<f", volume)
        return out + (b"\x00\x00" if muted is None else b"\x01" + bytes([muted]))

    def record(actions=(None,) * 8, shortcuts=(0, 0, 0), mixer=(None,) * 4, endpoints=(), version=2):
        out = b"KGBR" + struct.pack("<H", version) + bytes(range(16))
        out += b"".join(saved(a) for a in actions) + bytes(shortcuts) + b"".join(saved(m) for m in mixer)
        return out + bytes([len(endpoints)]) + b"".join(endpoints)

    armed = record(actions=(1, 1, 3, 3, 1, 1, 1, 1), shortcuts=(1, 1, 0))
    sounding = record(actions=(1, 0, 3, None, 1, 1, None, 1), shortcuts=(1, 0, 1), mixer=(0x8000, 0xFFFF, 0, 1),
                      endpoints=[endpoint("{0.0.0.00000000}.{a1}", 0.25, 1), endpoint("{0.0.0.00000000}.{b2}")])
    return {
        "empty_record": binary + record(), "armed": binary + armed, "sounding": binary + sounding,
        "truncated": binary + sounding[:-3], "next_version": binary + record(version=3),
        "wrong_type": other_type + armed, "nothing": binary,
    }


def main():
    for target, seeds in [("fuzz_settings_load", settings_load()), ("fuzz_service_reply", service_reply()),
                          ("fuzz_service_urls", service_urls()),
                          ("fuzz_settings_dialog", settings_dialog()), ("fuzz_give_back_record", give_back_record())]:
        folder = os.path.join(HERE, "corpus", target)
        os.makedirs(folder, exist_ok=True)
        for name, data in seeds.items():
            with open(os.path.join(folder, name), "wb") as f:
                f.write(data)


if __name__ == "__main__":
    main()
