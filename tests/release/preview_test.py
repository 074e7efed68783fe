"""preview_test.py BUILD: make preview's script (tools/preview.sh) on the
build given, without a display. With a PNG logo it writes both pictures:
the true-colour one shows the logo, its transparent corner flattened onto
the window colour, inside the window's frame; the 256-colour one is the
same window. A logo it cannot read writes neither."""
import os
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

from PIL import Image

REPOSITORY = Path(__file__).resolve().parent.parent.parent
BUILD = Path(sys.argv.pop(1)).resolve() if len(sys.argv) > 1 else Path.cwd()
WINDOW_COLOUR = (240, 240, 240)
# Rows of the logo above the buttons, which cover its lower part.
ROWS_ABOVE_THE_BUTTONS = 60


def logo_picture():
    """360 x 140 RGBA: 126 colours in bands, the top-left corner transparent;
    its 8-bit conversion is exact."""
    picture = Image.new("RGBA", (360, 140))
    picture.putdata([(x // 40 * 28, 200 - y // 10 * 8, 90, 0 if x < 40 and y < 30 else 255)
                     for y in range(140) for x in range(360)])
    return picture


def flattened(picture):
    shown = Image.new("RGBA", picture.size, WINDOW_COLOUR + (255,))
    shown.alpha_composite(picture)
    return shown.convert("RGB")


def preview(dist, logo):
    environment = {k: v for k, v in os.environ.items() if k != "DISPLAY"}
    return subprocess.run([str(REPOSITORY / "tools" / "preview.sh"), str(BUILD), str(dist), str(logo), "", ""],
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, env=environment)


def offset_of(part, whole):
    """Where the part shows inside the whole picture, or None."""
    for top in range(whole.height - part.height + 1):
        for left in range(whole.width - part.width + 1):
            if whole.crop((left, top, left + part.width, top + part.height)).tobytes() == part.tobytes():
                return left, top
    return None


class Preview(unittest.TestCase):
    def setUp(self):
        self.scratch = tempfile.TemporaryDirectory(prefix="preview-test-")
        self.folder = Path(self.scratch.name)

    def tearDown(self):
        self.scratch.cleanup()

    def test_a_png_logo_is_shown_in_both_pictures(self):
        picture = logo_picture()
        logo = self.folder / "logo.png"
        picture.save(logo)
        dist = self.folder / "dist"
        done = preview(dist, logo)
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertIn("transparency flattened onto the window colour", done.stdout)
        shown = Image.open(dist / "preview.png").convert("RGB")
        top = flattened(picture).crop((0, 0, picture.width, ROWS_ABOVE_THE_BUTTONS))
        left, frame_top = offset_of(top, shown) or (None, None)
        self.assertIsNotNone(left, "the logo is not in the preview")
        # The frame and caption around the client area.
        self.assertGreater(frame_top, 10)
        self.assertEqual(shown.size, (picture.width + 2 * left, picture.height + frame_top + left))
        self.assertIn(f"{dist}/preview.png (the main window, {shown.width} x {shown.height}", done.stdout)
        self.assertEqual(Image.open(dist / "preview-256-colours.png").size, shown.size)

    def test_a_logo_that_cannot_be_read_writes_nothing(self):
        dist = self.folder / "dist"
        done = preview(dist, self.folder / "none.png")
        self.assertNotEqual(done.returncode, 0)
        self.assertIn(f"the logo {self.folder / 'none.png'} does not exist", done.stderr)
        self.assertFalse(dist.exists())


if __name__ == "__main__":
    unittest.main()
