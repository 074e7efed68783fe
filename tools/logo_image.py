"""The logo as the updater carries it: a BMP file whose pixels follow its
colour table, made from a PNG, JPEG, GIF or BMP picture.

A BMP file that can be carried already is kept byte for byte. Any other
picture is decoded with Pillow (Debian's python3-pil, for /usr/bin/python3)
and written as an 8-bit BMP file, which draws best on palette screens (a
palette of the picture's own colours when it has at most 256, else an
adaptive one of 256, dithered), or as a 24-bit one. Transparent and translucent parts are
flattened onto the colour of the window around the logo in Windows' default
scheme, since a bitmap holds no transparency. Refused: a file that cannot be
read or decoded (a GIF file with a block cut short among them), a picture
with a side of 0, and one larger than the updater's readers decode.
"""
import io
import struct
import warnings
from dataclasses import dataclass, field

import bmp_file
from whole_file import read_named

FORMATS = ("PNG", "JPEG", "GIF", "BMP")
COLOUR_CHOICES = (256, 24)
# Windows' default button face (COLOR_BTNFACE), the main window's colour.
WINDOW_COLOUR = (240, 240, 240)
# What the updater's picture readers decode at most.
MAX_PIXELS = 4096 * 4096
MAX_ROW_BYTES = 64 * 1024 * 1024
# Where the buttons reach: a smaller logo leaves room the window fills.
BUTTONS_REACH = (326, 63)
# A GIF file's signature and screen descriptor; an image descriptor with
# its introducer.
GIF_SCREEN_SIZE = 13
GIF_IMAGE_DESCRIPTOR_SIZE = 10
GIF_EXTENSION, GIF_IMAGE, GIF_TRAILER = 0x21, 0x2C, 0x3B
# The extensions whose first sub-block Pillow reads fields of, and the
# bytes those fields take.
GIF_EXTENSION_FIELDS = {0xF9: ("graphic control extension", 4), 0xFF: ("application extension", 11)}


class LogoError(Exception):
    pass


@dataclass
class Logo:
    bitmap: bytes
    info: bmp_file.BitmapInfo
    how: str
    warnings: list = field(default_factory=list)


def declared_size(data):
    """(format, width, height) as the file's header declares them, or None
    for a file of none of the four formats or one cut short in its header."""
    if data.startswith(b"\x89PNG\r\n\x1a\n") and data[12:16] == b"IHDR" and len(data) >= 24:
        return ("PNG", *struct.unpack_from(">II", data, 16))
    if data[:6] in (b"GIF87a", b"GIF89a") and len(data) >= 10:
        return ("GIF", *struct.unpack_from("<HH", data, 6))
    if data.startswith(b"BM") and len(data) >= 26:
        header_size = struct.unpack_from("<I", data, 14)[0]
        if header_size == bmp_file.CORE_HEADER_SIZE:
            return ("BMP", *struct.unpack_from("<HH", data, 18))
        width, height = struct.unpack_from("<ii", data, 18)
        return ("BMP", width, abs(height))
    if data.startswith(b"\xff\xd8"):
        return _jpeg_size(data)
    return None


def _jpeg_size(data):
    at = 2
    while at + 9 <= len(data) and data[at] == 0xFF:
        marker, length = data[at + 1], struct.unpack_from(">H", data, at + 2)[0]
        # Start-of-frame markers; C4, C8 and CC are tables and an extension.
        if 0xC0 <= marker <= 0xCF and marker not in (0xC4, 0xC8, 0xCC):
            height, width = struct.unpack_from(">HH", data, at + 5)
            return ("JPEG", width, height)
        at += 2 + length
    return None


def check_size(width, height, bits_per_pixel):
    """LogoError for a side of 0 or a picture beyond what the updater decodes."""
    if width <= 0 or height <= 0:
        raise LogoError(f"it is {width} x {height} pixels: a side of 0")
    rows = (width * bits_per_pixel + 31) // 32 * 4 * height
    if width * height > MAX_PIXELS or rows > MAX_ROW_BYTES:
        raise LogoError(f"it is {width:,} x {height:,} pixels, larger than the updater decodes "
                        f"(at most {MAX_PIXELS:,} pixels and {MAX_ROW_BYTES // 2 ** 20} MiB of rows)")


def parse_colours(text):
    """The colour choice LOGO_COLORS names: 256 (8 bits per pixel) or 24."""
    if text in (None, ""):
        return 256
    if str(text) not in map(str, COLOUR_CHOICES):
        raise LogoError(f"the colours (LOGO_COLORS) must be 256 or 24, not '{text}'")
    return int(text)


def carriable_logo(data, colours=256):
    """The Logo for a picture file's bytes; LogoError with the reason when it
    cannot be carried."""
    declared = declared_size(data)
    if declared is None:
        raise LogoError("it is not a PNG, JPEG, GIF or BMP picture")
    kind, width, height = declared
    check_size(width, height, 24 if colours == 24 else 8)
    if kind == "BMP":
        try:
            info = bmp_file.read_bitmap_info(data)
        except bmp_file.BMPFormatError as error:
            if _pixels_cut_short(data, width, height):
                # Not decoded: the decoder would run through every row first.
                raise LogoError(f"{error}, and it holds fewer bytes than its pixels need") from None
            try:
                logo = _converted(data, colours, f"a BMP file that cannot be carried as it is ({error})")
            except LogoError as failure:
                raise LogoError(f"{error}, and {failure}") from None
        else:
            check_size(info.width, info.height, info.bits_per_pixel)
            logo = Logo(data, info, "a BMP file carried as it is")
    else:
        if kind == "GIF":
            _check_gif_blocks(data)
        logo = _converted(data, colours, f"a {kind} picture")
    if logo.info.width < BUTTONS_REACH[0] or logo.info.height < BUTTONS_REACH[1]:
        logo.warnings.append(
            f"the logo is {logo.info.width} x {logo.info.height} pixels, smaller than the buttons reach "
            f"({BUTTONS_REACH[0]} x {BUTTONS_REACH[1]}); the window fills the rest with its own colour")
    return logo


def _pixels_cut_short(data, width, height):
    """Whether a BMP file with uncompressed pixels holds fewer bytes than they
    take."""
    if struct.unpack_from("<I", data, 14)[0] == bmp_file.CORE_HEADER_SIZE:
        bits, compression = struct.unpack_from("<H", data, 24)[0], bmp_file.BI_RGB
    elif len(data) >= 34:
        bits, compression = struct.unpack_from("<HI", data, 28)
    else:
        return True
    if compression not in (bmp_file.BI_RGB, bmp_file.BI_BITFIELDS):
        return False
    pixels_at = struct.unpack_from("<I", data, 10)[0]
    return len(data) - min(pixels_at, len(data)) < (width * bits + 31) // 32 * 4 * height


def _check_gif_blocks(data):
    """LogoError when a GIF file's blocks, up to its trailer or its end, are
    not whole: Pillow reads a damaged block's fields unchecked and fails
    with errors of its own."""
    at = _gif_skip(data, 0, GIF_SCREEN_SIZE, "screen descriptor")
    at = _gif_colour_table(data, at, data[10], "global colour table")
    while at < len(data) and data[at] != GIF_TRAILER:
        if data[at] == GIF_EXTENSION:
            at = _gif_extension(data, at)
        elif data[at] == GIF_IMAGE:
            at = _gif_skip(data, at, GIF_IMAGE_DESCRIPTOR_SIZE, "image descriptor")
            at = _gif_colour_table(data, at, data[at - 1], "local colour table")
            at = _gif_sub_blocks(data, _gif_skip(data, at, 1, "image data"), "image data")
        else:
            # A stray byte between blocks, which Pillow passes over as decoders do.
            at += 1


def _gif_skip(data, at, size, what):
    """The end of a GIF part of a fixed size at byte at, which the file must hold."""
    if at + size > len(data):
        raise LogoError(f"it cannot be decoded: the file ends inside the GIF {what} at byte {at}")
    return at + size


def _gif_colour_table(data, at, flags, what):
    """The end of the colour table that the flags declare, if they declare one."""
    return _gif_skip(data, at, 3 << ((flags & 7) + 1), what) if flags & 0x80 else at


def _gif_extension(data, at):
    """The end of the extension at byte at: its introducer, its label and its
    sub-blocks, the first holding the fields Pillow reads, if any."""
    name, fields = GIF_EXTENSION_FIELDS.get(data[at + 1] if at + 1 < len(data) else None, ("extension", 0))
    if at + 2 < len(data) and data[at + 2] < fields:
        raise LogoError(f"it cannot be decoded: the GIF {name} at byte {at} holds {data[at + 2]} bytes "
                        f"of the {fields} its fields take")
    return _gif_sub_blocks(data, _gif_skip(data, at, 2, name), name)


def _gif_sub_blocks(data, at, what):
    """The end of a chain of sub-blocks, each a length byte and that many
    bytes, that an empty one ends."""
    while True:
        at = _gif_skip(data, at, 1, what)
        if data[at - 1] == 0:
            return at
        at = _gif_skip(data, at, data[at - 1], what)


def _converted(data, colours, source):
    """The Logo converted from a picture that Pillow decodes."""
    rgb, notes = _flattened(data, 24 if colours == 24 else 8)
    bitmap, palette_note = _encoded(rgb, colours)
    how = [f"{source} converted to {'a 24-bit' if colours == 24 else 'an 8-bit'} BMP file"]
    how += [palette_note] if palette_note else []
    return Logo(bitmap, bmp_file.read_bitmap_info(bitmap), ", ".join(how + notes))


def _flattened(data, bits_per_pixel):
    """The first frame of the picture as RGB, flattened onto the window
    colour, and notes on what was done to it."""
    from PIL import Image  # Only conversions need Pillow.

    try:
        with warnings.catch_warnings():
            # Its own limit is above the updater's, which is checked below.
            warnings.simplefilter("ignore", Image.DecompressionBombWarning)
            picture = Image.open(io.BytesIO(data))
        with picture:
            if picture.format not in FORMATS:
                raise LogoError(f"it is a {picture.format} picture, not a PNG, JPEG, GIF or BMP one")
            # The size the decoder goes by, which may differ from the header's.
            check_size(*picture.size, bits_per_pixel)
            frames = getattr(picture, "n_frames", 1)
            transparent = picture.mode in ("RGBA", "LA", "PA", "RGBa", "La") or "transparency" in picture.info
            if picture.mode.startswith("I"):
                # 16-bit grey, which a plain conversion would clip to white.
                picture = picture.point(lambda value: value / 256).convert("L")
            rgba = picture.convert("RGBA")
    except (OSError, ValueError, SyntaxError, Image.DecompressionBombError) as error:
        raise LogoError(f"it cannot be decoded: {error}") from None
    flat = Image.new("RGBA", rgba.size, WINDOW_COLOUR + (255,))
    flat.alpha_composite(rgba)
    notes = [f"the first of its {frames} frames"] if frames > 1 else []
    if transparent:
        notes.append(f"transparency flattened onto the window colour RGB{WINDOW_COLOUR} (Windows' default)")
    return flat.convert("RGB"), notes


def _encoded(rgb, colours):
    """The BMP file of the RGB picture, and a note on its palette."""
    if colours == 24:
        return _bitmap_file(rgb.width, rgb.height, 24, b"",
                            rgb.tobytes("raw", "BGR", (rgb.width * 3 + 3) // 4 * 4, -1)), None
    paletted, note = _paletted(rgb)
    palette = paletted.getpalette()[:3 * (paletted.getextrema()[1] + 1)]
    table = b"".join(bytes((palette[i + 2], palette[i + 1], palette[i], 0)) for i in range(0, len(palette), 3))
    return _bitmap_file(rgb.width, rgb.height, 8, table,
                        paletted.tobytes("raw", "P", (rgb.width + 3) // 4 * 4, -1)), note


def _paletted(rgb):
    """The RGB picture on a palette of its own colours when it has at most
    256, else on an adaptive palette of 256, dithered; and a note on which."""
    from PIL import Image

    exact = rgb.getcolors(256)
    palette = Image.new("P", (1, 1))
    if exact:
        palette.putpalette([channel for _, colour in exact for channel in colour])
        plural = "s" if len(exact) > 1 else ""
        return (rgb.quantize(palette=palette, dither=Image.Dither.NONE),
                f"its {len(exact)} colour{plural} exactly in the palette")
    palette.putpalette(rgb.quantize(256, method=Image.Quantize.MEDIANCUT).getpalette())
    return (rgb.quantize(palette=palette, dither=Image.Dither.FLOYDSTEINBERG),
            "an adaptive palette of 256 colours (median cut, Floyd-Steinberg dithering)")


def _bitmap_file(width, height, bits, table, pixels):
    """A bottom-up BMP file with a BITMAPINFOHEADER and the pixels right
    after the colour table."""
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, bmp_file.BI_RGB, len(pixels), 2835, 2835,
                         len(table) // 4, 0)
    offset = bmp_file.FILE_HEADER_SIZE + len(header) + len(table)
    return b"BM" + struct.pack("<IHHI", offset + len(pixels), 0, 0, offset) + header + table + pixels


def read_logo(path, colours=256):
    """The Logo for a picture file; LogoError naming the file otherwise."""
    data = read_named(path, "logo", LogoError)
    try:
        return carriable_logo(data, colours)
    except LogoError as error:
        raise LogoError(f"the logo {path} cannot be carried: {error}") from None

