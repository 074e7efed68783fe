#!/usr/bin/python3
"""Builds the updater that carries a new product executable, checks what it
made, signs it and writes it to the release folder (make release).

Refused before anything is built: a payload that is missing or is not a
Windows program, a version number outside 0..65535, a logo that cannot be
carried, a payload whose own product version is not MAJOR.0.MINOR (unless
forced), and a signing certificate that cannot sign code now. The 32-bit
updater is then built in a build folder of its own, stripped, and read back:
its version resource, payload, logo, manifest, imports and time stamp must
be what was asked for. Signed, the signature is read back. Only then does a
file appear in the release folder; it is named after the carried version,
and the symbols stripped from it are kept beside it.

The same sources, payload, logo and version give the same unsigned updater,
byte for byte, wherever and whenever it is built: the time stamp in its
header is SOURCE_DATE_EPOCH, or else the commit time of HEAD.
"""
import argparse
import datetime
import hashlib
import os
import re
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

import code_signing
import system_imports
import zcontainer
from carried_version import VersionError, disagreement, parse_number, title_version
from logo_image import LogoError, parse_colours, read_logo
from pe_image import IMAGE_FILE_DLL, RT_BITMAP, RT_MANIFEST, RT_RCDATA, PEFormatError, PEImage, with_checksum
from whole_file import read_named, write_whole

REPOSITORY = Path(__file__).resolve().parent.parent
DEFAULT_LOGO = REPOSITORY / "resources" / "bitmaps" / "LOGO.bmp"
TRIPLET = "i686-w64-mingw32"
IMAGE_FILE_MACHINE_I386 = 0x14C
# Authenticode puts the signature after the file's last byte, padded to 8 bytes.
SIGNATURE_ALIGNMENT = 8
USAGE = ("make release PAYLOAD=path/to/Korvantis.exe MAJOR=n MINOR=n [LOGO=path/to/logo.png] [LOGO_COLORS=24] "
         "[SIGN_CERT=cert.pfx [SIGN_PASSWORD_FILE=path] [TIMESTAMP_URL=url] [PRODUCT_URL=url]] [FORCE=1]")
UNSIGNED_NOTICE = ("the updater is not signed (no SIGN_CERT): when it asks for administrator rights, Windows "
                   "names its publisher as unknown, and SmartScreen may hold it back as an unrecognised app")


class ReleaseError(Exception):
    pass


def read_payload(path):
    if not path:
        raise ReleaseError(f"PAYLOAD is missing: {USAGE}")
    data = read_named(path, "payload", ReleaseError)
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


def read_signing_key(args):
    """The SigningKey, or None for an unsigned release."""
    if not args.sign_cert:
        for name, value in (("SIGN_PASSWORD_FILE", args.sign_password_file), ("TIMESTAMP_URL", args.timestamp_url),
                            ("PRODUCT_URL", args.product_url)):
            if value:
                raise ReleaseError(f"{name} is given, but no SIGN_CERT to sign with")
        return None
    try:
        return code_signing.read_key(args.sign_cert, args.sign_password_file)
    except code_signing.SigningError as error:
        raise ReleaseError(str(error)) from None


def source_date_epoch():
    """The time stamp of the release and where it comes from."""
    text = os.environ.get("SOURCE_DATE_EPOCH")
    if text is not None:
        if not (text.isascii() and text.isdigit() and int(text) <= 0xFFFFFFFF):
            raise ReleaseError(f"SOURCE_DATE_EPOCH must be a whole number of seconds since 1970, not '{text}'")
        return int(text), "SOURCE_DATE_EPOCH"
    done = subprocess.run(["git", "-C", str(REPOSITORY), "log", "-1", "--format=%ct", "HEAD"],
                          stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    if done.returncode != 0 or not done.stdout.strip().isdigit():
        raise ReleaseError(f"{REPOSITORY} is not a git checkout whose HEAD gives the release its time stamp: "
                           "set SOURCE_DATE_EPOCH")
    return int(done.stdout), "the commit time of HEAD"


def staged_logo(logo, given, build_dir):
    """The BMP file the build carries: the one given when it is carried as it
    is, else the conversion, kept in the build folder."""
    if given.read_bytes() == logo.bitmap:
        return given
    staged = build_dir / "logo" / "LOGO.bmp"
    staged.parent.mkdir(parents=True, exist_ok=True)
    if not staged.exists() or staged.read_bytes() != logo.bitmap:
        write_whole(staged, logo.bitmap)
    return staged


def build(build_dir, cache, payload, major, minor, logo, epoch):
    """Configures and builds the updater, linked at the release's time
    stamp; answers the built executable."""
    configure = [
        "cmake", "-S", str(REPOSITORY), "-B", str(build_dir), "-G", "Ninja", "-Wno-dev",
        f"-DCMAKE_TOOLCHAIN_FILE={REPOSITORY}/cmake/{TRIPLET}.cmake",
        f"-DZELMORIA_CACHE={cache}",
        f"-DZELMORIA_PAYLOAD={payload}",
        f"-DZELMORIA_UPDATE_MAJOR={major}",
        f"-DZELMORIA_UPDATE_MINOR={minor}",
        f"-DZELMORIA_LOGO={logo if logo != DEFAULT_LOGO else ''}",
    ]
    built = Path(build_dir) / "bin" / "ZelmoriaUpdate.exe"
    # The linker and strip take the time stamp from the environment; a link
    # left from another release would keep its own.
    built.unlink(missing_ok=True)
    for command in (configure, ["cmake", "--build", str(build_dir), "--target", "ZelmoriaUpdate"]):
        run_tool(command, f"the build in {build_dir} failed", epoch)
    return built


def run_tool(command, failure, epoch):
    environment = {**os.environ, "SOURCE_DATE_EPOCH": str(epoch)}
    done = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, env=environment)
    if done.returncode != 0:
        sys.stderr.write(done.stdout)
        raise ReleaseError(failure)


def strip(built, stripped, symbols, epoch):
    """Writes the stripped updater, padded for a signature and with its
    checksum right, and its symbols."""
    for command in ([f"{TRIPLET}-objcopy", "--only-keep-debug", str(built), str(symbols)],
                    [f"{TRIPLET}-strip", "--strip-all", "-o", str(stripped), str(built)]):
        run_tool(command, f"{command[0]} failed on {built}", epoch)
    data = stripped.read_bytes()
    # Padded here, removing a signature gives back exactly these bytes.
    data += b"\0" * (-len(data) % SIGNATURE_ALIGNMENT)
    write_whole(stripped, with_checksum(data))


def carried(container, what):
    if container is None:
        raise ReleaseError(f"the built updater carries no {what}")
    try:
        return zcontainer.unpack(container)
    except zcontainer.ContainerError as error:
        raise ReleaseError(f"the carried {what} cannot be unpacked: {error}") from None


def inspect(updater, payload, major, minor, logo, epoch):
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
    if image.time_stamp != epoch:
        raise ReleaseError(f"the built updater's time stamp is {image.time_stamp}, not the release's {epoch}")
    if carried_version is None or len(carried_version) < 8:
        raise ReleaseError("the built updater carries no version resource")
    shown = (int.from_bytes(carried_version[0:2], "little"), int.from_bytes(carried_version[4:6], "little"))
    if shown != (major, minor):
        raise ReleaseError(f"the built updater carries version {title_version(*shown)}, "
                           f"not {title_version(major, minor)}")
    if carried(container, "payload") != payload:
        raise ReleaseError("the payload carried by the built updater differs from the payload given")
    # The logo is carried compressed, the whole bitmap file in the container.
    if carried(carried_logo, "logo") != logo:
        raise ReleaseError("the logo carried by the built updater differs from the logo given")
    if manifest is None:
        raise ReleaseError("the built updater has no application manifest")
    level = re.search(rb'requestedExecutionLevel\s+level="([A-Za-z]+)"', manifest)
    problems = system_imports.unsupported_imports(imports, system_imports.load_allowed(image.machine))
    if problems:
        raise ReleaseError("the built updater imports what Windows does not provide:\n  " + "\n  ".join(problems))
    return {
        "title": title_version(*shown),
        "compressed": len(container),
        "logo_compressed": len(carried_logo),
        "imports": list(imports),
        "os_version": image.os_version,
        "level": level.group(1).decode() if level else "none",
    }


def signed_copy(key, unsigned, staging, args):
    """Signs the unsigned updater into the staging folder and reads the
    signature back; answers the signed file and its Signature."""
    signed = staging / f"signed-{unsigned.name}"
    try:
        code_signing.sign(key, unsigned, signed, args.product_url, args.timestamp_url)
        signature = code_signing.verify(key, signed)
        with tempfile.TemporaryDirectory(prefix="zelmoria-release-") as scratch:
            removed = Path(scratch) / unsigned.name
            code_signing.remove_signature(signed, removed)
            if removed.read_bytes() != unsigned.read_bytes():
                raise ReleaseError("without its signature the signed updater is not the unsigned one")
    except code_signing.SigningError as error:
        raise ReleaseError(str(error)) from None
    return signed, signature


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


def checked_input(args):
    """Everything the release is made of, checked before anything is built."""
    payload, product_version = read_payload(args.payload)
    major = read_number("MAJOR", args.major)
    minor = read_number("MINOR", args.minor)
    try:
        logo = read_logo(Path(args.logo) if args.logo else DEFAULT_LOGO, parse_colours(args.logo_colors))
    except LogoError as error:
        raise ReleaseError(str(error).replace(str(DEFAULT_LOGO), str(DEFAULT_LOGO.relative_to(REPOSITORY)))) from None
    problem = disagreement(product_version, major, minor)
    if problem and not args.force:
        raise ReleaseError(f"{problem}; set FORCE=1 to build it anyway")
    key = read_signing_key(args)
    epoch, epoch_source = source_date_epoch()
    return argparse.Namespace(payload=payload, product_version=product_version, major=major, minor=minor,
                              logo=logo, forced=problem, key=key, epoch=epoch, epoch_source=epoch_source)


def release(args):
    given = checked_input(args)
    build_dir = Path(args.build_dir).resolve()
    first = "" if (build_dir / "CMakeCache.txt").exists() else " (a first build takes a few minutes)"
    print(f"release: building the updater {title_version(given.major, given.minor)} in {args.build_dir}{first}",
          flush=True)
    logo_file = staged_logo(given.logo, Path(args.logo).resolve() if args.logo else DEFAULT_LOGO, build_dir)
    built = build(build_dir, args.cache, Path(args.payload).resolve(), given.major, given.minor, logo_file,
                  given.epoch)
    name = f"ZelmoriaUpdate-{given.major}.0.{given.minor}.exe"
    staging = build_dir / "release"
    staging.mkdir(exist_ok=True)
    unsigned, symbols = staging / name, staging / f"{name}.debug"
    strip(built, unsigned, symbols, given.epoch)
    made = inspect(unsigned.read_bytes(), given.payload, given.major, given.minor, given.logo.bitmap, given.epoch)
    shipped, signature = signed_copy(given.key, unsigned, staging, args) if given.key else (unsigned, None)
    dist = Path(args.dist)
    publish([(shipped, name), (symbols, symbols.name)], dist)
    report(args, given, made, dist / name, unsigned.read_bytes(), shipped.read_bytes(), signature)


def report(args, given, made, shipped_path, unsigned, shipped, signature):
    version_note = f" (not {given.major}.0.{given.minor}: forced)" if given.forced else ""
    shown_version = ".".join(map(str, given.product_version)) if given.product_version else "none"
    os_major, os_minor = made["os_version"]
    stamp = datetime.datetime.fromtimestamp(given.epoch, datetime.timezone.utc).strftime("%Y-%m-%d %H:%M:%S UTC")
    info = given.logo.info
    lines = [
        ("title version", made["title"]),
        ("payload", f"{args.payload}"),
        ("product version", f"{shown_version}{version_note}"),
        ("payload size", f"{len(given.payload):,} bytes, {made['compressed']:,} compressed"),
        ("logo", f"{args.logo or DEFAULT_LOGO.relative_to(REPOSITORY)}, {info.width} x {info.height}, "
                 f"{info.bits_per_pixel} bits per pixel, {made['logo_compressed']:,} bytes compressed"),
        ("logo made", given.logo.how),
        ("updater size", f"{len(unsigned):,} bytes stripped, {len(unsigned) - made['compressed']:,} "
                         "without the payload"),
        ("time stamp", f"{stamp} ({given.epoch_source}, {given.epoch})"),
    ]
    if signature:
        timestamped = f", time-stamped by {args.timestamp_url}" if args.timestamp_url else ""
        lines += [("signature", f"Authenticode, SHA-256, verified{timestamped}"),
                  ("signed by", signature.subject),
                  ("certificate", f"expires {signature.expires}"),
                  ("SHA-256", f"{hashlib.sha256(shipped).hexdigest()} (signed)"),
                  ("unsigned SHA-256", hashlib.sha256(unsigned).hexdigest())]
    else:
        lines += [("signature", "none"), ("SHA-256", f"{hashlib.sha256(unsigned).hexdigest()} (unsigned)")]
    lines += [
        ("imports", f"{', '.join(made['imports'])} (the system's only)"),
        ("runs on", f"{system_imports.OLDEST_WINDOWS} and later (header {os_major}.{os_minor}), "
                    f"execution level {made['level']}"),
        ("symbols", f"{shipped_path}.debug"),
    ]
    print(f"Zelmoria updater {made['title']}: {shipped_path}")
    for label, value in lines:
        print(f"  {label:<16} {value}")
    sys.stdout.flush()
    for warning in given.logo.warnings + ([] if signature else [UNSIGNED_NOTICE]):
        print(f"release: warning: {warning}", file=sys.stderr)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--payload", help="the new product executable (PAYLOAD)")
    parser.add_argument("--major", help="the carried major version (MAJOR)")
    parser.add_argument("--minor", help="the carried minor version (MINOR)")
    parser.add_argument("--logo", help="a PNG, JPEG, GIF or BMP picture to carry as the logo (LOGO)")
    parser.add_argument("--logo-colors", help="a converted logo's colours: 256 (the default) or 24 (LOGO_COLORS)")
    parser.add_argument("--force", action="store_true",
                        help="build even when the payload's product version is not MAJOR.0.MINOR (FORCE=1)")
    parser.add_argument("--sign-cert", help="the PKCS#12 certificate file to sign with (SIGN_CERT)")
    parser.add_argument("--sign-password-file", help="the file holding its password (SIGN_PASSWORD_FILE)")
    parser.add_argument("--timestamp-url", help="the time-stamp server to counter-sign with (TIMESTAMP_URL)")
    parser.add_argument("--product-url", help="the product's web address in the signature (PRODUCT_URL)")
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
