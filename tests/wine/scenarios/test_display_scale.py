"""Display scaling under Wine: at 144 DPI (150 %) the lock picture is drawn
scaled with the guard dialog, so it covers the dialog edge to edge."""

import os
import subprocess
import tempfile

import kwine
from test_guard import DESKTOP, GUARD, GuardScenario

SCALED_DPI = 144
# Colour tolerance per channel: the picture is a JPEG, resampled.
TOLERANCE = 48
PICTURE = os.path.join(kwine.SOURCE_DIR, "resources", "lock.jpg")
INSET = 4


def pixel(image, x, y):
    """(r, g, b) of one pixel of an image file, by ImageMagick."""
    out = subprocess.run(["convert", image, "-format", f"%[fx:int(255*p{{{x},{y}}}.r)],"
                          f"%[fx:int(255*p{{{x},{y}}}.g)],%[fx:int(255*p{{{x},{y}}}.b)]", "info:"],
                         capture_output=True, text=True, check=True).stdout
    return tuple(int(v) for v in out.split(","))


def near(a, b):
    return all(abs(p - q) <= TOLERANCE for p, q in zip(a, b))


class DisplayScale(GuardScenario):

    def setUp(self):
        super().setUp()
        kwine.set_dpi(SCALED_DPI)
        self.addCleanup(kwine.set_dpi, 96)

    def test_the_lock_picture_covers_the_guard_dialog_at_150_percent(self):
        program = self.start_main(kwine.FLAG_DAILY_UPDATE_CHECK, password="abc")
        self.lock()
        left, top, right, bottom = map(int, kwine.driver("window-rect", GUARD, desktop=DESKTOP).split())
        # 504 x 230 dialog units: about 756 x 374 pixels at 96 DPI.
        self.assertGreater(right - left, 756 * 5 // 4)
        self.assertGreater(bottom - top, 374 * 5 // 4)
        with tempfile.TemporaryDirectory() as scratch:
            screen = os.path.join(scratch, "screen.png")
            self.assertTrue(kwine.until(lambda: self.painted(screen, left, top), timeout=10))
            # Each corner of the client area beside the same corner of the
            # picture (the dialog is its size to within a few per cent).
            corners = [(left + INSET, top + INSET, INSET, INSET),
                       (right - 1 - INSET, top + INSET, 755 - INSET, INSET),
                       (left + INSET, bottom - 1 - INSET, INSET, 373 - INSET),
                       (right - 1 - INSET, bottom - 1 - INSET, 755 - INSET, 373 - INSET)]
            for x, y, px, py in corners:
                shown, expected = pixel(screen, x, y), pixel(PICTURE, px, py)
                self.assertTrue(near(shown, expected), f"({x}, {y}) shows {shown}, the picture has {expected}")
        self.unlock("abc")
        self.close_main(program)

    def painted(self, screen, left, top):
        kwine.screenshot(screen)
        return near(pixel(screen, left + INSET, top + INSET), pixel(PICTURE, INSET, INSET))


if __name__ == "__main__":
    import unittest
    unittest.main()
