"""Checks a program's imports against the functions of the oldest Windows.

The list of allowed functions, by DLL, is windows-xp-imports.txt beside this
file; a DLL heading marked "x64" lists what only 64-bit programs import.
DLL names compare without regard to case, as Windows loads them; function
names compare exactly, as Windows binds them.
"""
from pathlib import Path

OLDEST_WINDOWS = "Windows XP SP3"
ALLOWED_LIST = Path(__file__).with_name("windows-xp-imports.txt")
IMAGE_FILE_MACHINE_AMD64 = 0x8664


def load_allowed(machine, path=ALLOWED_LIST):
    """The allowed functions by upper-case DLL name, for programs of that
    machine type."""
    allowed = {}
    functions = None
    for number, line in enumerate(Path(path).read_text(encoding="ascii").splitlines(), 1):
        line = line.strip()
        if not line or line.startswith("#"):
            continue
        if line.startswith("[") and line.endswith("]"):
            dll, _, kind = line[1:-1].partition(" ")
            if kind not in ("", "x64"):
                raise ValueError(f"{path}:{number}: unknown kind of program '{kind}'")
            wanted = not kind or machine == IMAGE_FILE_MACHINE_AMD64
            functions = allowed.setdefault(dll.upper(), set()) if wanted else set()
        elif functions is None:
            raise ValueError(f"{path}:{number}: a function before the first [DLL]")
        else:
            functions.add(line)
    return allowed


def unsupported_imports(imports, allowed):
    """What the imports (functions by DLL name) need beyond the allowed
    functions, as readable lines; empty when nothing."""
    problems = []
    for dll, functions in imports.items():
        known = allowed.get(dll.upper())
        if known is None:
            problems.append(f"{dll} is not a DLL of {OLDEST_WINDOWS} itself")
            continue
        for function in functions:
            if function not in known:
                problems.append(f"{dll} {function} is not known to exist on {OLDEST_WINDOWS}")
    return problems
