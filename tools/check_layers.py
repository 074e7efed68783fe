#!/usr/bin/python3
"""Fails when a source folder includes a header of a folder above it.

Each folder is a library that links only the folders below it; an include
that reaches upwards would tie a lower library to a higher one.
"""
import pathlib
import re
import sys

# Each folder with the folders it may include, itself apart.
ALLOWED = {
    "framework/runtime": [],
    "framework/graphics": ["framework/runtime"],
    "framework/ui": ["framework/runtime", "framework/graphics"],
    "framework/controls": ["framework/runtime", "framework/graphics", "framework/ui"],
    "container": ["framework/runtime"],
    "bitmap": ["framework/runtime", "framework/graphics", "framework/ui", "framework/controls", "container"],
    "imagepack": ["framework/runtime", "framework/graphics", "framework/ui", "framework/controls", "container",
                  "bitmap", "resources"],
    "updater": ["framework/runtime", "framework/graphics", "framework/ui", "framework/controls", "container",
                "bitmap", "imagepack", "resources"],
}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.MULTILINE)


def folder_of(path):
    """The longest folder of the table that holds the file."""
    text = path.as_posix()
    matches = [folder for folder in ALLOWED if text.startswith(folder + "/")]
    return max(matches, key=len) if matches else None


def main(root):
    root = pathlib.Path(root)
    problems = []
    for source in sorted(root.rglob("*")):
        if source.suffix not in (".h", ".cpp"):
            continue
        relative = source.relative_to(root)
        folder = folder_of(relative)
        if folder is None:
            continue
        for included in INCLUDE.findall(source.read_text(encoding="utf-8", errors="replace")):
            target = folder_of(pathlib.Path(included))
            if target and target != folder and target not in ALLOWED[folder]:
                problems.append(f"{relative}: includes {included} ({folder} may not use {target})")
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else "."))
