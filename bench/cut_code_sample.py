#!/usr/bin/python3
"""cut_code_sample.py FOLDER SIZE OUTPUT

Writes the first SIZE bytes of the DLLs in FOLDER, joined in name order:
real x86 code of a known length, to stand in for a product executable."""
import pathlib
import sys


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    folder, size, output = pathlib.Path(sys.argv[1]), int(sys.argv[2]), pathlib.Path(sys.argv[3])
    data = bytearray()
    for dll in sorted(folder.glob("*.dll")):
        data += dll.read_bytes()
        if len(data) >= size:
            break
    if len(data) < size:
        sys.exit(f"cut_code_sample: the DLLs in {folder} hold only {len(data)} bytes, {size} wanted")
    output.write_bytes(data[:size])


if __name__ == "__main__":
    main()
