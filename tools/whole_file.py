"""Writes a file whole or not at all: the bytes go to a hidden file beside
it first, which then takes its name. A reader never sees half a file, and a
failed write leaves nothing behind."""
import os
from pathlib import Path


def write_whole(path, data):
    target = Path(path)
    part = target.with_name(f".{target.name}.part")
    try:
        part.write_bytes(data)
        os.replace(part, target)
    except OSError:
        part.unlink(missing_ok=True)
        raise
