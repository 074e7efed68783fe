"""Finds traces of the machine that built a program in its bytes: the
absolute paths of the folders it was built from and in, the home folder,
the user's and the host's names. A reproducible program holds none."""
import getpass
import re
import socket
from pathlib import Path


def _spellings(text):
    """The text as ASCII and as UTF-16, with either kind of slash."""
    forms = {text, text.replace("/", "\\")}
    return {form.encode(encoding) for form in forms for encoding in ("latin-1", "utf-16-le")}


def _name_patterns(name):
    """Where a user or host name shows as such: as a path element, beside
    an @, after a UNC path's slashes; a name of five or more characters
    anywhere as a word. (Short names such as "root" are common words.)"""
    quoted = re.escape(name)
    patterns = [rf"[/\\]{quoted}[/\\]", rf"{quoted}@", rf"@{quoted}\b", rf"(//|\\\\){quoted}\b"]
    if len(name) >= 5:
        patterns.append(rf"\b{quoted}\b")
    return [re.compile(pattern.encode("latin-1"), re.IGNORECASE) for pattern in patterns]


def traces(data, folders):
    """The traces found in the bytes, each named."""
    found = []
    for folder in {str(Path(folder).resolve()) for folder in folders} | {str(Path.home())}:
        found += [f"the path {folder}" for spelling in _spellings(folder) if spelling in data][:1]
    wide = data.replace(b"\0", b"")  # UTF-16 texts of ASCII names read as ASCII
    for kind, name in (("user", getpass.getuser()), ("host", socket.gethostname())):
        if name and any(pattern.search(data) or pattern.search(wide) for pattern in _name_patterns(name)):
            found.append(f"the {kind} name {name}")
    return found
