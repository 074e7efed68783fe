"""Bounded fuzzing of the readers that the release command trusts with
outside files: the executable reader (payloads, the built updater) and the
bitmap check (logos).

A damaged input must be read or refused with the reader's own error, quickly;
any other exception is a fault. The seeds in fuzz/seeds are a minimal 32- and
64-bit program made with the toolchain (an import by name, a version record,
a manifest, a named raw-data resource and a bitmap) and small bitmaps of each
header, depth and compression the check accepts. Inputs that once failed are
kept in fuzz/found and read first; a new failure is written to the working
folder for adding there.
"""
import random
import sys
import time
import unittest
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE.parent.parent / "tools"))
from bmp_file import BMPFormatError, read_bitmap_info  # noqa: E402
from pe_image import PEFormatError, PEImage  # noqa: E402

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


if __name__ == "__main__":
    unittest.main()
