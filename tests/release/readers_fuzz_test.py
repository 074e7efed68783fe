"""Bounded fuzzing of the readers that the release tools trust with outside
files: the executable reader (payloads, the built updater), the bitmap check
and the conversion of logos, the container reader (what the updater
carries) and the writer of logo resource files (image_res.py), whose every
file must read back as the bitmap it was given.

A damaged input must be read or refused with the reader's own error, quickly;
any other exception is a fault. The seeds in fuzz/seeds are a minimal 32- and
64-bit program made with the toolchain (an import by name, a version record,
a manifest, a named raw-data resource and a bitmap) and small bitmaps of each
header, depth and compression the check accepts, and a small PNG (with
transparency), JPEG and GIF picture for the conversion. Inputs that once failed are
kept in fuzz/found and read first; a new failure is written to the working
folder for adding there. The container reader's seeds are the other seeds
packed.
"""
import random
import struct
import sys
import tempfile
import time
import unittest
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE.parent.parent / "tools"))
from bmp_file import BMPFormatError, read_bitmap_info  # noqa: E402
from image_res import image_res  # noqa: E402
from logo_image import LogoError, carriable_logo  # noqa: E402
from pe_image import PEFormatError, PEImage  # noqa: E402
from zcontainer import ContainerError, pack, unpack  # noqa: E402

SEEDS = HERE / "fuzz" / "seeds"
FOUND = HERE / "fuzz" / "found"
ROUNDS = 3000
SLOW_SECONDS = 2.0
INTERESTING = (0, 1, 0x7F, 0x80, 0xFF, 0x7FFF, 0x8000, 0xFFFF, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF)


def read_program(data):
    image = PEImage(data)
    image.imports()
    image.resources()
    image.product_version()
    return image.is_stripped


def read_res_entries(data):
    """(type, name, data) of each entry of a compiled resource file, read
    without the writer's code; AssertionError when the file is malformed."""
    entries = []
    at = 0
    while at < len(data):
        assert at + 8 <= len(data), "an entry header cut short"
        size, header = struct.unpack_from("<II", data, at)
        assert header >= 24 and at + header + size <= len(data), "an entry beyond the file's end"
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
    def check(bitmap):
        entries = read_res_entries(image_res(bitmap, compress))
        assert [(t, n) for t, n, _ in entries] == [(0, 0), (2, "LOGO")], entries
        carried = entries[1][2]
        if compress:
            assert unpack(carried) == bitmap
        else:
            assert carried == bitmap[14:]
    return check


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


class ReaderFuzz(unittest.TestCase):
    def survive(self, reader, own_error, data, name):
        start = time.monotonic()
        try:
            reader(data)
        except own_error:
            pass
        except Exception as error:  # noqa: BLE001 - any other error is the fault looked for
            kept = Path.cwd() / f"fuzz-failure-{name}"
            kept.write_bytes(data)
            self.fail(f"{type(error).__name__}: {error} (input kept in {kept})")
        self.assertLess(time.monotonic() - start, SLOW_SECONDS, f"reading took too long (input {name})")

    def fuzz(self, reader, own_error, seeds, seed_number):
        self.assertTrue(seeds, "no seeds")
        for path in sorted(FOUND.glob("*")):
            self.survive(reader, own_error, path.read_bytes(), path.name)
        rng = random.Random(seed_number)
        for seed in seeds:
            reader(seed.read_bytes())
        for round_number in range(ROUNDS):
            seed = rng.choice(seeds)
            self.survive(reader, own_error, mutate(rng, seed.read_bytes()), f"{seed.stem}-{round_number}")

    def test_executable_reader(self):
        self.fuzz(read_program, PEFormatError, sorted(SEEDS.glob("*.exe")), 15)

    def test_bitmap_check(self):
        self.fuzz(read_bitmap_info, BMPFormatError, sorted(SEEDS.glob("*.bmp")), 16)

    def test_container_reader(self):
        with tempfile.TemporaryDirectory(prefix="container-seeds-") as folder:
            seeds = []
            for seed in sorted(SEEDS.glob("*")):
                packed = Path(folder) / f"{seed.name}.z"
                packed.write_bytes(pack(seed.read_bytes()))
                seeds.append(packed)
            self.fuzz(unpack, ContainerError, seeds, 19)

    def test_logo_conversion(self):
        seeds = [seed for kind in ("bmp", "png", "jpg", "gif") for seed in sorted(SEEDS.glob(f"*.{kind}"))]
        self.fuzz(carriable_logo, LogoError, seeds, 20)

    def test_logo_resource_file_writer(self):
        self.fuzz(write_image_res(False), BMPFormatError, sorted(SEEDS.glob("*.bmp")), 17)
        self.fuzz(write_image_res(True), BMPFormatError, sorted(SEEDS.glob("*.bmp")), 18)


if __name__ == "__main__":
    unittest.main()
