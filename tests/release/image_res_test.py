"""image_res_test.py RESOURCE-COMPILER: the logo resource file command
(tools/image_res.py, make image-res) and the logo conversion it shares with
make release (tools/logo_image.py).

Its plain file is what the MinGW resource compiler makes of the same bitmap
under the updater's language; its compressed file carries the whole bitmap
file in the container. A PNG, JPEG or GIF picture is converted to a BMP file
that can be carried, 8-bit with its own palette or 24-bit, transparency
flattened onto the window colour. A logo that cannot be carried is refused
with its reason, and nothing is written.
"""
import io
import struct
import subprocess
import sys
import tempfile
import unittest
import zlib
from pathlib import Path

from PIL import Image

REPOSITORY = Path(__file__).resolve().parent.parent.parent
sys.path.insert(0, str(REPOSITORY / "tools"))
import bmp_file  # noqa: E402
import logo_image  # noqa: E402
import zcontainer  # noqa: E402

TOOL = REPOSITORY / "tools" / "image_res.py"
SEEDS = Path(__file__).resolve().parent / "corpus" / "bitmap" / "seeds"
RESOURCE_COMPILER = sys.argv.pop(1) if len(sys.argv) > 1 else "i686-w64-mingw32-windres"
DEFAULT_LOGO = REPOSITORY / "resources" / "bitmaps" / "LOGO.bmp"
LOGOS = [DEFAULT_LOGO, SEEDS / "4-bit-2x2.bmp", SEEDS / "rle8-4x2.bmp", SEEDS / "top-down-32-bit-v5-1x2.bmp"]
WINDOW = logo_image.WINDOW_COLOUR


def translucent_picture():
    """400 x 100 RGBA: a transparent left quarter, a half-transparent band,
    the rest opaque; 31 colours after flattening, which an 8-bit conversion
    keeps exactly."""
    picture = Image.new("RGBA", (400, 100))
    picture.putdata([(x // 10 * 6, 200 - x // 10 * 4, 90, 0 if x < 100 else 128 if x < 200 else 255)
                     for _ in range(100) for x in range(400)])
    return picture


def encoded(picture, kind, **options):
    out = io.BytesIO()
    picture.save(out, kind, **options)
    return out.getvalue()


def png_header_only(width, height):
    """A PNG file whose header declares the size, with no pixels to speak of."""
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(b"\0" * 16)) + chunk(b"IEND", b""))


def flattened(colour, alpha):
    return tuple(round((c * alpha + w * (255 - alpha)) / 255) for c, w in zip(colour, WINDOW))


class ImageRes(unittest.TestCase):
    def setUp(self):
        self.scratch = tempfile.TemporaryDirectory(prefix="image-res-test-")
        self.folder = Path(self.scratch.name)

    def tearDown(self):
        self.scratch.cleanup()

    def run_tool(self, *arguments):
        return subprocess.run([sys.executable, str(TOOL), *map(str, arguments)], stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE, text=True)

    def picture_file(self, name, data):
        path = self.folder / name
        path.write_bytes(data)
        return path

    def test_the_plain_file_is_the_resource_compilers(self):
        png = self.picture_file("logo.png", encoded(translucent_picture(), "PNG"))
        converted = self.picture_file("converted.bmp", logo_image.read_logo(png).bitmap)
        for logo, bitmap in [(logo, logo) for logo in LOGOS] + [(png, converted)]:
            with self.subTest(logo=logo.name):
                script = self.folder / "logo.rc"
                script.write_text(f'LANGUAGE 0x11, 0x01\nLOGO BITMAP "{bitmap}"\n')
                compiled = self.folder / "compiled.res"
                subprocess.run([RESOURCE_COMPILER, "-O", "res", "-i", str(script), "-o", str(compiled)], check=True)
                made = self.folder / "Image.res"
                done = self.run_tool(logo, made)
                self.assertEqual(done.returncode, 0, done.stderr)
                self.assertEqual(made.read_bytes(), compiled.read_bytes())

    def test_the_compressed_file_holds_the_whole_bitmap_file(self):
        logo = DEFAULT_LOGO.read_bytes()
        made = self.folder / "Image.res"
        done = self.run_tool("--compress", DEFAULT_LOGO, made)
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertEqual(done.stdout.splitlines(), [
            f"{DEFAULT_LOGO}: a BMP file carried as it is",
            f"{made}: bitmap LOGO, 370 x 251, 8 bits per pixel, {made.stat().st_size:,} bytes (compressed)"])
        data = made.read_bytes()
        # The empty entry, then the bitmap LOGO.
        self.assertEqual(data[:32], struct.pack("<II", 0, 32) + b"\xff\xff\0\0\xff\xff\0\0" + b"\0" * 16)
        size, header = struct.unpack_from("<II", data, 32)
        self.assertEqual(data[40:54], b"\xff\xff\x02\0" + "LOGO".encode("utf-16-le") + b"\0\0")
        self.assertEqual(zcontainer.unpack(data[32 + header:32 + header + size]), logo)
        self.assertLess(len(data), len(logo) // 3)

    def assert_shows(self, bitmap, expected, tolerance=0):
        """The BMP file shows the expected RGB picture, each channel within
        the tolerance on average (a dithered palette strays further at single
        pixels)."""
        bmp_file.read_bitmap_info(bitmap)
        shown = Image.open(io.BytesIO(bitmap)).convert("RGB")
        self.assertEqual(shown.size, expected.size)
        errors = [abs(a - b) for p, q in zip(shown.getdata(), expected.getdata()) for a, b in zip(p, q)]
        self.assertLessEqual(sum(errors) / len(errors) if tolerance else max(errors), tolerance)

    def test_transparency_is_flattened_onto_the_window_colour(self):
        picture = translucent_picture()
        expected = Image.new("RGB", picture.size)
        expected.putdata([flattened(rgba[:3], rgba[3]) for rgba in picture.getdata()])
        png = encoded(picture, "PNG")
        for colours, bits in ((256, 8), (24, 24)):
            with self.subTest(colours=colours):
                logo = logo_image.carriable_logo(png, colours)
                self.assertEqual(logo.info.bits_per_pixel, bits)
                self.assertIn("transparency flattened onto the window colour RGB(240, 240, 240)", logo.how)
                # Rounding may differ by one from the formula, nothing more.
                shown = Image.open(io.BytesIO(logo.bitmap)).convert("RGB")
                self.assertLessEqual(max(abs(a - b) for p, q in zip(shown.getdata(), expected.getdata())
                                         for a, b in zip(p, q)), 1)
        self.assertIn("its 31 colours exactly in the palette", logo_image.carriable_logo(png).how)

    def test_pictures_of_each_format_are_converted(self):
        rich = Image.new("RGB", (360, 120))
        rich.putdata([(x * 255 // 359, y * 2, 255 - x // 2) for y in range(120) for x in range(360)])
        frames = [Image.new("P", (330, 70), 3), Image.new("P", (330, 70), 7)]
        # A bitmap whose pixels do not follow its colour table.
        bitmap = bytearray(encoded(rich.convert("P"), "BMP"))
        offset = struct.unpack_from("<I", bitmap, 10)[0]
        bitmap[offset:offset] = bytes(16)
        struct.pack_into("<II", bitmap, 2, len(bitmap), 0)
        struct.pack_into("<I", bitmap, 10, offset + 16)
        cases = [
            (bytes(bitmap), 256, f"a BMP file that cannot be carried as it is (its pixels start at byte {offset + 16}, "
                                 f"not right after the colour table at byte {offset}) converted to an 8-bit BMP file", 0),
            (encoded(rich, "PNG"), 256, "a PNG picture converted to an 8-bit BMP file, an adaptive palette", 6),
            (encoded(rich, "PNG"), 24, "a PNG picture converted to a 24-bit BMP file", 0),
            (encoded(rich, "JPEG", quality=95), 24, "a JPEG picture converted to a 24-bit BMP file", 0),
            (encoded(frames[0], "GIF", save_all=True, append_images=frames[1:]), 256,
             "a GIF picture converted to an 8-bit BMP file, its 1 colour exactly in the palette, "
             "the first of its 2 frames", 0),
        ]
        for data, colours, how, tolerance in cases:
            with self.subTest(how=how):
                logo = logo_image.carriable_logo(data, colours)
                self.assertTrue(logo.how.startswith(how), logo.how)
                expected = Image.open(io.BytesIO(data)).convert("RGB")
                self.assert_shows(logo.bitmap, expected, tolerance)
                self.assertEqual(logo.warnings, [])

    def test_a_logo_smaller_than_the_buttons_reach_is_written_with_a_warning(self):
        small = self.picture_file("small.png", encoded(Image.new("RGB", (200, 100), (9, 99, 199)), "PNG"))
        made = self.folder / "Image.res"
        done = self.run_tool("--colors", "24", small, made)
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertIn("bitmap LOGO, 200 x 100, 24 bits per pixel", done.stdout)
        self.assertIn("warning: the logo is 200 x 100 pixels, smaller than the buttons reach (326 x 63)",
                      done.stderr)

    def test_a_logo_that_cannot_be_carried_is_refused_and_nothing_is_written(self):
        cut = self.picture_file("cut.bmp", DEFAULT_LOGO.read_bytes()[:-100])
        broken_png = bytearray(encoded(translucent_picture(), "PNG"))
        broken_png[60:200] = bytes(140)
        cases = [
            (cut, [], "it holds 93272 bytes of pixels of the 93372 its header announces, and it holds fewer "
                      "bytes than its pixels need"),
            (TOOL, [], "it is not a PNG, JPEG, GIF or BMP picture"),
            (self.folder, [], "cannot be read: Is a directory"),
            (self.folder / "none.png", [], "does not exist"),
            (self.picture_file("empty.png", png_header_only(0, 40)), [], "it is 0 x 40 pixels: a side of 0"),
            (self.picture_file("huge.png", png_header_only(5000, 4000)), [],
             "it is 5,000 x 4,000 pixels, larger than the updater decodes (at most 16,777,216 pixels"),
            (self.picture_file("broken.png", bytes(broken_png)), [], "it cannot be decoded"),
            (DEFAULT_LOGO, ["--colors", "16"], "the colours (LOGO_COLORS) must be 256 or 24, not '16'"),
        ]
        made = self.folder / "Image.res"
        for logo, options, reason in cases:
            with self.subTest(logo=logo.name, reason=reason):
                done = self.run_tool(*options, logo, made)
                self.assertNotEqual(done.returncode, 0)
                self.assertIn(reason, done.stderr)
                self.assertIn("nothing was written", done.stderr)
                self.assertFalse(made.exists())
        self.assertFalse([p for p in self.folder.iterdir() if p.name.startswith(".")])


if __name__ == "__main__":
    unittest.main()
