#!/usr/bin/python3
"""logo_variants.py FOLDER: writes the logos of other sizes and formats that
the logo test puts next to the updater, as BMP files; the build turns each
into an "Image.res" with tools/image_res.py, as a release engineer would.

wide.bmp    480 x 300, 24 bits per pixel
packed.bmp  400 x 280, 8 bits per pixel (carried compressed)
narrow.bmp  200 x 100, 8 bits per pixel, narrower than the buttons reach

and, 370 x 251 each, deeper logos that also carry a 256-colour table, which
only advises palette screens:

table16.bmp   16 bits per pixel, 5-5-5
fields16.bmp  16 bits per pixel, bit fields 5-6-5
table24.bmp   24 bits per pixel
table32.bmp   32 bits per pixel
fields32.bmp  32 bits per pixel, bit fields 8-8-8

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

BI_RGB, BI_BITFIELDS = 0, 3
MASKS_555 = (0x7C00, 0x03E0, 0x001F)
MASKS_565 = (0xF800, 0x07E0, 0x001F)
MASKS_888 = (0xFF0000, 0x00FF00, 0x0000FF)
# The logos with a table: (name, bits per pixel, bit-field masks or None).
TABLE_CARRYING = [
    ("table16", 16, None),
    ("fields16", 16, MASKS_565),
    ("table24", 24, None),
    ("table32", 32, None),
    ("fields32", 32, MASKS_888),
]


def packed_pixel(rgb, bits, masks):
    """The bytes of one pixel of (r, g, b) at 16, 24 or 32 bits."""
    if bits == 24:
        return bytes(reversed(rgb))
    masks = masks or (MASKS_555 if bits == 16 else MASKS_888)
    value = 0
    for channel, mask in zip(rgb, masks):
        shift = (mask & -mask).bit_length() - 1
        value |= (channel * (mask >> shift) // 255) << shift
    return value.to_bytes(bits // 8, "little")


def bitmap_file(width, height, bits, palette, pixel, masks=None):
    """A bottom-up bitmap file; pixel(x, y) is a palette index at 8 bits, an
    (r, g, b) triple at more. Masks, when given, make it a bit-field bitmap;
    the palette then follows them."""
    stride = (width * bits + 31) // 32 * 4
    rows = []
    for y in reversed(range(height)):
        if bits == 8:
            row = bytes(pixel(x, y) for x in range(width))
        else:
            row = b"".join(packed_pixel(pixel(x, y), bits, masks) for x in range(width))
        rows.append(row + b"\0" * (stride - len(row)))
    table = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    compression = BI_BITFIELDS if masks else BI_RGB
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, compression, stride * height, 2835, 2835,
                         len(palette), 0)
    header += struct.pack("<III", *masks) if masks else b""
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
    # Every channel changes from pixel to pixel, so that pixels taken from
    # the wrong place show.
    for name, bits, masks in TABLE_CARRYING:
        (folder / f"{name}.bmp").write_bytes(bitmap_file(
            370, 251, bits, ramp, lambda x, y: ((x * 7 + y) % 256, (x + y * 5) % 256, (x * y) % 256), masks))
    (folder / "transparent.png").write_bytes(png_file(360, 140, transparent_logo))
    (folder / "transparent-flattened.bmp").write_bytes(bitmap_file(
        360, 140, 24, [], lambda x, y: transparent_logo(x, y)[:3] if transparent_logo(x, y)[3] else WINDOW_COLOUR))


if __name__ == "__main__":
    main()
