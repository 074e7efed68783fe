"""image_res_test.py RESOURCE-COMPILER: the logo resource file command
(tools/image_res.py, make image-res).

Its plain file is what the MinGW resource compiler makes of the same bitmap
under the updater's language; its compressed file carries the whole bitmap
file in the container; a bitmap that cannot be carried is refused with its
reason, and nothing is written.
"""
import struct
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

REPOSITORY = Path(__file__).resolve().parent.parent.parent
sys.path.insert(0, str(REPOSITORY / "tools"))
import zcontainer  # noqa: E402

TOOL = REPOSITORY / "tools" / "image_res.py"
SEEDS = Path(__file__).resolve().parent / "fuzz" / "seeds"
RESOURCE_COMPILER = sys.argv.pop(1) if len(sys.argv) > 1 else "i686-w64-mingw32-windres"
LOGOS = [REPOSITORY / "resources" / "bitmaps" / "LOGO.bmp", SEEDS / "4-bit-2x2.bmp", SEEDS / "rle8-4x2.bmp",
         SEEDS / "top-down-32-bit-v5-1x2.bmp"]


class ImageRes(unittest.TestCase):
    def setUp(self):
        self.scratch = tempfile.TemporaryDirectory(prefix="image-res-test-")
        self.folder = Path(self.scratch.name)

    def tearDown(self):
        self.scratch.cleanup()

    def run_tool(self, *arguments):
        return subprocess.run([sys.executable, str(TOOL), *map(str, arguments)], stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE, text=True)

    def test_the_plain_file_is_the_resource_compilers(self):
        for logo in LOGOS:
            with self.subTest(logo=logo.name):
                script = self.folder / "logo.rc"
                script.write_text(f'LANGUAGE 0x11, 0x01\nLOGO BITMAP "{logo}"\n')
                compiled = self.folder / "compiled.res"
                subprocess.run([RESOURCE_COMPILER, "-O", "res", "-i", str(script), "-o", str(compiled)], check=True)
                made = self.folder / "Image.res"
                done = self.run_tool(logo, made)
                self.assertEqual(done.returncode, 0, done.stderr)
                self.assertEqual(made.read_bytes(), compiled.read_bytes())

    def test_the_compressed_file_holds_the_whole_bitmap_file(self):
        logo = LOGOS[0].read_bytes()
        made = self.folder / "Image.res"
        done = self.run_tool("--compress", LOGOS[0], made)
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertIn("bitmap LOGO, 370 x 251, 8 bits per pixel", done.stdout)
        data = made.read_bytes()
        # The empty entry, then the bitmap LOGO.
        self.assertEqual(data[:32], struct.pack("<II", 0, 32) + b"\xff\xff\0\0\xff\xff\0\0" + b"\0" * 16)
        size, header = struct.unpack_from("<II", data, 32)
        self.assertEqual(data[40:54], b"\xff\xff\x02\0" + "LOGO".encode("utf-16-le") + b"\0\0")
        self.assertEqual(zcontainer.unpack(data[32 + header:32 + header + size]), logo)
        self.assertLess(len(data), len(logo) // 3)

    def test_a_bitmap_that_cannot_be_carried_is_refused_and_nothing_is_written(self):
        cut = self.folder / "cut.bmp"
        cut.write_bytes(LOGOS[0].read_bytes()[:-100])
        made = self.folder / "Image.res"
        for bitmap, reason in ((cut, "it holds"), (TOOL, "it does not start with a bitmap file header")):
            with self.subTest(bitmap=bitmap.name):
                done = self.run_tool(bitmap, made)
                self.assertNotEqual(done.returncode, 0)
                self.assertIn(f"is not a bitmap that can be carried: {reason}", done.stderr)
                self.assertFalse(made.exists())
        self.assertEqual(sorted(p.name for p in self.folder.iterdir()), ["cut.bmp"])


if __name__ == "__main__":
    unittest.main()
