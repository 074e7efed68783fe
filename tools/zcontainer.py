#!/usr/bin/python3
"""The updater's compressed container ("ZLIBCompress", 0x1A, the 32-bit
little-endian uncompressed size, one zlib stream at the best compression).

    zcontainer.py pack INPUT OUTPUT      write a container holding INPUT
    zcontainer.py verify CONTAINER       check a container; print its sizes
    zcontainer.py unpack CONTAINER OUTPUT
                                         write the uncompressed data

The build packs the payload and the logo with it; the release tools read
back what the updater carries with it. A container is read as the updater
reads it, only more strictly: the stream must inflate to exactly the
declared size, end there, and pass its Adler-32 check.
"""
import struct
import sys
import zlib
from pathlib import Path

from whole_file import write_whole

SIGNATURE = b"ZLIBCompress\x1a"
HEADER_SIZE = len(SIGNATURE) + 4
LARGEST = 0x7FFFFFFF
USAGE = __doc__.split("\n\n")[1]


class ContainerError(Exception):
    pass


def is_container(data):
    return data.startswith(SIGNATURE)


def pack(data):
    """The container holding the data."""
    if not 1 <= len(data) <= LARGEST:
        raise ContainerError(f"the input must hold 1 to {LARGEST} bytes")
    return SIGNATURE + struct.pack("<I", len(data)) + zlib.compress(data, zlib.Z_BEST_COMPRESSION)


def unpack(container):
    """The data the container holds; ContainerError when it is not a sound
    container. Bytes after the end of the zlib stream are not examined."""
    if len(container) < HEADER_SIZE or not is_container(container):
        raise ContainerError("not a container: the signature is missing")
    declared = struct.unpack_from("<I", container, len(SIGNATURE))[0]
    if not 1 <= declared <= LARGEST:
        raise ContainerError(f"the declared size {declared} is not valid")
    inflater = zlib.decompressobj()
    try:
        data = inflater.decompress(container[HEADER_SIZE:], declared)
        # The declared size reached, the stream must end without more output.
        more = inflater.decompress(inflater.unconsumed_tail, 1) if len(data) == declared else b""
    except zlib.error as error:
        raise ContainerError(f"the zlib stream is damaged: {error}") from None
    if len(data) < declared:
        raise ContainerError(f"the zlib stream ends after {len(data)} bytes, before the declared size")
    if more:
        raise ContainerError("the zlib stream holds more than the declared size")
    if not inflater.eof:
        raise ContainerError("the zlib stream does not end after the declared size")
    return data


def _read(path):
    try:
        return Path(path).read_bytes()
    except OSError as error:
        raise ContainerError(f"cannot open {path}: {error.strerror}") from None


def _write(path, data):
    try:
        write_whole(path, data)
    except OSError as error:
        raise ContainerError(f"cannot write {path}: {error.strerror}") from None


def run(arguments):
    command = arguments[0] if arguments else ""
    if command in ("--help", "-h"):
        print(USAGE)
        return 0
    if command == "pack" and len(arguments) == 3:
        data = _read(arguments[1])
        container = pack(data)
        _write(arguments[2], container)
        print(f"{arguments[2]}: {len(container)} bytes, declares {len(data)}")
        return 0
    if command == "verify" and len(arguments) == 2:
        container = _read(arguments[1])
        data = unpack(container)
        print(f"{arguments[1]}: {len(container)} bytes, inflates to {len(data)} bytes, Adler-32 correct")
        return 0
    if command == "unpack" and len(arguments) == 3:
        _write(arguments[2], unpack(_read(arguments[1])))
        return 0
    print(USAGE, file=sys.stderr)
    return 2


def main():
    try:
        return run(sys.argv[1:])
    except ContainerError as error:
        print(f"zcontainer: {error}", file=sys.stderr)
        return 1


if __name__ == "__main__":
    sys.exit(main())
