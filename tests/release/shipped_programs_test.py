"""The programs that ship, read from the build folder given as argument:
the updater and every build of the stand-in product. Each may import only
functions of Windows' own DLLs that exist on the oldest Windows the programs
run on, its header names that Windows, and it holds no trace of the machine
that built it (see machine_traces.py): the second and third arguments are
the sources and the machine setup's cache."""
import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent.parent / "tools"))
sys.path.insert(0, str(Path(__file__).resolve().parent))
import system_imports  # noqa: E402
from machine_traces import traces  # noqa: E402
from pe_image import PEImage  # noqa: E402

BUILD = Path(sys.argv.pop(1)) if len(sys.argv) > 1 else Path.cwd()
SOURCES = Path(sys.argv.pop(1)) if len(sys.argv) > 1 else Path(__file__).resolve().parent.parent.parent
CACHE = Path(sys.argv.pop(1)) if len(sys.argv) > 1 else Path.home() / ".cache" / "zelmoria"
# Windows XP for 32-bit x86; its x64 edition for the 64-bit test build.
OLDEST_VERSION = {0x14C: (5, 1), 0x8664: (5, 2)}


def shipped_programs():
    return [BUILD / "bin" / "ZelmoriaUpdate.exe", *sorted((BUILD / "standin").glob("*/Korvantis.exe"))]


class ShippedPrograms(unittest.TestCase):
    def test_import_only_what_the_oldest_windows_provides(self):
        programs = shipped_programs()
        self.assertGreater(len(programs), 1, f"no stand-ins in {BUILD}")
        for program in programs:
            with self.subTest(program=str(program.relative_to(BUILD))):
                image = PEImage(program.read_bytes())
                allowed = system_imports.load_allowed(image.machine)
                self.assertEqual(system_imports.unsupported_imports(image.imports(), allowed), [])

    def test_headers_name_the_oldest_windows(self):
        for program in shipped_programs():
            with self.subTest(program=str(program.relative_to(BUILD))):
                image = PEImage(program.read_bytes())
                self.assertEqual(image.os_version, OLDEST_VERSION[image.machine])
                self.assertEqual(image.subsystem_version, OLDEST_VERSION[image.machine])

    def test_no_trace_of_the_machine_that_built_them(self):
        for program in shipped_programs():
            with self.subTest(program=str(program.relative_to(BUILD))):
                self.assertEqual(traces(program.read_bytes(), [SOURCES, BUILD, CACHE]), [])

    def test_the_check_names_foreign_dlls_and_newer_functions(self):
        allowed = system_imports.load_allowed(0x14C)
        problems = system_imports.unsupported_imports(
            {"zlib1.dll": ["inflate"], "kernel32.dll": ["GetTickCount", "GetTickCount64", "RtlVirtualUnwind"]},
            allowed)
        self.assertEqual(problems, [
            "zlib1.dll is not a DLL of Windows XP SP3 itself",
            "kernel32.dll GetTickCount64 is not known to exist on Windows XP SP3",
            "kernel32.dll RtlVirtualUnwind is not known to exist on Windows XP SP3",
        ])
        self.assertIn("RtlVirtualUnwind", system_imports.load_allowed(0x8664)["KERNEL32.DLL"])


if __name__ == "__main__":
    unittest.main()
