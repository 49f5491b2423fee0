"""Checks the formats and sizes of the files in resources/ by reading their
headers directly (standard library only).

Run from the repository root:  python3 -m unittest tests/unit/test_assets.py
"""

import struct
import unittest
from pathlib import Path

RES = Path(__file__).resolve().parents[2] / "resources"


def read(name):
    return (RES / name).read_bytes()


def jpeg_size(data):
    """(width, height) from the first SOF0/SOF1/SOF2 segment."""
    if data[:2] != b"\xff\xd8":
        raise ValueError("no SOI marker")
    i = 2
    while i + 4 <= len(data):
        if data[i] != 0xFF:
            raise ValueError(f"bad marker at {i}")
        marker = data[i + 1]
        if marker == 0xFF:            # fill byte
            i += 1
            continue
        if marker in (0x01,) or 0xD0 <= marker <= 0xD7:
            i += 2
            continue
        length = struct.unpack(">H", data[i + 2:i + 4])[0]
        if marker in (0xC0, 0xC1, 0xC2):
            height, width = struct.unpack(">HH", data[i + 5:i + 9])
            return width, height
        if marker in (0xD9, 0xDA):
            break
        i += 2 + length
    raise ValueError("no SOF marker")


class AssetTests(unittest.TestCase):

    def test_lock_jpeg(self):
        data = read("lock.jpg")
        self.assertEqual(data[:3], b"\xff\xd8\xff")
        self.assertEqual(data[-2:], b"\xff\xd9")
        self.assertEqual(jpeg_size(data), (756, 374))
        self.assertLess(len(data), 80 * 1024)

    def test_warning_png(self):
        data = read("warning.png")
        self.assertEqual(data[:8], b"\x89PNG\r\n\x1a\n")
        length, tag = struct.unpack(">I4s", data[8:16])
        self.assertEqual((length, tag), (13, b"IHDR"))
        width, height = struct.unpack(">II", data[16:24])
        self.assertEqual((width, height), (102, 107))
        self.assertNotIn(b"tIME", data)

    def test_banner_bmp(self):
        data = read("banner.bmp")
        self.assertEqual(data[:2], b"BM")
        file_size, _, _, offset = struct.unpack("<IHHI", data[2:14])
        self.assertEqual(file_size, len(data))
        (hdr_size, width, height, planes, bpp,
         compression) = struct.unpack("<IiiHHI", data[14:34])
        self.assertEqual(hdr_size, 40)          # BITMAPINFOHEADER
        self.assertEqual(width, 150)
        self.assertEqual(abs(height), 144)
        self.assertEqual(planes, 1)
        self.assertEqual(bpp, 24)
        self.assertEqual(compression, 0)        # BI_RGB
        stride = (150 * 3 + 3) & ~3
        self.assertGreaterEqual(len(data), offset + stride * 144)

    def _siren(self):
        data = read("siren.wav")
        self.assertEqual(len(data), 42462)
        self.assertEqual(data[0:4], b"RIFF")
        self.assertEqual(struct.unpack("<I", data[4:8])[0], 42454)
        self.assertEqual(data[8:12], b"WAVE")
        self.assertEqual(data[12:16], b"fmt ")
        (fmt_len, fmt, channels, rate, byte_rate, align,
         bits) = struct.unpack("<IHHIIHH", data[16:36])
        self.assertEqual(fmt_len, 16)
        self.assertEqual(fmt, 1)                # PCM
        self.assertEqual(channels, 1)
        self.assertEqual(rate, 22050)
        self.assertEqual(bits, 8)
        self.assertEqual(byte_rate, 22050)
        self.assertEqual(align, 1)
        self.assertEqual(data[36:40], b"data")
        self.assertEqual(struct.unpack("<I", data[40:44])[0], 42418)
        return data[44:]

    def test_siren_wave_format(self):
        self._siren()

    def test_siren_loud_and_loops_cleanly(self):
        s = self._siren()
        mean_dev = sum(abs(v - 128) for v in s) / len(s)
        self.assertGreater(mean_dev, 60)
        self.assertGreaterEqual(max(s), 240)
        self.assertLessEqual(min(s), 15)
        # The loop seam (last sample -> first sample) must not jump more
        # than a normal step of the waveform does, and stays small.
        seam = abs(s[0] - s[-1])
        max_step = max(abs(s[i + 1] - s[i]) for i in range(len(s) - 1))
        self.assertLessEqual(seam, 40)
        self.assertLessEqual(seam, max_step)
        # It really oscillates: many midline crossings over the loop.
        crossings = sum(1 for i in range(len(s) - 1)
                        if (s[i] < 128) != (s[i + 1] < 128))
        self.assertGreater(crossings, 2 * 500)

    def test_eula_text(self):
        data = read("eula.txt")
        self.assertEqual(len(data), 4374)
        self.assertTrue(all(b < 0x80 for b in data))
        self.assertNotIn(b"\0", data)
        for i, b in enumerate(data):
            if b == 0x0A:
                self.assertTrue(i > 0 and data[i - 1] == 0x0D,
                                f"lone LF at {i}")
            elif b == 0x0D:
                self.assertTrue(i + 1 < len(data) and data[i + 1] == 0x0A,
                                f"lone CR at {i}")
        self.assertIn(b"Kestrova", data)

    def test_icon(self):
        data = read("kestrova.ico")
        reserved, kind, count = struct.unpack("<HHH", data[:6])
        self.assertEqual(reserved, 0)
        self.assertEqual(kind, 1)
        sizes = set()
        for n in range(count):
            w, h, _, _, _, _, length, offset = struct.unpack(
                "<BBBBHHII", data[6 + 16 * n:22 + 16 * n])
            self.assertLessEqual(offset + length, len(data))
            sizes.add((w or 256, h or 256))
        for size in (16, 32, 48, 256):
            self.assertIn((size, size), sizes)


if __name__ == "__main__":
    unittest.main()
