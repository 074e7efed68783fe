#!/usr/bin/python3
"""image_res.py [--compress] [--colors 256|24] LOGO IMAGE_RES: writes a
compiled resource file that holds the logo as the bitmap resource "LOGO"
(make image-res).

Placed next to the updater under the name "Image.res", it replaces the logo
that the updater carries, and the main window takes the new logo's size;
nothing is rebuilt. The logo is a PNG, JPEG, GIF or BMP picture, made into a
BMP file that can be carried first (logo_image.py: a carriable BMP file is
kept as it is, any other picture converted); nothing is written when that
cannot be done. By default the resource holds the bitmap as bitmap resources
do, the file without its 14-byte file header; with --compress it holds the
whole file in the compressed container ("ZLIBCompress"), which the updater's
picture loader unpacks.
"""
import argparse
import struct
import sys

import bmp_file
import zcontainer
from logo_image import LogoError, parse_colours, read_logo
from whole_file import write_whole

RT_BITMAP = 2
NAME = "LOGO"
# Moveable, pure and discardable, as resource compilers mark bitmaps;
# Japanese, as the updater's own resources are.
MEMORY_FLAGS = 0x1030
LANGUAGE_JAPANESE = 0x0411


def _identifier(value):
    if isinstance(value, int):
        return struct.pack("<HH", 0xFFFF, value)
    return value.encode("utf-16-le") + b"\0\0"


def _padded(data):
    return data + b"\0" * (-len(data) % 4)


def resource_entry(type_id, name, data, memory_flags=MEMORY_FLAGS, language=LANGUAGE_JAPANESE):
    """One entry of a compiled resource file: its header, its data, padding."""
    ids = _padded(_identifier(type_id) + _identifier(name))
    tail = struct.pack("<IHHII", 0, memory_flags, language, 0, 0)
    header = struct.pack("<II", len(data), 8 + len(ids) + len(tail)) + ids + tail
    return header + _padded(data)


def image_res(bitmap, compress):
    """The compiled resource file holding the bitmap file's bytes as "LOGO";
    bmp_file.BMPFormatError when the bitmap cannot be carried."""
    bmp_file.read_bitmap_info(bitmap)
    data = zcontainer.pack(bitmap) if compress else bitmap[bmp_file.FILE_HEADER_SIZE:]
    # Such files start with an empty entry.
    return resource_entry(0, 0, b"", memory_flags=0, language=0) + resource_entry(RT_BITMAP, NAME, data)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--compress", action="store_true", help="carry the bitmap in the compressed container")
    parser.add_argument("--colors", default="256",
                        help="a converted logo's colours: 256 (8 bits per pixel, the default) or 24 (bits)")
    parser.add_argument("logo", help="the logo, a PNG, JPEG, GIF or BMP picture")
    parser.add_argument("output", help="the resource file to write, usually Image.res")
    args = parser.parse_args()
    try:
        logo = read_logo(args.logo, parse_colours(args.colors))
    except LogoError as error:
        sys.exit(f"image_res: {error}; nothing was written")
    made = image_res(logo.bitmap, args.compress)
    try:
        write_whole(args.output, made)
    except OSError as error:
        sys.exit(f"image_res: {args.output}: {error.strerror}")
    how = "compressed" if args.compress else "plain"
    print(f"{args.logo}: {logo.how}")
    print(f"{args.output}: bitmap LOGO, {logo.info.width} x {logo.info.height}, {logo.info.bits_per_pixel} bits "
          f"per pixel, {len(made):,} bytes ({how})", flush=True)
    for warning in logo.warnings:
        print(f"image_res: warning: {warning}", file=sys.stderr)


if __name__ == "__main__":
    main()
