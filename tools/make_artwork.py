#!/usr/bin/python3
"""Draws the updater's bitmaps with ImageMagick and stores them as 8-bit
bitmap files with a full 256-colour palette.

Run from anywhere; writes into resources/bitmaps/. The results are committed,
so the build does not need ImageMagick; rerun this after changing a drawing.
"""
import os
import struct
import subprocess
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "..", "resources", "bitmaps")
FONT = "IPAPGothic"

# Each picture: name, size, ImageMagick drawing arguments (after the canvas).
PICTURES = {
    "LOGO": ("370x251", [
        "gradient:#0b1f4d-#1b7a8c",
        "-fill", "#ffffff22", "-draw", "circle 320,40 420,40",
        "-fill", "#ffffff18", "-draw", "circle 40,230 130,230",
        "-fill", "#ffffff10", "-draw", "circle 200,120 330,120",
        "-fill", "#f4d35e", "-draw", "polygon 36,40 48,16 60,40 48,64",
        "-font", FONT, "-fill", "white", "-pointsize", "46",
        "-annotate", "+76+62", "Zelmoria",
        "-fill", "#cfe8ef", "-pointsize", "14",
        "-annotate", "+80+88", "Korvantis",
        "-fill", "#ffffff30", "-draw", "rectangle 24,172 346,240",
        "-fill", "#f4d35e", "-draw", "rectangle 24,150 346,152",
    ]),
    # A glyph on a magenta ground: the ground is the transparent colour
    # (the bottom-left pixel).
    "Button": ("17x17", [
        "xc:#ff00ff", "+antialias",
        "-fill", "#1e8449", "-draw", "circle 8,8 8,1",
        "-fill", "white", "-draw", "polygon 8,3 13,9 10,9 10,13 6,13 6,9 3,9",
    ]),
}

# Pictures of the folder browser: 16 x 16 on the magenta transparent ground.
FOLDER_BACK = ["-fill", "#c9a227", "-draw", "polygon 1,4 6,4 7,5 14,5 14,13 1,13"]
PICTURES.update({
    "CLOSEDFOLDER": ("16x16", ["xc:#ff00ff", "+antialias"] + FOLDER_BACK + [
        "-fill", "#f2cf5b", "-draw", "rectangle 1,6 14,13",
        "-fill", "#8a6d12", "-draw", "line 1,13 14,13"]),
    "OPENFOLDER": ("16x16", ["xc:#ff00ff", "+antialias"] + FOLDER_BACK + [
        "-fill", "#f7e08f", "-draw", "polygon 3,8 15,8 13,13 1,13",
        "-fill", "#8a6d12", "-draw", "line 1,13 13,13"]),
    "CURRENTFOLDER": ("16x16", ["xc:#ff00ff", "+antialias"] + FOLDER_BACK + [
        "-fill", "#f7e08f", "-draw", "polygon 3,8 15,8 13,13 1,13",
        "-fill", "#1e8449", "-draw", "rectangle 6,9 10,12"]),
    "FLOPPY": ("16x16", ["xc:#ff00ff", "+antialias",
        "-fill", "#34495e", "-draw", "rectangle 2,2 13,13",
        "-fill", "#d5dbdb", "-draw", "rectangle 5,2 10,6",
        "-fill", "#ecf0f1", "-draw", "rectangle 4,9 11,13"]),
    "HARD": ("16x16", ["xc:#ff00ff", "+antialias",
        "-fill", "#7f8c8d", "-draw", "rectangle 1,5 14,11",
        "-fill", "#bdc3c7", "-draw", "rectangle 2,6 13,9",
        "-fill", "#27ae60", "-draw", "rectangle 11,10 12,10"]),
    "NETWORK": ("16x16", ["xc:#ff00ff", "+antialias",
        "-fill", "#7f8c8d", "-draw", "rectangle 1,3 14,8",
        "-fill", "#bdc3c7", "-draw", "rectangle 2,4 13,6",
        "-fill", "#2c3e50", "-draw", "rectangle 7,9 8,12",
        "-fill", "#2c3e50", "-draw", "rectangle 2,12 13,13"]),
    "CDROM": ("16x16", ["xc:#ff00ff", "+antialias",
        "-fill", "#d5d8dc", "-draw", "circle 7,7 7,1",
        "-fill", "#85c1e9", "-draw", "circle 7,7 7,4",
        "-fill", "#ff00ff", "-draw", "circle 7,7 7,6"]),
    "RAM": ("16x16", ["xc:#ff00ff", "+antialias",
        "-fill", "#1e8449", "-draw", "rectangle 1,5 14,10",
        "-fill", "#212f3d", "-draw", "rectangle 3,6 5,9",
        "-fill", "#212f3d", "-draw", "rectangle 7,6 9,9",
        "-fill", "#f4d03f", "-draw", "rectangle 2,11 13,12"]),
})


def render(size, drawing, path):
    """Draws the picture and quantises it to at most 256 colours (smooth
    gradients are dithered; sharp glyphs are drawn without anti-aliasing, so
    that no blend of the transparent ground survives at their edges)."""
    args = ["convert", "-size", size] + drawing + [
        "-colors", "256", "-type", "Palette",
        "-compress", "None", "BMP3:" + path]
    subprocess.run(args, check=True)


def with_full_palette(data):
    """Rewrites a 1-, 4- or 8-bit bitmap file as an 8-bit one whose palette
    has 256 entries (the quantiser picks fewer bits for few colours)."""
    header_size, width, height, planes, bits = struct.unpack_from("<IiiHH", data, 14)
    if bits not in (1, 4, 8) or header_size != 40 or height <= 0:
        raise SystemExit(f"expected a bottom-up palette bitmap with an info header, got {bits} bits")
    used = struct.unpack_from("<I", data, 46)[0] or (1 << bits)
    table = data[14 + header_size:14 + header_size + 4 * used] + b"\0\0\0\0" * (256 - used)
    pixels_start = struct.unpack_from("<I", data, 10)[0]
    in_stride = (width * bits + 31) // 32 * 4
    out_stride = (width + 3) // 4 * 4
    per_byte = 8 // bits
    pixels = bytearray()
    for y in range(height):
        row = data[pixels_start + y * in_stride:pixels_start + (y + 1) * in_stride]
        out = bytearray(out_stride)
        for x in range(width):
            byte = row[x // per_byte]
            shift = 8 - bits * (x % per_byte + 1)
            out[x] = (byte >> shift) & ((1 << bits) - 1)
        pixels += out
    info = bytearray(data[14:14 + header_size])
    struct.pack_into("<HI", info, 14, 8, 0)
    struct.pack_into("<III", info, 20, len(pixels), 2835, 2835)
    struct.pack_into("<II", info, 32, 256, 0)
    offset = 14 + header_size + len(table)
    file_header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    return file_header + bytes(info) + table + bytes(pixels)


def main():
    os.makedirs(OUT, exist_ok=True)
    for name, (size, drawing) in PICTURES.items():
        with tempfile.TemporaryDirectory() as temp:
            raw = os.path.join(temp, name + ".bmp")
            render(size, drawing, raw)
            with open(raw, "rb") as f:
                data = with_full_palette(f.read())
        with open(os.path.join(OUT, name + ".bmp"), "wb") as f:
            f.write(data)
        print(f"{name}.bmp: {size}, 8 bits, 256-colour palette")


if __name__ == "__main__":
    main()
