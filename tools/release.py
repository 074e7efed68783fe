#!/usr/bin/env python3
"""Builds the updater that carries a new product executable, checks what it
made and writes it to the release folder (make release).

Refused before anything is built: a payload that is missing or is not a
Windows program, a version number outside 0..65535, a logo that is not a
bitmap that can be carried, and a payload whose own product version is not
MAJOR.0.MINOR (unless forced). The 32-bit updater is then built in a build
folder of its own, stripped, and read back: its version resource, payload,
logo, manifest and imports must be what was asked for. Only then does a file
appear in the release folder; it is named after the carried version, and the
symbols stripped from it are kept beside it.
"""
import argparse
import hashlib
import os
import re
import shutil
import subprocess
import sys
from pathlib import Path

import bmp_file
import system_imports
import zcontainer
from carried_version import VersionError, disagreement, parse_number, title_version
from pe_image import IMAGE_FILE_DLL, RT_BITMAP, RT_MANIFEST, RT_RCDATA, PEFormatError, PEImage

REPOSITORY = Path(__file__).resolve().parent.parent
DEFAULT_LOGO = REPOSITORY / "resources" / "bitmaps" / "LOGO.bmp"
TRIPLET = "i686-w64-mingw32"
IMAGE_FILE_MACHINE_I386 = 0x14C
USAGE = ("make release PAYLOAD=path/to/Korvantis.exe MAJOR=n MINOR=n "
         "[LOGO=path/to/logo.bmp] [FORCE=1]")


class ReleaseError(Exception):
    pass


def read_payload(path):
    if not path:
        raise ReleaseError(f"PAYLOAD is missing: {USAGE}")
    try:
        data = Path(path).read_bytes()
    except FileNotFoundError:
        raise ReleaseError(f"the payload {path} does not exist") from None
    except OSError as error:
        raise ReleaseError(f"the payload {path} cannot be read: {error.strerror}") from None
    try:
        image = PEImage(data)
        version = image.product_version()
    except PEFormatError as error:
        raise ReleaseError(f"the payload {path} is not a Windows executable: {error}") from None
    if image.characteristics & IMAGE_FILE_DLL:
        raise ReleaseError(f"the payload {path} is not a Windows executable: it is a DLL")
    if not image.is_program:
        raise ReleaseError(f"the payload {path} is not a Windows executable: it is not marked as one")
    return data, version


def read_number(name, text):
    if text is None or text == "":
        raise ReleaseError(f"{name} is missing: {USAGE}")
    try:
        return parse_number(name, text)
    except VersionError as error:
        raise ReleaseError(str(error)) from None


def read_logo(path, shown):
    try:
        data = path.read_bytes()
    except FileNotFoundError:
        raise ReleaseError(f"the logo {shown} does not exist") from None
    except OSError as error:
        raise ReleaseError(f"the logo {shown} cannot be read: {error.strerror}") from None
    try:
        bmp_file.read_bitmap_info(data)
    except bmp_file.BMPFormatError as error:
        raise ReleaseError(f"the logo {shown} is not a BMP file that can be carried: {error}") from None
    return data


def build(build_dir, cache, payload, major, minor, logo):
    """Configures and builds the updater; answers the built executable."""
    configure = [
        "cmake", "-S", str(REPOSITORY), "-B", str(build_dir), "-G", "Ninja", "-Wno-dev",
        f"-DCMAKE_TOOLCHAIN_FILE={REPOSITORY}/cmake/{TRIPLET}.cmake",
        f"-DZELMORIA_CACHE={cache}",
        f"-DZELMORIA_PAYLOAD={payload}",
        f"-DZELMORIA_UPDATE_MAJOR={major}",
        f"-DZELMORIA_UPDATE_MINOR={minor}",
        f"-DZELMORIA_LOGO={logo if logo != DEFAULT_LOGO else ''}",
    ]
    for command in (configure, ["cmake", "--build", str(build_dir), "--target", "ZelmoriaUpdate"]):
        done = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        if done.returncode != 0:
            sys.stderr.write(done.stdout)
            raise ReleaseError(f"the build in {build_dir} failed")
    return Path(build_dir) / "bin" / "ZelmoriaUpdate.exe"


def strip(built, stripped, symbols):
    for command in ([f"{TRIPLET}-objcopy", "--only-keep-debug", str(built), str(symbols)],
                    [f"{TRIPLET}-strip", "--strip-all", "-o", str(stripped), str(built)]):
        done = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        if done.returncode != 0:
            sys.stderr.write(done.stdout)
            raise ReleaseError(f"{command[0]} failed on {built}")


def carried(container, what):
    if container is None:
        raise ReleaseError(f"the built updater carries no {what}")
    try:
        return zcontainer.unpack(container)
    except zcontainer.ContainerError as error:
        raise ReleaseError(f"the carried {what} cannot be unpacked: {error}") from None


def inspect(updater, payload, major, minor, logo):
    """Reads the stripped updater back and answers what the report shows;
    ReleaseError when it is not what was asked for."""
    try:
        image = PEImage(updater)
        carried_version = image.resource(RT_RCDATA, "UPDATEVERSION")
        container = image.resource(RT_RCDATA, "UPDATEDATA")
        carried_logo = image.resource(RT_BITMAP, "LOGO")
        manifest = image.resource(RT_MANIFEST, 1)
        imports = image.imports()
    except PEFormatError as error:
        raise ReleaseError(f"the built updater cannot be read back: {error}") from None

    if image.machine != IMAGE_FILE_MACHINE_I386 or not image.is_program:
        raise ReleaseError("the built updater is not a 32-bit x86 program")
    if not image.is_stripped:
        raise ReleaseError("the built updater still holds symbols or debug sections")
    if carried_version is None or len(carried_version) < 8:
        raise ReleaseError("the built updater carries no version resource")
    shown = (int.from_bytes(carried_version[0:2], "little"), int.from_bytes(carried_version[4:6], "little"))
    if shown != (major, minor):
        raise ReleaseError(f"the built updater carries version {title_version(*shown)}, "
                           f"not {title_version(major, minor)}")
    if carried(container, "payload") != payload:
        raise ReleaseError("the payload carried by the built updater differs from the payload given")
    # The logo is carried compressed, the whole bitmap file in the container.
    carried_logo_file = carried(carried_logo, "logo")
    if carried_logo_file != logo:
        raise ReleaseError("the logo carried by the built updater differs from the logo given")
    try:
        logo_info = bmp_file.read_bitmap_info(carried_logo_file)
    except bmp_file.BMPFormatError as error:
        raise ReleaseError(f"the logo carried by the built updater cannot be read back: {error}") from None
    if manifest is None:
        raise ReleaseError("the built updater has no application manifest")
    level = re.search(rb'requestedExecutionLevel\s+level="([A-Za-z]+)"', manifest)
    problems = system_imports.unsupported_imports(imports, system_imports.load_allowed(image.machine))
    if problems:
        raise ReleaseError("the built updater imports what Windows does not provide:\n  " + "\n  ".join(problems))
    return {
        "title": title_version(*shown),
        "compressed": len(container),
        "logo": logo_info,
        "logo_compressed": len(carried_logo),
        "imports": list(imports),
        "os_version": image.os_version,
        "level": level.group(1).decode() if level else "none",
    }


def publish(files, dist):
    """Moves the finished files into the release folder, all or none."""
    dist.mkdir(parents=True, exist_ok=True)
    parts = []
    try:
        for source, name in files:
            part = dist / f".{name}.part"
            parts.append(part)
            shutil.copyfile(source, part)
        for (_, name), part in zip(files, parts):
            os.replace(part, dist / name)
    finally:
        for part in parts:
            part.unlink(missing_ok=True)


def release(args):
    payload, product_version = read_payload(args.payload)
    payload_path = Path(args.payload).resolve()
    major = read_number("MAJOR", args.major)
    minor = read_number("MINOR", args.minor)
    logo_shown = args.logo or str(DEFAULT_LOGO.relative_to(REPOSITORY))
    logo_path = Path(args.logo).resolve() if args.logo else DEFAULT_LOGO
    logo = read_logo(logo_path, logo_shown)
    problem = disagreement(product_version, major, minor)
    if problem and not args.force:
        raise ReleaseError(f"{problem}; set FORCE=1 to build it anyway")

    build_dir = Path(args.build_dir).resolve()
    first = "" if (build_dir / "CMakeCache.txt").exists() else " (a first build takes a few minutes)"
    print(f"release: building the updater {title_version(major, minor)} in {args.build_dir}{first}", flush=True)
    built = build(build_dir, args.cache, payload_path, major, minor, logo_path)
    name = f"ZelmoriaUpdate-{major}.0.{minor}.exe"
    staging = build_dir / "release"
    staging.mkdir(exist_ok=True)
    stripped, symbols = staging / name, staging / f"{name}.debug"
    strip(built, stripped, symbols)
    updater = stripped.read_bytes()
    made = inspect(updater, payload, major, minor, logo)
    dist = Path(args.dist)
    publish([(stripped, name), (symbols, symbols.name)], dist)

    version_note = f" (not {major}.0.{minor}: forced)" if problem else ""
    shown_version = ".".join(map(str, product_version)) if product_version else "none"
    os_major, os_minor = made["os_version"]
    print(f"Zelmoria updater {made['title']}: {dist / name}")
    for label, value in (
        ("title version", made["title"]),
        ("payload", f"{args.payload}"),
        ("product version", f"{shown_version}{version_note}"),
        ("payload size", f"{len(payload):,} bytes, {made['compressed']:,} compressed"),
        ("logo", f"{logo_shown}, {made['logo'].width} x {made['logo'].height}, "
                 f"{made['logo'].bits_per_pixel} bits per pixel, {made['logo_compressed']:,} bytes compressed"),
        ("updater size", f"{len(updater):,} bytes stripped, {len(updater) - made['compressed']:,} "
                         "without the payload"),
        ("SHA-256", hashlib.sha256(updater).hexdigest()),
        ("imports", f"{', '.join(made['imports'])} (the system's only)"),
        ("runs on", f"{system_imports.OLDEST_WINDOWS} and later (header {os_major}.{os_minor}), "
                    f"execution level {made['level']}"),
        ("symbols", f"{dist / symbols.name}"),
    ):
        print(f"  {label:<16} {value}")


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--payload", help="the new product executable (PAYLOAD)")
    parser.add_argument("--major", help="the carried major version (MAJOR)")
    parser.add_argument("--minor", help="the carried minor version (MINOR)")
    parser.add_argument("--logo", help="a bitmap file to carry as the logo (LOGO)")
    parser.add_argument("--force", action="store_true",
                        help="build even when the payload's product version is not MAJOR.0.MINOR (FORCE=1)")
    parser.add_argument("--build-dir", required=True, help="the build folder of releases")
    parser.add_argument("--dist", required=True, help="the release folder")
    parser.add_argument("--cache", required=True, help="the machine setup's cache")
    args = parser.parse_args()
    try:
        release(args)
    except ReleaseError as error:
        print(f"release: {error}", file=sys.stderr)
        print(f"release: nothing was written to {args.dist}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
