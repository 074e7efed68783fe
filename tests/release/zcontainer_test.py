"""The compressed container tool (tools/zcontainer.py): what it packs reads
back, at the best compression; every unsound container is refused with its
reason, by the module and by the command line, which writes nothing then."""
import subprocess
import sys
import tempfile
import unittest
import zlib
from pathlib import Path

TOOLS = Path(__file__).resolve().parent.parent.parent / "tools"
sys.path.insert(0, str(TOOLS))
import zcontainer  # noqa: E402

DATA = bytes(range(256)) * 40 + b"the end"


def container(declared, stream):
    return zcontainer.SIGNATURE + declared.to_bytes(4, "little") + stream


STREAM = zlib.compress(DATA, 9)
UNSOUND = {
    "no signature": (b"ZLIBCompress\x1b" + bytes(4) + STREAM, "the signature is missing"),
    "header cut short": (zcontainer.SIGNATURE + b"\x01\x00", "the signature is missing"),
    "declared size 0": (container(0, STREAM), "the declared size 0 is not valid"),
    "declared size above 2 GiB": (container(0x80000000, STREAM), "the declared size 2147483648 is not valid"),
    "damaged deflate data": (container(len(DATA), STREAM[:2] + bytes(len(STREAM) - 2)), "is damaged"),
    "wrong Adler-32": (container(len(DATA), STREAM[:-1] + bytes([STREAM[-1] ^ 1])), "incorrect data check"),
    "stream cut short": (container(len(DATA), STREAM[:len(STREAM) // 2]), "before the declared size"),
    "stream without its end": (container(len(DATA), STREAM[:-4]), "does not end after the declared size"),
    "more than declared": (container(len(DATA) - 1, STREAM), "holds more than the declared size"),
    "less than declared": (container(len(DATA) + 1, STREAM), f"ends after {len(DATA)} bytes"),
}


class Container(unittest.TestCase):
    def test_packed_data_reads_back_at_the_best_compression(self):
        packed = zcontainer.pack(DATA)
        self.assertEqual(packed[:17], container(len(DATA), b""))
        self.assertEqual(packed[17:19], b"\x78\xda")
        self.assertEqual(zcontainer.unpack(packed), DATA)
        # What follows the stream is not looked at, as the updater does not.
        self.assertEqual(zcontainer.unpack(packed + b"trailing"), DATA)

    def test_empty_input_is_refused(self):
        with self.assertRaisesRegex(zcontainer.ContainerError, "1 to 2147483647 bytes"):
            zcontainer.pack(b"")

    def test_every_unsound_container_is_refused_with_its_reason(self):
        for case, (data, reason) in UNSOUND.items():
            with self.subTest(case):
                with self.assertRaisesRegex(zcontainer.ContainerError, reason):
                    zcontainer.unpack(data)


class CommandLine(unittest.TestCase):
    def setUp(self):
        self.scratch = tempfile.TemporaryDirectory(prefix="zcontainer-test-")
        self.folder = Path(self.scratch.name)

    def tearDown(self):
        self.scratch.cleanup()

    def run_tool(self, *arguments):
        return subprocess.run([sys.executable, str(TOOLS / "zcontainer.py"), *map(str, arguments)],
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)

    def test_pack_verify_and_unpack(self):
        data, packed, unpacked = self.folder / "data", self.folder / "packed", self.folder / "unpacked"
        data.write_bytes(DATA)
        done = self.run_tool("pack", data, packed)
        self.assertEqual(done.returncode, 0, done.stderr)
        size = packed.stat().st_size
        self.assertEqual(done.stdout, f"{packed}: {size} bytes, declares {len(DATA)}\n")
        done = self.run_tool("verify", packed)
        self.assertEqual(done.stdout, f"{packed}: {size} bytes, inflates to {len(DATA)} bytes, Adler-32 correct\n")
        self.assertEqual(self.run_tool("unpack", packed, unpacked).returncode, 0)
        self.assertEqual(unpacked.read_bytes(), DATA)

    def test_an_unsound_container_fails_and_writes_nothing(self):
        bad = self.folder / "bad"
        bad.write_bytes(UNSOUND["wrong Adler-32"][0])
        for command in (["verify", bad], ["unpack", bad, self.folder / "out"]):
            with self.subTest(command=command[0]):
                done = self.run_tool(*command)
                self.assertEqual(done.returncode, 1)
                self.assertIn("zcontainer: the zlib stream is damaged", done.stderr)
        self.assertEqual([p.name for p in self.folder.iterdir()], ["bad"])


if __name__ == "__main__":
    unittest.main()
