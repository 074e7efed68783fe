"""Whole files for the release tools: written whole or not at all (the
bytes go to a hidden file beside it first, which then takes its name, so a
reader never sees half a file and a failed write leaves nothing behind), and
read with a message that names what the file was meant to be."""
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


def read_named(path, what, error):
    """The file's bytes; error(message) naming it as `what` when it is missing
    or cannot be read."""
    try:
        return Path(path).read_bytes()
    except FileNotFoundError:
        raise error(f"the {what} {path} does not exist") from None
    except OSError as failure:
        raise error(f"the {what} {path} cannot be read: {failure.strerror}") from None
