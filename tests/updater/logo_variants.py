#!/usr/bin/env python3
"""logo_variants.py FOLDER: writes the logos of other sizes that the logo
test puts next to the updater, as BMP files; the build turns each into an
"Image.res" with tools/image_res.py, as a release engineer would.

wide.bmp    480 x 300, 24 bits per pixel
packed.bmp  400 x 280, 8 bits per pixel (carried compressed)
narrow.bmp  200 x 100, 8 bits per pixel, narrower than the buttons reach

And one PNG picture, transparent.png (360 x 140, RGBA): a transparent border
around an opaque picture of few colours. transparent-flattened.bmp is what
it must show, the border in the window colour the conversion flattens onto.
"""
import struct
import sys
import zlib
from pathlib import Path

# The window colour of Windows' default scheme, which the logo conversion
# flattens transparency onto.
WINDOW_COLOUR = (240, 240, 240)


def bitmap_file(width, height, bits, palette, pixel):
    """A bottom-up bitmap file; pixel(x, y) is a palette index at 8 bits,
    an (r, g, b) triple at 24."""
    stride = (width * bits + 31) // 32 * 4
    rows = []
    for y in reversed(range(height)):
        if bits == 8:
            row = bytes(pixel(x, y) for x in range(width))
        else:
            row = b"".join(bytes(reversed(pixel(x, y))) for x in range(width))
        rows.append(row + b"\0" * (stride - len(row)))
    table = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, stride * height, 2835, 2835,
                         len(palette), 0)
    offset = 14 + len(header) + len(table)
    pixels = b"".join(rows)
    return b"BM" + struct.pack("<IHHI", offset + len(pixels), 0, 0, offset) + header + table + pixels


def png_file(width, height, pixel):
    """An 8-bit RGBA PNG file; pixel(x, y) is an (r, g, b, a) tuple."""
    rows = b"".join(b"\0" + b"".join(bytes(pixel(x, y)) for x in range(width)) for y in range(height))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


def transparent_logo(x, y):
    """A checkerboard of 36 colours inside a 30-pixel transparent border."""
    if not (30 <= x < 330 and 30 <= y < 110):
        return (255, 0, 255, 0)
    cell = x // 50 + y // 20 * 6
    return (cell * 7 % 256, 255 - cell * 6, (x // 50) * 40, 255)


def main():
    folder = Path(sys.argv[1])
    folder.mkdir(parents=True, exist_ok=True)
    # Dark blues to light greens, as a logo's background might run.
    ramp = [(i // 4, 20 + i // 2, 70 + i // 2) for i in range(128)] + \
           [(60 + i // 2, 100 + i, 90 + i // 3) for i in range(128)]
    (folder / "wide.bmp").write_bytes(bitmap_file(
        480, 300, 24, [], lambda x, y: (x * 255 // 479, y * 255 // 299, (x + y) % 256)))
    (folder / "packed.bmp").write_bytes(bitmap_file(
        400, 280, 8, ramp, lambda x, y: (x * 3 + y // 2) % 256 if (x // 40 + y // 40) % 2 else 255 - y % 256))
    (folder / "narrow.bmp").write_bytes(bitmap_file(
        200, 100, 8, ramp, lambda x, y: (x + 2 * y) % 256))
    (folder / "transparent.png").write_bytes(png_file(360, 140, transparent_logo))
    (folder / "transparent-flattened.bmp").write_bytes(bitmap_file(
        360, 140, 24, [], lambda x, y: transparent_logo(x, y)[:3] if transparent_logo(x, y)[3] else WINDOW_COLOUR))


if __name__ == "__main__":
    main()
