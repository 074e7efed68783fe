#!/usr/bin/env python3
"""Converts a UTF-8 resource script into the Shift-JIS script windres reads.

Inside string literals every non-ASCII character is written as octal escapes
of its Shift-JIS bytes: the second byte of many Shift-JIS characters is the
byte of the backslash, which the resource compiler would otherwise take for
the start of an escape sequence.
"""
import sys


def convert(text):
    out = []
    in_string = False
    i = 0
    while i < len(text):
        ch = text[i]
        if in_string and ch == "\\" and i + 1 < len(text):
            out.append(text[i:i + 2])
            i += 2
            continue
        if ch == '"':
            in_string = not in_string
        if in_string and ord(ch) > 127:
            out.append("".join(f"\\{byte:03o}" for byte in ch.encode("cp932")))
        else:
            out.append(ch)
        i += 1
    return "".join(out).encode("cp932")


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: rc_to_shiftjis.py INPUT.rc OUTPUT.rc")
    with open(sys.argv[1], encoding="utf-8") as source:
        data = convert(source.read())
    with open(sys.argv[2], "wb") as target:
        target.write(data)


if __name__ == "__main__":
    main()
