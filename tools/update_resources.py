#!/usr/bin/env python3
"""Writes the carried version resource and checks it against the payload.

The version resource holds the major and minor number in the low halves of
two 32-bit little-endian slots. The payload's own product version (from its
fixed version record) should read major.0.minor; a disagreement is reported
as a build warning, since a release engineer may mean it.
"""
import argparse
import struct
import sys

FIXED_INFO_SIGNATURE = struct.pack("<I", 0xFEEF04BD)


def product_version(path):
    data = open(path, "rb").read()
    at = data.find(FIXED_INFO_SIGNATURE)
    if at < 0 or at + 24 > len(data):
        return None
    ms, ls = struct.unpack_from("<II", data, at + 16)
    return (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--payload", required=True, help="the new product executable")
    parser.add_argument("--major", type=int, required=True)
    parser.add_argument("--minor", type=int, required=True)
    parser.add_argument("--output", required=True, help="the 8-byte version resource to write")
    args = parser.parse_args()

    for name in ("major", "minor"):
        if not 0 <= getattr(args, name) <= 0xFFFF:
            parser.error(f"--{name} must lie in 0..65535")

    with open(args.output, "wb") as out:
        out.write(struct.pack("<II", args.major, args.minor))

    version = product_version(args.payload)
    if version is None:
        print(f"warning: {args.payload} carries no version information", file=sys.stderr)
    elif version[0] != args.major or version[1] * 10 + version[2] != args.minor:
        shown = ".".join(map(str, version))
        print(f"warning: the payload's product version {shown} disagrees with the carried "
              f"version {args.major}.0{args.minor}", file=sys.stderr)


if __name__ == "__main__":
    main()
