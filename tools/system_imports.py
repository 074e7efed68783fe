"""Checks a program's imports against the functions of the oldest Windows.

The list of allowed functions, by DLL, is windows-xp-imports.txt beside this
file. DLL names compare without regard to case, as Windows loads them;
function names compare exactly, as Windows binds them.
"""
from pathlib import Path

OLDEST_WINDOWS = "Windows XP SP3"
ALLOWED_LIST = Path(__file__).with_name("windows-xp-imports.txt")


def load_allowed(path=ALLOWED_LIST):
    allowed = {}
    functions = None
    for number, line in enumerate(Path(path).read_text(encoding="ascii").splitlines(), 1):
        line = line.strip()
        if not line or line.startswith("#"):
            continue
        if line.startswith("[") and line.endswith("]"):
            functions = allowed.setdefault(line[1:-1].upper(), set())
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
