#!/usr/bin/env python3
"""Regenerate Kestrova's resource assets in resources/.

Produces, deterministically (two runs give byte-identical files):

    lock.jpg      756 x 374 JPEG, face of the guard screen (DATA 148)
    warning.png   102 x 107 PNG, headphone warning picture (DATA 150)
    banner.bmp    150 x 144 24-bit BI_RGB BMP for the main dialog (BITMAP 139)
    siren.wav     8-bit mono 22050 Hz PCM siren loop, 42,462 bytes (WAVE 132)
    eula.txt      licence agreement, 4,374 bytes, ASCII, CR LF (DATA 153)
    kestrova.ico  program icon with 16, 32, 48 and 256 pixel images

Pictures are drawn with ImageMagick ``convert`` (MVG primitives, DejaVu
fonts); the BMP, the ICO container, the WAV and the text are written by this
script itself so that their layout is exact.  Only the Python standard library
is used.

Usage:  python3 tools/make_assets.py [output-dir]
"""

import math
import os
import struct
import subprocess
import sys
import tempfile
import textwrap
import wave
import zlib
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
FONT_DIR = Path("/usr/share/fonts/truetype/dejavu")
FONT = str(FONT_DIR / "DejaVuSans.ttf")
FONT_BOLD = str(FONT_DIR / "DejaVuSans-Bold.ttf")

# Options that keep ImageMagick output free of timestamps and other metadata.
NO_META = ["-strip", "+set", "date:create", "+set", "date:modify",
           "+set", "date:timestamp"]
PNG_NO_META = ["-define", "png:exclude-chunks=date,time,tIME,tEXt,zTXt,iTXt"]


def convert(*args):
    """Run ImageMagick convert with a fixed environment."""
    env = dict(os.environ)
    env["SOURCE_DATE_EPOCH"] = "0"
    env["MAGICK_THREAD_LIMIT"] = "1"   # stable resampling / dithering order
    subprocess.run(["convert", *map(str, args)], check=True, env=env)


def raw_pixels(src, width, height, fmt):
    """Read a picture back as raw 8-bit 'rgb' or 'rgba' bytes."""
    out = subprocess.run(
        ["convert", str(src), "-depth", "8", f"{fmt}:-"],
        check=True, stdout=subprocess.PIPE,
        env=dict(os.environ, MAGICK_THREAD_LIMIT="1")).stdout
    want = width * height * len(fmt)
    if len(out) != want:
        raise RuntimeError(f"{src}: got {len(out)} pixel bytes, want {want}")
    return out


# --------------------------------------------------------------------------
# Shared drawing: a padlock in MVG, scaled into a box.
# --------------------------------------------------------------------------

def padlock_mvg(x, y, s, body="#d9a532", body_hi="#f2c75c", body_lo="#a8791c",
                shackle="#c9ced6", shackle_lo="#8d949e", hole="#2a1d08"):
    """MVG for a padlock whose 100x120 design box is placed at (x, y) and
    scaled by s.  Returns a list of MVG statements."""
    def X(v):
        return f"{x + v * s:.2f}"

    def Y(v):
        return f"{y + v * s:.2f}"

    def W(v):
        return f"{v * s:.2f}"

    cmds = []
    # shackle: a thick rounded arch (shadow stroke, then metal stroke)
    cmds += ["stroke none"]
    for colour, width, dx in ((shackle_lo, 15, 1.2), (shackle, 11, 0)):
        cmds += [f"fill '{colour}'",
                 arch(x + (50 + dx) * s, y + 36 * s, 26 * s, width * s,
                      y + 58 * s)]
    # highlight on the shackle
    cmds += ["fill '#eef1f5'",
             arch(x + 50 * s, y + 36 * s, 28.5 * s, 2.2 * s, y + 54 * s,
                  180.0, 118.0)]
    # body: dark rim, main plate, upper highlight band
    cmds += [
        "stroke none", f"fill '{body_lo}'",
        f"roundrectangle {X(6)},{Y(52)} {X(94)},{Y(120)} {W(12)},{W(12)}",
        f"fill '{body}'",
        f"roundrectangle {X(8)},{Y(54)} {X(92)},{Y(116)} {W(10)},{W(10)}",
        f"fill '{body_hi}'",
        f"roundrectangle {X(12)},{Y(57)} {X(88)},{Y(70)} {W(6)},{W(6)}",
        f"fill '{body}'",
        f"rectangle {X(12)},{Y(66)} {X(88)},{Y(71)}",
        # keyhole
        f"fill '{hole}'",
        f"circle {X(50)},{Y(82)} {X(50)},{Y(91)}",
        f"path 'M {X(45)},{Y(86)} L {X(55)},{Y(86)} L {X(58)},{Y(104)} "
        f"L {X(42)},{Y(104)} Z'",
    ]
    return cmds


def draw_args(cmds):
    # One -draw for the whole list: the fill/stroke settings inside an MVG
    # string only last until the end of that string.
    return ["-draw", "\n".join(cmds)]


def arch(cx, cy, r, w, bottom, t0=180.0, t1=0.0, steps=48):
    """A filled band of width w along a circle of radius r centred at
    (cx, cy), from angle t0 to t1 (degrees, 180 = left, 90 = top, 0 =
    right), with straight legs down to y = bottom at both ends when the band
    ends horizontally.  Returned as an MVG polygon: ImageMagick 6 closes open
    stroked paths, so arches are drawn as filled outlines instead."""
    def ring(rad, a, b):
        pts = []
        for i in range(steps + 1):
            t = math.radians(a + (b - a) * i / steps)
            pts.append((cx + rad * math.cos(t), cy - rad * math.sin(t)))
        return pts
    ro, ri = r + w / 2.0, r - w / 2.0
    outer = ring(ro, t0, t1)
    inner = ring(ri, t1, t0)
    pts = []
    if bottom is not None and t0 == 180.0:
        pts.append((cx - ro, bottom))
    pts += outer
    if bottom is not None and t1 == 0.0:
        pts += [(cx + ro, bottom), (cx + ri, bottom)]
    pts += inner
    if bottom is not None and t0 == 180.0:
        pts.append((cx - ri, bottom))
    return "polygon " + " ".join(f"{px:.2f},{py:.2f}" for px, py in pts)


# --------------------------------------------------------------------------
# 1. lock.jpg: the guard screen, 756 x 374
# --------------------------------------------------------------------------

# The program lays a password edit over this rectangle (pixels, inclusive).
FIELD = (128, 180, 328, 200)


def make_lock(out, tmp):
    w, h = 756, 374
    fx0, fy0, fx1, fy1 = FIELD
    bg = tmp / "lock_bg.png"
    # Dark, slightly blue-grey vertical gradient with a faint red glow on the
    # right behind the padlock.
    convert("-size", f"{w}x{h}", "gradient:#1c2533-#0b0f16", bg)
    glow = tmp / "lock_glow.png"
    convert("-size", "360x360", "radial-gradient:#4a1414-#000000", glow)

    cmds = []
    # thin accent stripes top and bottom
    cmds += ["fill '#b3261e'", "rectangle 0,0 755,5",
             "fill '#26303f'", "rectangle 0,334 755,373",
             "fill '#b3261e'", "rectangle 0,334 755,335"]
    # separator between text column and padlock
    cmds += ["fill '#2c3646'", "rectangle 505,40 506,300"]
    # padlock on the right
    cmds += padlock_mvg(548, 58, 1.75)
    # password field: light plate with a sunken border
    cmds += [
        "stroke none", "fill '#3a4556'",
        f"rectangle {fx0 - 4},{fy0 - 4} {fx1 + 4},{fy1 + 4}",
        "fill '#0a0d12'",
        f"rectangle {fx0 - 2},{fy0 - 2} {fx1 + 2},{fy1 + 2}",
        "fill '#f4f6f9'",
        f"rectangle {fx0 - 1},{fy0 - 1} {fx1 + 1},{fy1 + 1}",
    ]

    text = [
        # (font, size, colour, gravity-free x, baseline y, text)
        (FONT_BOLD, 44, "#ffffff", 40, 78, "Kestrova"),
        (FONT, 15, "#e05a4f", 43, 104, "ANTI-THEFT ALARM  \u2022  ARMED"),
        (FONT, 15, "#d5dbe4", 40, 138,
         "This computer is protected by an alarm."),
        (FONT, 15, "#d5dbe4", 40, 160,
         "Enter the unlock password to disarm it."),
        (FONT_BOLD, 13, "#ffffff", 42, 195, "Password:"),
        (FONT, 12, "#8c97a8", fx0, 226,
         "Type the password, then press Enter."),
        (FONT, 12, "#9aa4b3", 40, 359,
         "Unplugging, moving or switching off this computer may sound the siren."),
    ]
    targs = []
    for font, size, colour, tx, ty, s in text:
        targs += ["-font", font, "-pointsize", size, "-fill", colour,
                  "-annotate", f"+{tx}+{ty}", s]

    convert(bg, glow, "-geometry", "+450-0", "-compose", "screen",
            "-composite", "-compose", "over",
            "-stroke", "none", *draw_args(cmds), *targs,
            *NO_META, "-sampling-factor", "4:2:0", "-interlace", "none",
            "-quality", "85", "-type", "TrueColor", out)


# --------------------------------------------------------------------------
# 2. warning.png: headphones with a red prohibition sign, 102 x 107
# --------------------------------------------------------------------------

def make_warning(out, tmp):
    # Draw at 4x and scale down for clean anti-aliasing.
    k = 4
    w, h = 102 * k, 107 * k
    cx, cy, r = 51 * k, 56 * k, 44 * k

    def p(v):
        return f"{v * k:.1f}"

    cmds = [
        # soft white disc behind everything
        "stroke none", "fill '#ffffff'",
        f"circle {cx},{cy} {cx + r + 2 * k},{cy}",
        # headband
        "fill '#2d3440'",
        arch(51 * k, 56 * k, 27 * k, 6 * k, 66 * k),
        # ear cups
        f"roundrectangle {p(15)},{p(58)} {p(33)},{p(86)} {p(6)},{p(6)}",
        f"roundrectangle {p(69)},{p(58)} {p(87)},{p(86)} {p(6)},{p(6)}",
        "fill '#5c6678'",
        f"roundrectangle {p(19)},{p(62)} {p(29)},{p(82)} {p(4)},{p(4)}",
        f"roundrectangle {p(73)},{p(62)} {p(83)},{p(82)} {p(4)},{p(4)}",
        # prohibition ring and bar
        "fill none", "stroke '#d7261e'", f"stroke-width {p(8)}",
        f"circle {cx},{cy} {cx + r - 4 * k},{cy}",
        "stroke-linecap butt",
        f"line {cx - 0.707 * (r - 4 * k):.1f},{cy - 0.707 * (r - 4 * k):.1f} "
        f"{cx + 0.707 * (r - 4 * k):.1f},{cy + 0.707 * (r - 4 * k):.1f}",
    ]
    # small "!" badge, top right
    cmds += ["stroke '#ffffff'", f"stroke-width {p(1.5)}", "fill '#f2b01e'",
             f"circle {p(86)},{p(15)} {p(99)},{p(15)}"]
    convert("-size", f"{w}x{h}", "xc:none", *draw_args(cmds),
            "-font", FONT_BOLD, "-pointsize", 17 * k, "-fill", "#2d2100",
            "-stroke", "none", "-gravity", "northwest",
            "-annotate", f"+{81 * k}+{1 * k}", "!",
            "-filter", "Lanczos", "-resize", "102x107!",
            *NO_META, *PNG_NO_META, "-define", "png:color-type=6",
            "-define", "png:bit-depth=8", f"PNG32:{out}")


# --------------------------------------------------------------------------
# 3. banner.bmp: 150 x 144, 24 bpp BI_RGB, written by hand
# --------------------------------------------------------------------------

def write_bmp24(path, width, height, rgb):
    stride = (width * 3 + 3) & ~3
    pad = b"\0" * (stride - width * 3)
    rows = []
    for y in range(height - 1, -1, -1):            # bottom-up
        row = rgb[y * width * 3:(y + 1) * width * 3]
        bgr = bytearray(row)
        bgr[0::3], bgr[2::3] = row[2::3], row[0::3]
        rows.append(bytes(bgr) + pad)
    pixels = b"".join(rows)
    header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0,
                       len(pixels), 2835, 2835, 0, 0)
    Path(path).write_bytes(header + info + pixels)


def make_banner(out, tmp):
    w, h = 150, 144
    k = 3
    W, H = w * k, h * k
    cmds = []
    # shield in the upper part, with a soft drop shadow
    def shield(half, top, tip, dx=0.0, dy=0.0):
        cx, cy = 75 * k + dx * k, 12 * k + dy * k

        def S(px, py):
            return f"{cx + px * k:.1f},{cy + py * k:.1f}"
        return (f"path 'M {S(0, top)} L {S(half, top + 10)} "
                f"L {S(half, 44)} "
                f"C {S(half, 72 - (42 - half))} {S(half / 2, 88 - (42 - half) / 2)} "
                f"{S(0, tip)} "
                f"C {S(-half / 2, 88 - (42 - half) / 2)} "
                f"{S(-half, 72 - (42 - half))} {S(-half, 44)} "
                f"L {S(-half, top + 10)} Z'")

    cmds += ["stroke none", "fill '#0a0f17'", shield(42, 0, 98, 2, 3),
             "fill '#b3261e'", shield(42, 0, 98),
             "fill '#1f2a3a'", shield(36, 6, 91)]
    cmds += padlock_mvg(75 * k - 27 * k, 28 * k, 0.54 * k)

    bg = tmp / "banner_bg.png"
    convert("-size", f"{W}x{H}", "gradient:#2b3749-#111821", bg)
    big = tmp / "banner_big.png"
    convert(bg, *draw_args(cmds),
            "-font", FONT_BOLD, "-pointsize", 25 * k, "-fill", "#ffffff",
            "-gravity", "north", "-annotate", f"+0+{110 * k}", "Kestrova",
            "-filter", "Lanczos", "-resize", f"{w}x{h}!",
            *NO_META, *PNG_NO_META, big)
    write_bmp24(out, w, h, raw_pixels(big, w, h, "rgb"))


# --------------------------------------------------------------------------
# 6. kestrova.ico: 16, 32, 48, 256; small sizes as 32-bit DIBs, 256 as PNG
# --------------------------------------------------------------------------

def icon_master(path, size):
    """Render the icon design at `size` pixels (drawn at 4x, scaled)."""
    k = 4 if size < 256 else 2
    n = size * k
    u = n / 128.0                                   # design units: 128 box

    def q(v):
        return f"{v * u:.2f}"

    cmds = ["stroke none", "fill '#b3261e'",
            f"roundrectangle {q(4)},{q(4)} {q(124)},{q(124)} {q(26)},{q(26)}",
            "fill '#1f2a3a'",
            f"roundrectangle {q(10)},{q(10)} {q(118)},{q(118)} {q(21)},{q(21)}"]
    if size <= 16:
        # fewer, bolder shapes so the glyph stays readable at 16 px
        cmds += ["fill '#d5dae1'",
                 arch(64 * u, 48 * u, 24 * u, 16 * u, 64 * u),
                 "fill '#f2b01e'",
                 f"rectangle {q(24)},{q(60)} {q(104)},{q(110)}",
                 "fill '#2a1d08'",
                 f"rectangle {q(56)},{q(72)} {q(72)},{q(98)}"]
    else:
        cmds += padlock_mvg(24 * u, 10 * u, 0.8 * u)
    convert("-size", f"{n}x{n}", "xc:none", *draw_args(cmds),
            "-filter", "Lanczos", "-resize", f"{size}x{size}!",
            *NO_META, *PNG_NO_META, f"PNG32:{path}")


def png_bytes_from_rgba(width, height, rgba):
    """A minimal PNG (IHDR, IDAT, IEND) -- no ancillary chunks at all."""
    def chunk(tag, data):
        return (struct.pack(">I", len(data)) + tag + data +
                struct.pack(">I", zlib.crc32(tag + data) & 0xffffffff))
    stride = width * 4
    raw = b"".join(b"\0" + rgba[y * stride:(y + 1) * stride]
                   for y in range(height))
    ihdr = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def dib_from_rgba(size, rgba):
    """Icon image as BITMAPINFOHEADER + 32-bit BGRA XOR + 1-bit AND mask."""
    xor = bytearray()
    mask = bytearray()
    mstride = ((size + 31) // 32) * 4
    for y in range(size - 1, -1, -1):
        row = rgba[y * size * 4:(y + 1) * size * 4]
        bits = bytearray(mstride)
        for x in range(size):
            r, g, b, a = row[x * 4:x * 4 + 4]
            xor += bytes((b, g, r, a))
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    hdr = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0,
                      len(xor) + len(mask), 0, 0, 0, 0)
    return hdr + bytes(xor) + bytes(mask)


def make_icon(out, tmp):
    images = []
    for size in (16, 32, 48, 256):
        png = tmp / f"icon{size}.png"
        icon_master(png, size)
        rgba = raw_pixels(png, size, size, "rgba")
        data = (png_bytes_from_rgba(size, size, rgba) if size >= 256
                else dib_from_rgba(size, rgba))
        images.append((size, data))
    head = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b""
    blobs = b""
    for size, data in images:
        dim = 0 if size >= 256 else size
        entries += struct.pack("<BBBBHHII", dim, dim, 0, 0, 1, 32,
                               len(data), offset + len(blobs))
        blobs += data
    Path(out).write_bytes(head + entries + blobs)


# --------------------------------------------------------------------------
# 4. siren.wav: seamless 8-bit wail loop, exactly 42,462 bytes
# --------------------------------------------------------------------------

WAV_RATE = 22050
WAV_SAMPLES = 42418            # 44-byte header + 42418 = 42462 bytes


def siren_samples():
    n = WAV_SAMPLES
    # One full wail (up and back down) per loop: f(t) = fc - dev*cos(2 pi t/T).
    # The cosine term sums to zero over the loop, so the total phase is
    # 2 pi * fc * n / rate; fc is chosen to make that a whole number of cycles
    # and the waveform continues through the seam without a jump.
    cycles = round(1000.0 * n / WAV_RATE)
    fc = cycles * WAV_RATE / n                      # ~1000 Hz
    dev = 400.0                                     # 600 .. 1400 Hz
    # A little 2nd and 3rd harmonic plus gentle saturation give the harsh,
    # penetrating timbre of a siren while keeping the spectrum well below
    # the Nyquist limit.  The harmonics are phased so the wave crosses the
    # midline with a moderate slope at phase 0, where the file starts and
    # the loop joins.
    xs = []
    phase = 0.0
    for i in range(n):
        xs.append(math.sin(phase) - 0.25 * math.sin(2 * phase) +
                  0.12 * math.sin(3 * phase))
        f = fc - dev * math.cos(2 * math.pi * i / n)
        phase = math.fmod(phase + 2 * math.pi * f / WAV_RATE, 2 * math.pi)
    peak = max(abs(x) for x in xs)
    drive = 1.2
    norm = math.tanh(drive)
    out = bytearray(n)
    for i, x in enumerate(xs):
        v = int(round(128 + 126 * math.tanh(drive * x / peak) / norm))
        out[i] = min(255, max(0, v))
    return bytes(out)


def make_siren(out, tmp):
    data = siren_samples()
    # Written with struct (not the wave module) so every header field is
    # exactly the canonical 44-byte layout.
    header = (b"RIFF" + struct.pack("<I", 36 + len(data)) + b"WAVE" +
              b"fmt " + struct.pack("<IHHIIHH", 16, 1, 1, WAV_RATE,
                                    WAV_RATE, 1, 8) +
              b"data" + struct.pack("<I", len(data)))
    Path(out).write_bytes(header + data)
    assert os.path.getsize(out) == 42462, os.path.getsize(out)
    with wave.open(str(out), "rb") as wf:              # sanity re-read
        assert (wf.getnchannels(), wf.getsampwidth(), wf.getframerate(),
                wf.getnframes()) == (1, 1, WAV_RATE, WAV_SAMPLES)


# --------------------------------------------------------------------------
# 5. eula.txt: exactly 4,374 bytes, ASCII, CR LF
# --------------------------------------------------------------------------

EULA_SIZE = 4374
EULA_WIDTH = 72

EULA_TITLE = [
    "KESTROVA END-USER LICENCE AGREEMENT",
    "Kestrova - a free anti-theft alarm for laptops",
]

EULA_SECTIONS = [
    (None,
     "Please read this agreement carefully before installing or using "
     "Kestrova (the \"Software\"). By installing, copying or using the "
     "Software you agree to be bound by these terms. If you do not agree, "
     "do not install or use the Software and remove any copies you have."),
    ("1. GRANT OF LICENCE",
     "The authors of Kestrova grant you a non-exclusive, non-transferable "
     "licence to install and use the Software on any number of computers "
     "that you own or are authorised to administer. You may make copies of "
     "the unmodified installation package and give them to others, provided "
     "that this agreement accompanies every copy and no fee is charged for "
     "it. All rights not expressly granted here are reserved by the "
     "authors."),
    ("2. FREE OF CHARGE",
     "The Software is provided free of charge. No payment is required to "
     "download, install or use its alarm functions. The optional SMS "
     "notification service may be subject to separate charges from the "
     "service operator or your mobile carrier, which are not covered by "
     "this agreement. The Software contains no advertising and does not "
     "install any other programs."),
    ("3. NO WARRANTY",
     "THE SOFTWARE IS PROVIDED \"AS IS\", WITHOUT WARRANTY OF ANY KIND, "
     "EXPRESS OR IMPLIED, INCLUDING BUT NOT LIMITED TO THE WARRANTIES OF "
     "MERCHANTABILITY, FITNESS FOR A PARTICULAR PURPOSE AND "
     "NON-INFRINGEMENT. The authors do not warrant that the Software will "
     "be free of errors, that it will run without interruption, or that it "
     "will detect every attempt to move, unplug or open your computer."),
    ("4. LIMITATION OF LIABILITY",
     "An alarm can deter a thief but cannot guarantee that your computer "
     "will not be stolen. The Software may fail to sound, may be silenced, "
     "or may be defeated by a determined person, a flat battery or a fault "
     "in your hardware. In no event shall the authors be liable for the "
     "loss or theft of any equipment or data, or for any direct, indirect, "
     "incidental or consequential damages arising from the use of, or "
     "inability to use, the Software."),
    (None,
     "The siren is deliberately loud. Do not wear headphones or "
     "earphones while the alarm is armed, and keep the computer away from "
     "your ears when testing it. Loud sound can harm hearing. You use the "
     "siren at your own risk and are responsible for complying with any "
     "local rules about noise."),
    ("5. YOUR RESPONSIBILITIES",
     "You are responsible for choosing an unlock password that you will "
     "remember and for keeping it secret. If you forget it, you may be "
     "unable to silence the alarm without shutting the computer down. You "
     "must "
     "not use the Software to disturb other people, to monitor anyone "
     "without their consent, or in any way that breaks the law."),
    ("6. PRIVACY",
     "Unless you sign in to the optional SMS service, the alarm works "
     "entirely on your computer and sends nothing over the network. If you "
     "do sign in, the Software transmits your account name and brief alarm "
     "notices (for example, that the alarm was armed or triggered and at "
     "what time) to the service operator so that a text message can be "
     "sent to you. No files, passwords or other personal content are "
     "collected. You may stop this transmission at any time by signing out "
     "of the SMS service in the settings."),
    ("7. TERMINATION",
     "This licence remains in effect until terminated. It terminates "
     "automatically if you fail to comply with any of its terms. You may "
     "terminate it at any time by uninstalling the Software and destroying "
     "all copies in your possession. Sections 3, 4 and 6 survive "
     "termination."),
    ("8. GOVERNING TERMS",
     "This agreement is the entire agreement between you and the authors "
     "concerning the Software and supersedes any prior statements. If any "
     "provision is held to be unenforceable, the remaining provisions stay "
     "in full force. The authors may publish revised versions of this "
     "agreement with future releases of the Software; the version supplied "
     "with the copy you install applies to that copy."),
]

EULA_CLOSING = ("By accepting this agreement you confirm that you have read "
                "and understood it and accept its terms. If you do not "
                "agree, do not install or use the Software.")


def eula_text():
    crlf = "\r\n"
    rule = "=" * EULA_WIDTH
    lines = [rule] + [t.center(EULA_WIDTH).rstrip() for t in EULA_TITLE]
    lines += [rule, ""]
    for heading, body in EULA_SECTIONS:
        if heading:
            lines += [heading, ""]
        lines += textwrap.wrap(body, EULA_WIDTH) + [""]
    lines += textwrap.wrap(EULA_CLOSING, EULA_WIDTH) + [""]
    body = crlf.join(lines) + crlf
    # Close with a rule sized so the file is exactly EULA_SIZE bytes.
    room = EULA_SIZE - len(body) - len(crlf)
    assert 8 <= room <= EULA_WIDTH, f"adjust the text: rule would be {room}"
    text = body + "=" * room + crlf
    data = text.encode("ascii")
    assert len(data) == EULA_SIZE, len(data)
    return data


def make_eula(out, tmp):
    data = eula_text()
    assert b"\0" not in data and max(data) < 0x80
    assert data.count(b"\n") == data.count(b"\r\n") == data.count(b"\r")
    Path(out).write_bytes(data)


# --------------------------------------------------------------------------

def main(argv):
    out_dir = Path(argv[1]) if len(argv) > 1 else ROOT / "resources"
    out_dir.mkdir(parents=True, exist_ok=True)
    with tempfile.TemporaryDirectory(prefix="kestrova-assets-") as t:
        tmp = Path(t)
        make_eula(out_dir / "eula.txt", tmp)
        make_siren(out_dir / "siren.wav", tmp)
        make_lock(out_dir / "lock.jpg", tmp)
        make_warning(out_dir / "warning.png", tmp)
        make_banner(out_dir / "banner.bmp", tmp)
        make_icon(out_dir / "kestrova.ico", tmp)
    for name in ("lock.jpg", "warning.png", "banner.bmp", "siren.wav",
                 "eula.txt", "kestrova.ico"):
        print(f"{name:14s} {os.path.getsize(out_dir / name):7d} bytes")


if __name__ == "__main__":
    main(sys.argv)
