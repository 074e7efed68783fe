"""make release on the stand-ins of the build folder given as argument.

Bad input is refused before anything is built, with its message, and leaves
no file in the release folder. The good releases share one release build
folder under the build folder, so only the first run of the tests builds the
updater from scratch; the release of the stand-in 3.0.4.0 as 3 / 4 is left
in release-test/dist for the test that runs it under Wine.
"""
import hashlib
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

REPOSITORY = Path(__file__).resolve().parent.parent.parent
sys.path.insert(0, str(REPOSITORY / "tools"))
import system_imports  # noqa: E402
import zcontainer  # noqa: E402
from pe_image import RT_BITMAP, RT_MANIFEST, RT_RCDATA, PEImage  # noqa: E402

BUILD = Path(sys.argv.pop(1)).resolve() if len(sys.argv) > 1 else Path.cwd()
CACHE = sys.argv.pop(1) if len(sys.argv) > 1 else str(Path.home() / ".cache" / "zelmoria")
WORK = BUILD / "release-test"
DEFAULT_LOGO = REPOSITORY / "resources" / "bitmaps" / "LOGO.bmp"


def stand_in(version):
    return BUILD / "standin" / version / "Korvantis.exe"


def make_release(dist, **fields):
    """Runs make release with the fields (PAYLOAD, MAJOR, ...) into dist."""
    environment = {k: v for k, v in os.environ.items() if k not in ("MAKEFLAGS", "MAKELEVEL", "MFLAGS")}
    command = ["make", "-s", "-C", str(REPOSITORY), "--no-print-directory", "release",
               f"RELEASE_BUILD={WORK / 'build'}", f"DIST={dist}", f"CACHE={CACHE}"]
    command += [f"{name}={value}" for name, value in fields.items()]
    return subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, env=environment)


def bitmap_file(width, height, seed):
    """An 8-bit bitmap file of that size with a palette and pixels of its own."""
    stride = (width + 3) // 4 * 4
    palette = bytes((seed + i) % 256 for i in range(256 * 4))
    pixels = bytes((seed * 7 + i) % 256 for i in range(stride * height))
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 8, 0, len(pixels), 0, 0, 0, 0)
    offset = 14 + len(header) + len(palette)
    return b"BM" + struct.pack("<IHHI", offset + len(pixels), 0, 0, offset) + header + palette + pixels


class RefusedInput(unittest.TestCase):
    def setUp(self):
        self.scratch = Path(tempfile.mkdtemp(prefix="release-test-"))
        self.dist = self.scratch / "dist"

    def tearDown(self):
        shutil.rmtree(self.scratch)

    def assert_refused(self, message, **fields):
        done = make_release(self.dist, **fields)
        self.assertNotEqual(done.returncode, 0, done.stdout)
        self.assertIn(message, done.stderr)
        self.assertIn("nothing was written", done.stderr)
        self.assertFalse(self.dist.exists() and any(self.dist.iterdir()), "a file was left in the release folder")

    def test_each_bad_input_is_refused_with_its_message(self):
        good = {"PAYLOAD": stand_in("3.0.4.0"), "MAJOR": "3", "MINOR": "4"}
        text = self.scratch / "notes.txt"
        text.write_text("not a program\n")
        library = bytearray(stand_in("3.0.4.0").read_bytes())
        characteristics = struct.unpack_from("<I", library, 0x3C)[0] + 22
        flags = struct.unpack_from("<H", library, characteristics)[0]
        struct.pack_into("<H", library, characteristics, flags | 0x2000)  # a DLL
        (self.scratch / "Korvantis.dll").write_bytes(library)
        cut_logo = self.scratch / "cut.bmp"
        cut_logo.write_bytes(DEFAULT_LOGO.read_bytes()[:-100])
        cases = [
            ("PAYLOAD is missing", {"PAYLOAD": ""}),
            ("does not exist", {"PAYLOAD": self.scratch / "Korvantis.exe"}),
            ("is not a Windows executable: no MZ header", {"PAYLOAD": text}),
            ("is not a Windows executable: it is a DLL", {"PAYLOAD": self.scratch / "Korvantis.dll"}),
            ("MAJOR is missing", {"MAJOR": ""}),
            ("MAJOR must be a whole number from 0 to 65535, not '65536'", {"MAJOR": "65536"}),
            ("MINOR must be a whole number from 0 to 65535, not '-1'", {"MINOR": "-1"}),
            ("MINOR must be a whole number from 0 to 65535, not 'four'", {"MINOR": "four"}),
            (f"the logo {self.scratch / 'logo.bmp'} does not exist", {"LOGO": self.scratch / "logo.bmp"}),
            ("is not a BMP file that can be carried: it does not start with a bitmap file header",
             {"LOGO": text}),
            ("is not a BMP file that can be carried: it holds", {"LOGO": cut_logo}),
        ]
        for message, changed in cases:
            with self.subTest(message=message):
                self.assert_refused(message, **{**good, **changed})

    def test_a_payload_whose_version_disagrees_is_refused_unless_forced(self):
        cases = [
            ("3.0.4.0", "3", "5", "the payload's product version is 3.0.4.0, but the updater 3.05 "
                                  "must carry product version 3.0.5; set FORCE=1 to build it anyway"),
            ("3.1.0.0", "3", "10", "product version is 3.1.0.0"),
            ("3.0.4.0", "4", "4", "product version is 3.0.4.0"),
            ("file-version-differs", "3", "4", "product version is 3.0.3.5"),
            ("no-version", "3", "4", "the payload carries no product version"),
        ]
        for version, major, minor, message in cases:
            with self.subTest(payload=version, major=major, minor=minor):
                self.assert_refused(message, PAYLOAD=stand_in(version), MAJOR=major, MINOR=minor)
        self.assert_refused("set FORCE=1", PAYLOAD=stand_in("no-version"), MAJOR="3", MINOR="4", FORCE="0")


class Release(unittest.TestCase):
    def release(self, dist, **fields):
        shutil.rmtree(dist, ignore_errors=True)
        done = make_release(dist, **fields)
        self.assertEqual(done.returncode, 0, done.stderr)
        return done.stdout

    def read_back(self, dist, name):
        self.assertEqual(sorted(p.name for p in dist.iterdir()), [name, f"{name}.debug"])
        updater = (dist / name).read_bytes()
        return updater, PEImage(updater)

    def assert_carries(self, image, payload, major, minor, logo):
        self.assertEqual(image.resource(RT_RCDATA, "UPDATEVERSION"), struct.pack("<II", major, minor))
        self.assertEqual(zcontainer.unpack(image.resource(RT_RCDATA, "UPDATEDATA")), payload)
        # The logo is a bitmap resource holding the whole file compressed.
        self.assertEqual(zcontainer.unpack(image.resource(RT_BITMAP, "LOGO")), logo)

    def test_release_of_the_stand_in(self):
        dist = WORK / "dist"
        payload = stand_in("3.0.4.0")
        out = self.release(dist, PAYLOAD=payload, MAJOR="3", MINOR="4")
        updater, image = self.read_back(dist, "ZelmoriaUpdate-3.0.4.exe")

        self.assertEqual(image.machine, 0x14C)
        self.assertTrue(image.is_stripped)
        self.assertGreater(PEImage((dist / "ZelmoriaUpdate-3.0.4.exe.debug").read_bytes()).symbol_count, 0)
        self.assert_carries(image, payload.read_bytes(), 3, 4, DEFAULT_LOGO.read_bytes())
        self.assertIn(b'level="requireAdministrator"', image.resource(RT_MANIFEST, 1))
        allowed = system_imports.load_allowed(image.machine)
        self.assertEqual(system_imports.unsupported_imports(image.imports(), allowed), [])

        compressed = len(image.resource(RT_RCDATA, "UPDATEDATA"))
        logo_compressed = len(image.resource(RT_BITMAP, "LOGO"))
        lines = [line.strip() for line in out.splitlines()]
        for line in (
            f"Zelmoria updater 3.04: {dist}/ZelmoriaUpdate-3.0.4.exe",
            "title version    3.04",
            f"payload          {payload}",
            "product version  3.0.4.0",
            f"payload size     {payload.stat().st_size:,} bytes, {compressed:,} compressed",
            f"logo             resources/bitmaps/LOGO.bmp, 370 x 251, 8 bits per pixel, {logo_compressed:,} bytes compressed",
            f"updater size     {len(updater):,} bytes stripped, {len(updater) - compressed:,} without the payload",
            f"SHA-256          {hashlib.sha256(updater).hexdigest()}",
            f"imports          {', '.join(image.imports())} (the system's only)",
            "runs on          Windows XP SP3 and later (header 5.1), execution level requireAdministrator",
            f"symbols          {dist}/ZelmoriaUpdate-3.0.4.exe.debug",
        ):
            self.assertIn(line, lines)
        self.assertNotIn("zlib1.dll", out.lower())

    def test_release_with_a_logo_of_its_own(self):
        dist = WORK / "dist-logo"
        logo = WORK / "logo.bmp"
        logo.write_bytes(bitmap_file(64, 32, seed=5))
        out = self.release(dist, PAYLOAD=stand_in("3.0.4.0"), MAJOR="3", MINOR="4", LOGO=logo)
        _, image = self.read_back(dist, "ZelmoriaUpdate-3.0.4.exe")
        self.assert_carries(image, stand_in("3.0.4.0").read_bytes(), 3, 4, logo.read_bytes())
        logo_compressed = len(image.resource(RT_BITMAP, "LOGO"))
        self.assertIn(f"logo             {logo}, 64 x 32, 8 bits per pixel, {logo_compressed:,} bytes compressed", out)

    def test_forced_release_of_a_payload_of_another_version(self):
        dist = WORK / "dist-forced"
        payload = stand_in("file-version-differs")
        out = self.release(dist, PAYLOAD=payload, MAJOR="3", MINOR="12", FORCE="1")
        _, image = self.read_back(dist, "ZelmoriaUpdate-3.0.12.exe")
        self.assert_carries(image, payload.read_bytes(), 3, 12, DEFAULT_LOGO.read_bytes())
        self.assertRegex(out, re.escape("product version  3.0.3.5 (not 3.0.12: forced)"))
        self.assertIn("title version    3.012", out)


if __name__ == "__main__":
    unittest.main()
