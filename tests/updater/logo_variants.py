#!/usr/bin/env python3
"""logo_variants.py FOLDER: writes the logos of other sizes that the logo
test puts next to the updater, as BMP files; the build turns each into an
"Image.res" with tools/image_res.py, as a release engineer would.

wide.bmp    480 x 300, 24 bits per pixel
packed.bmp  400 x 280, 8 bits per pixel (carried compressed)
narrow.bmp  200 x 100, 8 bits per pixel, narrower than the buttons reach
"""
import struct
import sys
from pathlib import Path


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


if __name__ == "__main__":
    main()
