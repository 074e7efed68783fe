"""Bounded fuzzing of the readers that the release tools trust with outside
files: the executable reader (payloads, the built updater), the bitmap check
and the conversion of logos, the container reader (what the updater
carries) and the writer of logo resource files (image_res.py), whose every
file must read back as the bitmap it was given.

Each reader has a corpus folder under corpus/, laid out as the C++ fuzz
tests' are:
  corpus/<reader>/seeds/        valid examples, which the reader must accept
  corpus/<reader>/regressions/  inputs that once went wrong; the name says
                                what the corpus's own reader must do:
                                "refused-..." or "accepted-..."
The seeds are a minimal 32- and 64-bit program made with the toolchain (an
import by name, a version record, a manifest, a named raw-data resource and
a bitmap), small bitmaps of each header, depth and compression the check
accepts, a small PNG (with transparency) and JPEG picture, a GIF picture of
one frame and one of three (with the extensions a GIF writer adds), and those
files packed into containers.

Every input, seed, regression or mutant, must be refused with the reader's
own error or accepted with a result that keeps the reader's promise; any
other exception, a broken promise or a slow read is a fault, and the input
is written to the working folder for adding to the regressions. A run whose
mutants were all accepted, or all refused, never reached one side of the
reader's checks and fails too.
"""
import random
import struct
import sys
import time
import unittest
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE.parent.parent / "tools"))
from bmp_file import BI_BITFIELDS, BI_RGB, BI_RLE4, BI_RLE8, BMPFormatError, read_bitmap_info  # noqa: E402
from image_res import image_res  # noqa: E402
from logo_image import LogoError, carriable_logo  # noqa: E402
from pe_image import PEFormatError, PEImage  # noqa: E402
from zcontainer import ContainerError, unpack  # noqa: E402

CORPUS = HERE / "corpus"
ROUNDS = 3000
SLOW_SECONDS = 2.0
INTERESTING = (0, 1, 0x7F, 0x80, 0xFF, 0x7FFF, 0x8000, 0xFFFF, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF)
COMPRESSIONS = {1: {BI_RGB}, 4: {BI_RGB, BI_RLE4}, 8: {BI_RGB, BI_RLE8}, 16: {BI_RGB, BI_BITFIELDS},
                24: {BI_RGB}, 32: {BI_RGB, BI_BITFIELDS}}


class BrokenPromise(Exception):
    """A reader accepted an input and gave what it must not."""


def promise(condition, what):
    if not condition:
        raise BrokenPromise(what)


def read_program(data):
    """Imports by name, resources within the file and a version of four
    16-bit numbers."""
    image = PEImage(data)
    for dll, functions in image.imports().items():
        promise(isinstance(dll, str) and all(isinstance(f, str) for f in functions), f"imports {functions} of {dll}")
    for *_, resource in image.resources():
        promise(len(resource) <= len(data), "a resource larger than the file")
    version = image.product_version()
    promise(version is None or (len(version) == 4 and all(0 <= n <= 0xFFFF for n in version)),
            f"a version of {version}")
    promise(isinstance(image.is_stripped, bool), "no answer to whether the file is stripped")


def check_bitmap(data):
    """A size, a depth and a compression the updater draws."""
    info = read_bitmap_info(data)
    promise(info.width > 0 and info.height > 0, f"a size of {info.width} x {info.height}")
    promise(info.compression in COMPRESSIONS.get(info.bits_per_pixel, ()),
            f"compression {info.compression} at {info.bits_per_pixel} bits")


def convert_logo(data):
    """What is carried is a bitmap the check itself accepts, of the size
    that conversion reported."""
    logo = carriable_logo(data)
    try:
        carried = read_bitmap_info(logo.bitmap)
    except BMPFormatError as error:
        raise BrokenPromise(f"the carried bitmap is refused: {error}") from None
    promise(carried == logo.info, f"carried {carried}, reported {logo.info}")


def read_container(data):
    """Exactly the declared number of bytes."""
    unpacked = unpack(data)
    promise(len(unpacked) == struct.unpack_from("<I", data, 13)[0], "not the declared size")


def read_res_entries(data):
    """(type, name, data) of each entry of a compiled resource file, read
    without the writer's code; BrokenPromise when the file is malformed."""
    entries = []
    at = 0
    while at < len(data):
        promise(at + 8 <= len(data), "an entry header cut short")
        size, header = struct.unpack_from("<II", data, at)
        promise(header >= 24 and at + header + size <= len(data), "an entry beyond the file's end")
        fields = []
        cursor = at + 8
        for _ in range(2):
            if data[cursor:cursor + 2] == b"\xff\xff":
                fields.append(struct.unpack_from("<H", data, cursor + 2)[0])
                cursor += 4
            else:
                end = cursor
                while data[end:end + 2] != b"\0\0":
                    end += 2
                fields.append(data[cursor:end].decode("utf-16-le"))
                cursor = end + 2
        start = at + (header + 3) // 4 * 4
        entries.append((fields[0], fields[1], data[start:start + size]))
        at = start + (size + 3) // 4 * 4
    return entries


def write_image_res(compress):
    """The file holds the empty entry and LOGO, the bitmap as given."""
    def write(bitmap):
        entries = read_res_entries(image_res(bitmap, compress))
        promise([(t, n) for t, n, _ in entries] == [(0, 0), (2, "LOGO")], f"entries {entries}")
        carried = entries[1][2]
        promise((unpack(carried) if compress else carried) == (bitmap if compress else bitmap[14:]),
                "LOGO is not the bitmap given")
    return write


def mutate(rng, data):
    data = bytearray(data)
    for _ in range(rng.randint(1, 6)):
        kind = rng.random()
        at = rng.randrange(len(data)) if data else 0
        if kind < 0.4 and data:
            data[at] ^= 1 << rng.randrange(8)
        elif kind < 0.75:
            value = rng.choice(INTERESTING + (len(data), rng.getrandbits(32)))
            data[at:at + 4] = value.to_bytes(4, "little")
        elif kind < 0.9:
            del data[rng.randrange(len(data) + 1):]
        else:
            chunk = data[at:at + rng.randint(1, 64)]
            where = rng.randrange(len(data) + 1)
            data[where:where] = chunk
    return bytes(data)


# The reader whose outcome a corpus's regressions are named after.
OWNERS = {"program": read_program, "bitmap": check_bitmap, "picture": convert_logo, "container": read_container}


def corpus(reader, folder):
    return sorted((CORPUS / reader / folder).glob("*"))


class ReaderFuzz(unittest.TestCase):
    def outcome(self, reader, own_error, data, name):
        """The outcome, "accepted" or "refused"; a fault fails the test with the
        input kept."""
        start = time.monotonic()
        try:
            reader(data)
            result = "accepted"
        except own_error:
            result = "refused"
        except Exception as error:  # noqa: BLE001 - any other error is the fault looked for
            kept = Path.cwd() / f"fuzz-failure-{name}"
            kept.write_bytes(data)
            self.fail(f"{type(error).__name__}: {error} (input kept in {kept})")
        self.assertLess(time.monotonic() - start, SLOW_SECONDS, f"reading took too long (input {name})")
        return result

    def fuzz(self, reader, own_error, readers, seed_number):
        seeds = [path for name in readers for path in corpus(name, "seeds")]
        self.assertTrue(seeds, "no seeds")
        for path in seeds:
            self.assertEqual(self.outcome(reader, own_error, path.read_bytes(), path.name), "accepted", path)
        for name in readers:
            for path in corpus(name, "regressions"):
                expected = path.name.split("-", 1)[0]
                self.assertIn(expected, ("accepted", "refused"), f"{path}: the name says no outcome")
                got = self.outcome(reader, own_error, path.read_bytes(), path.name)
                # The name speaks for the corpus's own reader; the others that
                # share it must only read or refuse it cleanly.
                if OWNERS[name] is reader:
                    self.assertEqual(got, expected, path)
        rng = random.Random(seed_number)
        outcomes = {"accepted": 0, "refused": 0}
        for round_number in range(ROUNDS):
            seed = rng.choice(seeds)
            outcomes[self.outcome(reader, own_error, mutate(rng, seed.read_bytes()), f"{seed.stem}-{round_number}")] += 1
        self.assertGreater(outcomes["accepted"], 0, "no mutant was accepted")
        self.assertGreater(outcomes["refused"], 0, "no mutant was refused")

    def test_executable_reader(self):
        self.fuzz(read_program, PEFormatError, ["program"], 15)

    def test_bitmap_check(self):
        self.fuzz(check_bitmap, BMPFormatError, ["bitmap"], 16)

    def test_container_reader(self):
        self.fuzz(read_container, ContainerError, ["container"], 19)

    def test_container_seeds_hold_the_other_seeds(self):
        for packed in corpus("container", "seeds"):
            reader, name = packed.stem.split("--", 1)
            self.assertEqual(unpack(packed.read_bytes()), (CORPUS / reader / "seeds" / name).read_bytes(), packed)

    def test_logo_conversion(self):
        self.fuzz(convert_logo, LogoError, ["bitmap", "picture"], 20)

    def test_logo_resource_file_writer(self):
        self.fuzz(write_image_res(False), BMPFormatError, ["bitmap"], 17)
        self.fuzz(write_image_res(True), BMPFormatError, ["bitmap"], 18)


if __name__ == "__main__":
    unittest.main()
