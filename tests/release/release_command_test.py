"""make release on the stand-ins of the build folder given as argument.

Bad input is refused before anything is built, with its message, and leaves
no file in the release folder; so is a signing certificate that cannot sign
code now (the certificates are made here, with a throw-away authority). The
good releases share one release build folder under the build folder, so only
the first run of the tests builds the updater from scratch; the release of
the stand-in 3.0.4.0 as 3 / 4 is left in release-test/dist for the test that
runs it under Wine. A signed release verifies and a changed byte breaks it;
a second release built from a copy of the sources in another folder, later,
is the same file byte for byte.
"""
import hashlib
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import unittest
from pathlib import Path

import pefile

REPOSITORY = Path(__file__).resolve().parent.parent.parent
sys.path.insert(0, str(REPOSITORY / "tools"))
sys.path.insert(0, str(Path(__file__).resolve().parent))
import system_imports  # noqa: E402
import zcontainer  # noqa: E402
from logo_image import read_logo  # noqa: E402
from machine_traces import traces  # noqa: E402
from pe_image import RT_BITMAP, RT_MANIFEST, RT_RCDATA, PEImage  # noqa: E402

BUILD = Path(sys.argv.pop(1)).resolve() if len(sys.argv) > 1 else Path.cwd()
CACHE = sys.argv.pop(1) if len(sys.argv) > 1 else str(Path.home() / ".cache" / "zelmoria")
WORK = BUILD / "release-test"
DEFAULT_LOGO = REPOSITORY / "resources" / "bitmaps" / "LOGO.bmp"
UPDATER = "ZelmoriaUpdate-3.0.4.exe"


def stand_in(version):
    return BUILD / "standin" / version / "Korvantis.exe"


def head_time():
    return subprocess.run(["git", "-C", str(REPOSITORY), "log", "-1", "--format=%ct", "HEAD"],
                          stdout=subprocess.PIPE, text=True, check=True).stdout.strip()


def make_release(dist, sources=REPOSITORY, build=WORK / "build", environment=(), **fields):
    """Runs make release with the fields (PAYLOAD, MAJOR, ...) into dist."""
    env = {k: v for k, v in os.environ.items() if k not in ("MAKEFLAGS", "MAKELEVEL", "MFLAGS", "SOURCE_DATE_EPOCH")}
    command = ["make", "-s", "-C", str(sources), "--no-print-directory", "release",
               f"RELEASE_BUILD={build}", f"DIST={dist}", f"CACHE={CACHE}"]
    command += [f"{name}={value}" for name, value in fields.items()]
    return subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                          env={**env, **dict(environment)})


def bitmap_file(width, height, seed):
    """An 8-bit bitmap file of that size with a palette and pixels of its own."""
    stride = (width + 3) // 4 * 4
    palette = bytes((seed + i) % 256 for i in range(256 * 4))
    pixels = bytes((seed * 7 + i) % 256 for i in range(stride * height))
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 8, 0, len(pixels), 0, 0, 0, 0)
    offset = 14 + len(header) + len(palette)
    return b"BM" + struct.pack("<IHHI", offset + len(pixels), 0, 0, offset) + header + palette + pixels


def png_file(width, height):
    """An RGBA picture in PNG, its left half transparent."""
    from PIL import Image

    picture = Image.new("RGBA", (width, height))
    picture.putdata([(x % 200, y % 100, 150, 0 if x < width // 2 else 255) for y in range(height) for x in range(width)])
    path = WORK / "logo.png"
    picture.save(path)
    return path


class Certificates:
    """A throw-away certificate authority and PKCS#12 files signed by it,
    made with openssl: a code-signing one, an expired one, one for web
    servers only, one without its private key."""

    def __init__(self, folder):
        self.folder = folder
        self.password = folder / "password"
        self.password.write_text("correct horse\n")
        self.wrong_password = folder / "wrong-password"
        self.wrong_password.write_text("battery staple\n")
        self.authority = folder / "ca.pem"
        self.openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", folder / "ca.key",
                     "-out", self.authority, "-days", "30", "-subj", "/CN=Zelmoria Test Authority",
                     "-addext", "basicConstraints=critical,CA:true", "-addext", "keyUsage=critical,keyCertSign")
        self.good = self.pfx("signing", 10, "codeSigning")
        self.expired = self.pfx("expired", -1, "codeSigning")
        self.web_server = self.pfx("web-server", 10, "serverAuth")
        self.without_key = self.pfx("without-key", 10, "codeSigning", key=False)

    def openssl(self, *arguments):
        subprocess.run(["openssl", *map(str, arguments)], check=True, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)

    def pfx(self, name, days, use, key=True):
        folder = self.folder
        self.openssl("req", "-newkey", "rsa:2048", "-nodes", "-keyout", folder / f"{name}.key",
                     "-out", folder / f"{name}.csr", "-subj", f"/CN=Zelmoria Test Signer {name}/O=Zelmoria Test")
        (folder / f"{name}.ext").write_text(f"extendedKeyUsage={use}\nkeyUsage=critical,digitalSignature\n")
        self.openssl("x509", "-req", "-in", folder / f"{name}.csr", "-CA", self.authority,
                     "-CAkey", folder / "ca.key", "-CAcreateserial", "-days", days,
                     "-extfile", folder / f"{name}.ext", "-out", folder / f"{name}.pem")
        keys = ["-inkey", folder / f"{name}.key"] if key else ["-nokeys"]
        self.openssl("pkcs12", "-export", "-in", folder / f"{name}.pem", *keys, "-certfile", self.authority,
                     "-out", folder / f"{name}.pfx", "-passout", f"file:{self.password}")
        return folder / f"{name}.pfx"


def setUpModule():
    global SCRATCH, CERTIFICATES
    WORK.mkdir(parents=True, exist_ok=True)
    SCRATCH = tempfile.TemporaryDirectory(prefix="release-test-certificates-")
    CERTIFICATES = Certificates(Path(SCRATCH.name))


def tearDownModule():
    SCRATCH.cleanup()


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

    def assert_each_refused(self, cases):
        good = {"PAYLOAD": stand_in("3.0.4.0"), "MAJOR": "3", "MINOR": "4"}
        for message, changed in cases:
            with self.subTest(message=message):
                self.assert_refused(message, **{**good, **changed})

    def test_each_bad_input_is_refused_with_its_message(self):
        text = self.scratch / "notes.txt"
        text.write_text("not a program\n")
        library = bytearray(stand_in("3.0.4.0").read_bytes())
        characteristics = struct.unpack_from("<I", library, 0x3C)[0] + 22
        flags = struct.unpack_from("<H", library, characteristics)[0]
        struct.pack_into("<H", library, characteristics, flags | 0x2000)  # a DLL
        (self.scratch / "Korvantis.dll").write_bytes(library)
        cut_logo = self.scratch / "cut.bmp"
        cut_logo.write_bytes(DEFAULT_LOGO.read_bytes()[:-100])
        self.assert_each_refused([
            ("PAYLOAD is missing", {"PAYLOAD": ""}),
            ("does not exist", {"PAYLOAD": self.scratch / "Korvantis.exe"}),
            ("is not a Windows executable: no MZ header", {"PAYLOAD": text}),
            ("is not a Windows executable: it is a DLL", {"PAYLOAD": self.scratch / "Korvantis.dll"}),
            ("MAJOR is missing", {"MAJOR": ""}),
            ("MAJOR must be a whole number from 0 to 65535, not '65536'", {"MAJOR": "65536"}),
            ("MINOR must be a whole number from 0 to 65535, not '-1'", {"MINOR": "-1"}),
            ("MINOR must be a whole number from 0 to 65535, not 'four'", {"MINOR": "four"}),
            (f"the logo {self.scratch / 'logo.bmp'} does not exist", {"LOGO": self.scratch / "logo.bmp"}),
            ("cannot be carried: it is not a PNG, JPEG, GIF or BMP picture", {"LOGO": text}),
            ("cannot be carried: it holds", {"LOGO": cut_logo}),
            ("the colours (LOGO_COLORS) must be 256 or 24, not '8'", {"LOGO_COLORS": "8"}),
        ])

    def test_a_certificate_that_cannot_sign_is_refused(self):
        certificates = CERTIFICATES
        password = {"SIGN_PASSWORD_FILE": certificates.password}
        self.assert_each_refused([
            (f"the certificate {self.scratch / 'none.pfx'} does not exist", {"SIGN_CERT": self.scratch / "none.pfx"}),
            (f"the certificate {self.scratch} cannot be read: Is a directory", {"SIGN_CERT": self.scratch}),
            ("is not a PKCS#12 (.pfx) file that can be read", {"SIGN_CERT": certificates.authority, **password}),
            ("the password for the certificate", {"SIGN_CERT": certificates.good,
                                                  "SIGN_PASSWORD_FILE": certificates.wrong_password}),
            ("the password for the certificate", {"SIGN_CERT": certificates.good}),
            ("holds no private key", {"SIGN_CERT": certificates.without_key, **password}),
            (f"the certificate {certificates.expired} expired on", {"SIGN_CERT": certificates.expired, **password}),
            ("is not valid for code signing (extended key usage: TLS Web Server Authentication)",
             {"SIGN_CERT": certificates.web_server, **password}),
            ("the password file", {"SIGN_CERT": certificates.good, "SIGN_PASSWORD_FILE": self.scratch / "none"}),
            ("SIGN_PASSWORD_FILE is given, but no SIGN_CERT to sign with", password),
        ])

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


class ReleaseTest(unittest.TestCase):
    def release(self, dist, **fields):
        shutil.rmtree(dist, ignore_errors=True)
        done = make_release(dist, **fields)
        self.assertEqual(done.returncode, 0, done.stderr)
        return done

    def read_back(self, dist, name=UPDATER):
        self.assertEqual(sorted(p.name for p in dist.iterdir()), [name, f"{name}.debug"])
        updater = (dist / name).read_bytes()
        return updater, PEImage(updater)

    def assert_carries(self, image, payload, major, minor, logo):
        self.assertEqual(image.resource(RT_RCDATA, "UPDATEVERSION"), struct.pack("<II", major, minor))
        self.assertEqual(zcontainer.unpack(image.resource(RT_RCDATA, "UPDATEDATA")), payload)
        # The logo is a bitmap resource holding the whole file compressed.
        self.assertEqual(zcontainer.unpack(image.resource(RT_BITMAP, "LOGO")), logo)

    def assert_checksum_right(self, updater):
        image = pefile.PE(data=updater, fast_load=True)
        self.assertEqual(image.OPTIONAL_HEADER.CheckSum, image.generate_checksum())


# What the stripped 32-bit updater may weigh without the payload it carries.
UPDATER_BUDGET = 700 * 1024


class Release(ReleaseTest):
    def test_release_of_the_stand_in(self):
        dist = WORK / "dist"
        payload = stand_in("3.0.4.0")
        done = self.release(dist, PAYLOAD=payload, MAJOR="3", MINOR="4")
        updater, image = self.read_back(dist)

        self.assertEqual(image.machine, 0x14C)
        self.assertTrue(image.is_stripped)
        symbols = (dist / f"{UPDATER}.debug").read_bytes()
        self.assertGreater(PEImage(symbols).symbol_count, 0)
        self.assert_carries(image, payload.read_bytes(), 3, 4, DEFAULT_LOGO.read_bytes())
        self.assertIn(b'level="requireAdministrator"', image.resource(RT_MANIFEST, 1))
        allowed = system_imports.load_allowed(image.machine)
        self.assertEqual(system_imports.unsupported_imports(image.imports(), allowed), [])
        self.assertEqual(image.time_stamp, int(head_time()))
        self.assert_checksum_right(updater)
        self.assertEqual(len(updater) % 8, 0)
        for shipped in (updater, symbols):
            self.assertEqual(traces(shipped, [REPOSITORY, BUILD, WORK, CACHE]), [])

        compressed = len(image.resource(RT_RCDATA, "UPDATEDATA"))
        self.assertLessEqual(len(updater) - compressed, UPDATER_BUDGET,
                             "the stripped updater without its payload is over its budget")
        logo_compressed = len(image.resource(RT_BITMAP, "LOGO"))
        lines = [line.strip() for line in done.stdout.splitlines()]
        for line in (
            f"Zelmoria updater 3.04: {dist}/{UPDATER}",
            "title version    3.04",
            f"payload          {payload}",
            "product version  3.0.4.0",
            f"payload size     {payload.stat().st_size:,} bytes, {compressed:,} compressed",
            f"logo             resources/bitmaps/LOGO.bmp, 370 x 251, 8 bits per pixel, {logo_compressed:,} bytes compressed",
            "logo made        a BMP file carried as it is",
            f"updater size     {len(updater):,} bytes stripped, {len(updater) - compressed:,} without the payload",
            "signature        none",
            f"SHA-256          {hashlib.sha256(updater).hexdigest()} (unsigned)",
            f"imports          {', '.join(image.imports())} (the system's only)",
            "runs on          Windows XP SP3 and later (header 5.1), execution level requireAdministrator",
            f"symbols          {dist}/{UPDATER}.debug",
        ):
            self.assertIn(line, lines)
        self.assertRegex(done.stdout, rf"time stamp +\S+ \S+ UTC \(the commit time of HEAD, {head_time()}\)")
        self.assertIn("warning: the updater is not signed (no SIGN_CERT): when it asks for administrator rights, "
                      "Windows names its publisher as unknown", done.stderr)
        self.assertNotIn("zlib1.dll", done.stdout.lower())

    def test_release_with_a_logo_of_its_own(self):
        dist = WORK / "dist-logo"
        logo = WORK / "logo.bmp"
        logo.write_bytes(bitmap_file(64, 32, seed=5))
        done = self.release(dist, PAYLOAD=stand_in("3.0.4.0"), MAJOR="3", MINOR="4", LOGO=logo)
        _, image = self.read_back(dist)
        self.assert_carries(image, stand_in("3.0.4.0").read_bytes(), 3, 4, logo.read_bytes())
        logo_compressed = len(image.resource(RT_BITMAP, "LOGO"))
        self.assertIn(f"logo             {logo}, 64 x 32, 8 bits per pixel, {logo_compressed:,} bytes compressed",
                      done.stdout)
        self.assertIn("warning: the logo is 64 x 32 pixels, smaller than the buttons reach (326 x 63)", done.stderr)

    def test_release_with_a_png_logo(self):
        dist = WORK / "dist-png"
        logo = png_file(360, 120)
        for colours, bits in (("", 8), ("24", 24)):
            with self.subTest(colours=colours or "default"):
                done = self.release(dist, PAYLOAD=stand_in("3.0.4.0"), MAJOR="3", MINOR="4", LOGO=logo,
                                    LOGO_COLORS=colours)
                _, image = self.read_back(dist)
                converted = read_logo(logo, int(colours or 256))
                self.assertEqual(converted.info.bits_per_pixel, bits)
                self.assert_carries(image, stand_in("3.0.4.0").read_bytes(), 3, 4, converted.bitmap)
                self.assertIn(f"logo             {logo}, 360 x 120, {bits} bits per pixel", done.stdout)
                self.assertIn(f"logo made        {converted.how}", done.stdout)
                self.assertIn("transparency flattened onto the window colour", converted.how)

    def test_forced_release_of_a_payload_of_another_version(self):
        dist = WORK / "dist-forced"
        payload = stand_in("file-version-differs")
        done = self.release(dist, PAYLOAD=payload, MAJOR="3", MINOR="12", FORCE="1")
        _, image = self.read_back(dist, "ZelmoriaUpdate-3.0.12.exe")
        self.assert_carries(image, payload.read_bytes(), 3, 12, DEFAULT_LOGO.read_bytes())
        self.assertRegex(done.stdout, re.escape("product version  3.0.3.5 (not 3.0.12: forced)"))
        self.assertIn("title version    3.012", done.stdout)


class SignedRelease(ReleaseTest):
    def test_a_signed_release_verifies_and_a_changed_byte_breaks_it(self):
        dist = WORK / "dist-signed"
        done = self.release(dist, PAYLOAD=stand_in("3.0.4.0"), MAJOR="3", MINOR="4", SIGN_CERT=CERTIFICATES.good,
                            SIGN_PASSWORD_FILE=CERTIFICATES.password, PRODUCT_URL="https://zelmoria.invalid/")
        signed, image = self.read_back(dist)
        self.assert_checksum_right(signed)
        self.assertIn("signature        Authenticode, SHA-256, verified", done.stdout)
        self.assertIn("signed by        /CN=Zelmoria Test Signer signing/O=Zelmoria Test", done.stdout)
        self.assertRegex(done.stdout, r"certificate +expires \w+ +\d+ [\d:]+ \d{4} GMT")
        self.assertIn(f"SHA-256          {hashlib.sha256(signed).hexdigest()} (signed)", done.stdout)
        self.assertNotIn("not signed", done.stderr)

        verified = self.verify(dist / UPDATER)
        self.assertEqual(verified.returncode, 0, verified.stdout)
        self.assertIn("Text description: Zelmoria updater", verified.stdout)
        self.assertIn("URL description: https://zelmoria.invalid/", verified.stdout)
        self.assertIn("Message digest algorithm  : SHA256", verified.stdout)

        # Without its signature it is the unsigned updater the release names.
        unsigned = WORK / "unsigned.exe"
        unsigned.unlink(missing_ok=True)
        subprocess.run(["osslsigncode", "remove-signature", "-in", str(dist / UPDATER), "-out", str(unsigned)],
                       check=True, stdout=subprocess.DEVNULL)
        self.assertIn(f"unsigned SHA-256 {hashlib.sha256(unsigned.read_bytes()).hexdigest()}", done.stdout)

        tampered = WORK / "tampered.exe"
        changed = bytearray(signed)
        text_start = next(raw for name, _, _, raw, _ in image.sections if name == ".text")
        changed[text_start + 100] ^= 0x01
        tampered.write_bytes(changed)
        failed = self.verify(tampered)
        self.assertNotEqual(failed.returncode, 0)
        self.assertIn("MISMATCH", failed.stdout)

    def verify(self, path):
        return subprocess.run(["osslsigncode", "verify", "-in", str(path), "-CAfile", str(CERTIFICATES.authority)],
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)


class Reproducible(ReleaseTest):
    def test_two_builds_in_different_folders_at_different_times_are_identical(self):
        first_dist = WORK / "dist-first"
        fields = {"PAYLOAD": stand_in("3.0.4.0"), "MAJOR": "3", "MINOR": "4"}
        self.release(first_dist, **fields)
        first_done = time.time()

        # A copy of the sources in a folder of its own, built in another
        # build folder, a few seconds later at least, with the time stamp
        # from SOURCE_DATE_EPOCH. The copies keep their times, so a later
        # run rebuilds there only what changed since.
        copy = WORK / "elsewhere"
        sources = copy / "sources"
        shutil.rmtree(sources, ignore_errors=True)
        shutil.rmtree(copy / "dist", ignore_errors=True)
        listed = subprocess.run(["git", "-C", str(REPOSITORY), "ls-files", "-z", "--cached", "--others",
                                 "--exclude-standard"], stdout=subprocess.PIPE, check=True).stdout
        for name in filter(None, listed.decode().split("\0")):
            if (REPOSITORY / name).is_file():
                (sources / name).parent.mkdir(parents=True, exist_ok=True)
                shutil.copy2(REPOSITORY / name, sources / name)
        time.sleep(max(0.0, first_done + 2 - time.time()))
        done = make_release(copy / "dist", sources=sources, build=copy / "build",
                            environment={"SOURCE_DATE_EPOCH": head_time()}, **fields)
        self.assertEqual(done.returncode, 0, done.stderr)
        for name in (UPDATER, f"{UPDATER}.debug"):
            with self.subTest(name):
                self.assertEqual((copy / "dist" / name).read_bytes(), (first_dist / name).read_bytes())


if __name__ == "__main__":
    unittest.main()
