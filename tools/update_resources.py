#!/usr/bin/python3
"""Writes the carried version resource and checks it against the payload.

The version resource holds the major and minor number in the low halves of
two 32-bit little-endian slots. The payload's own product version should
read major.0.minor; in a plain build a disagreement is a warning, since a
developer may mean it (the release command refuses it unless forced).
"""
import argparse
import struct
import sys

from carried_version import VersionError, disagreement, parse_number
from pe_image import PEFormatError, PEImage


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--payload", required=True, help="the new product executable")
    parser.add_argument("--major", required=True)
    parser.add_argument("--minor", required=True)
    parser.add_argument("--output", required=True, help="the 8-byte version resource to write")
    args = parser.parse_args()

    try:
        major = parse_number("the major version", args.major)
        minor = parse_number("the minor version", args.minor)
    except VersionError as error:
        parser.error(str(error))

    with open(args.output, "wb") as out:
        out.write(struct.pack("<II", major, minor))

    try:
        with open(args.payload, "rb") as payload:
            problem = disagreement(PEImage(payload.read()).product_version(), major, minor)
    except PEFormatError as error:
        problem = f"the payload is not a readable Windows executable ({error})"
    if problem:
        print(f"warning: {problem}", file=sys.stderr)


if __name__ == "__main__":
    main()
