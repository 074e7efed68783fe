#!/usr/bin/python3
"""Checks that a file is a bitmap file that can be carried as a bitmap resource.

A bitmap resource is the file without its 14-byte file header: the loader
then finds the pixels right after the colour table. So besides being a
well-formed BMP, the file must keep its pixels there, and must hold all of
them. Used as a program, it checks a file and copies it.
"""
import shutil
import struct
import sys
from dataclasses import dataclass

FILE_HEADER_SIZE = 14
BI_RGB, BI_RLE8, BI_RLE4, BI_BITFIELDS = 0, 1, 2, 3
# Header sizes: the OS/2 core header, then the Windows ones of each generation.
CORE_HEADER_SIZE = 12
INFO_HEADER_SIZES = (40, 52, 56, 108, 124)


class BMPFormatError(Exception):
    pass


@dataclass
class BitmapInfo:
    width: int
    height: int
    bits_per_pixel: int
    compression: int


def read_bitmap_info(data):
    """The bitmap's size and format; BMPFormatError when it cannot be carried."""
    if len(data) < FILE_HEADER_SIZE + 4 or data[:2] != b"BM":
        raise BMPFormatError("it does not start with a bitmap file header")
    pixels_at = struct.unpack_from("<I", data, 10)[0]
    header_size = struct.unpack_from("<I", data, FILE_HEADER_SIZE)[0]
    if header_size == CORE_HEADER_SIZE:
        _need(data, FILE_HEADER_SIZE + header_size)
        width, height, planes, bits = struct.unpack_from("<HHHH", data, FILE_HEADER_SIZE + 4)
        compression, colours_used, entry_size = BI_RGB, 0, 3
        if bits not in (1, 4, 8, 24):
            raise BMPFormatError(f"{bits} bits per pixel in a core header")
    elif header_size in INFO_HEADER_SIZES:
        _need(data, FILE_HEADER_SIZE + header_size)
        width, height, planes, bits, compression, image_size, _, _, colours_used = struct.unpack_from(
            "<iiHHIIiiI", data, FILE_HEADER_SIZE + 4)
        entry_size = 4
    else:
        raise BMPFormatError(f"unknown bitmap header of {header_size} bytes")

    if planes != 1:
        raise BMPFormatError(f"{planes} colour planes")
    if bits not in (1, 4, 8, 16, 24, 32):
        raise BMPFormatError(f"{bits} bits per pixel")
    if width <= 0 or height == 0:
        raise BMPFormatError(f"a size of {width} x {height} pixels")
    allowed = {BI_RGB: True, BI_RLE8: bits == 8, BI_RLE4: bits == 4, BI_BITFIELDS: bits in (16, 32)}
    if not allowed.get(compression, False):
        raise BMPFormatError(f"compression {compression} with {bits} bits per pixel")
    if compression in (BI_RLE8, BI_RLE4) and height < 0:
        raise BMPFormatError("run-length compression in a top-down bitmap")

    if bits <= 8:
        if colours_used > 1 << bits:
            raise BMPFormatError(f"{colours_used} colours for {bits} bits per pixel")
        colours = colours_used or 1 << bits
    else:
        colours = colours_used
    masks = 12 if compression == BI_BITFIELDS and header_size == 40 else 0
    table_end = FILE_HEADER_SIZE + header_size + masks + colours * entry_size
    if pixels_at != table_end:
        raise BMPFormatError(f"its pixels start at byte {pixels_at}, not right after the "
                             f"colour table at byte {table_end}")

    if compression in (BI_RLE8, BI_RLE4):
        pixel_bytes = image_size
        if pixel_bytes == 0:
            raise BMPFormatError("compressed pixels of unknown size")
    else:
        pixel_bytes = (width * bits + 31) // 32 * 4 * abs(height)
    if pixels_at + pixel_bytes > len(data):
        raise BMPFormatError(f"it holds {len(data) - pixels_at} bytes of pixels of the {pixel_bytes} "
                             "its header announces")
    return BitmapInfo(width, abs(height), bits, compression)


def _need(data, size):
    if len(data) < size:
        raise BMPFormatError("its bitmap header is cut short")


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: bmp_file.py BITMAP COPY")
    try:
        with open(sys.argv[1], "rb") as source:
            read_bitmap_info(source.read())
    except OSError as error:
        sys.exit(f"{sys.argv[1]}: {error.strerror}")
    except BMPFormatError as error:
        sys.exit(f"{sys.argv[1]} is not a bitmap that can be carried: {error}")
    shutil.copyfile(sys.argv[1], sys.argv[2])


if __name__ == "__main__":
    main()
