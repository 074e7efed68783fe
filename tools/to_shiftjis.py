#!/usr/bin/python3
"""Converts a UTF-8 source text into Shift-JIS (code page 932).

  to_shiftjis.py INPUT OUTPUT          a text as it stands (dialog layouts)
  to_shiftjis.py --rc INPUT OUTPUT     a resource script for windres

In a resource script every non-ASCII character inside a string literal is
written as octal escapes of its Shift-JIS bytes: the second byte of many
Shift-JIS characters is the byte of the backslash, which the resource
compiler would otherwise take for the start of an escape sequence.
"""
import sys


def escape_resource_strings(text):
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
    return "".join(out)


def main():
    args = sys.argv[1:]
    resource_script = args[:1] == ["--rc"]
    if resource_script:
        args = args[1:]
    if len(args) != 2:
        sys.exit("usage: to_shiftjis.py [--rc] INPUT OUTPUT")
    with open(args[0], encoding="utf-8") as source:
        text = source.read()
    if resource_script:
        text = escape_resource_strings(text)
    with open(args[1], "wb") as target:
        target.write(text.encode("cp932"))


if __name__ == "__main__":
    main()
