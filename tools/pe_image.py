"""Reads what the release checks need from a Windows executable file.

The header fields that say what the file is, when it was linked and which
Windows it asks for, where its checksum is, its sections, the functions it
imports, its resources and the product version in its version record. Every
offset and count comes from the file and is checked against it: a damaged or
hostile file raises PEFormatError, never anything else. with_checksum gives
a built file the checksum Windows computes.
"""
import struct
import sys
from array import array

IMAGE_FILE_EXECUTABLE_IMAGE = 0x0002
IMAGE_FILE_DLL = 0x2000
RT_BITMAP = 2
RT_RCDATA = 10
RT_VERSION = 16
RT_MANIFEST = 24

# Resource directories nest as type, name, language.
_RESOURCE_LEVELS = 3


class PEFormatError(Exception):
    pass


class PEImage:
    def __init__(self, data):
        self.data = bytes(data)
        if self._bytes(0, 2) != b"MZ":
            raise PEFormatError("no MZ header")
        pe = self._u32(0x3C)
        if self._bytes(pe, 4) != b"PE\0\0":
            raise PEFormatError("no PE header")
        (self.machine, section_count, self.time_stamp, self.symbol_table, self.symbol_count,
         optional_size, self.characteristics) = struct.unpack("<HHIIIHH", self._bytes(pe + 4, 20))
        optional = pe + 24
        self.checksum_offset = optional + 64
        magic = self._u16(optional)
        if magic == 0x10B:
            self.pe32_plus = False
            directories = optional + 96
        elif magic == 0x20B:
            self.pe32_plus = True
            directories = optional + 112
        else:
            raise PEFormatError(f"unknown optional header kind {magic:#x}")
        if directories - optional > optional_size:
            raise PEFormatError("optional header too short")
        self.os_version = struct.unpack("<HH", self._bytes(optional + 40, 4))
        self.subsystem_version = struct.unpack("<HH", self._bytes(optional + 48, 4))
        self.subsystem = self._u16(optional + 68)
        directory_count = min(self._u32(directories - 4), (optional_size - (directories - optional)) // 8)
        self.directories = [struct.unpack("<II", self._bytes(directories + 8 * i, 8))
                            for i in range(min(directory_count, 16))]
        self.sections = []
        table = optional + optional_size
        for i in range(section_count):
            raw = self._bytes(table + 40 * i, 40)
            name = raw[:8].rstrip(b"\0").decode("latin-1")
            if name.startswith("/") and name[1:].isdigit():
                # A long name, kept in the string table after the symbols.
                name = self._string(self.symbol_table + 18 * self.symbol_count + int(name[1:]))
            virtual_size, address, raw_size, raw_offset = struct.unpack_from("<IIII", raw, 8)
            self.sections.append((name, address, virtual_size, raw_offset, raw_size))

    # --- what the file is

    @property
    def is_program(self):
        return bool(self.characteristics & IMAGE_FILE_EXECUTABLE_IMAGE) and not self.characteristics & IMAGE_FILE_DLL

    @property
    def is_stripped(self):
        # A stripped file may keep the string table, for the long names of
        # the sections it still has.
        return self.symbol_count == 0 and not any(name.startswith(".debug") for name, *_ in self.sections)

    # --- imports

    def imports(self):
        """The imported functions by DLL name, in file order; a function
        imported by number is named '#number'."""
        result = {}
        address, size = self._directory(1)
        if not address:
            return result
        at = self._offset(address)
        while True:
            lookup, _, _, name_address, thunks = struct.unpack("<IIIII", self._bytes(at, 20))
            if not (lookup or name_address or thunks):
                return result
            functions = result.setdefault(self._string(self._offset(name_address)), [])
            functions.extend(self._imported_functions(lookup or thunks))
            at += 20

    def _imported_functions(self, address):
        width, by_number = (8, 1 << 63) if self.pe32_plus else (4, 1 << 31)
        at = self._offset(address)
        while True:
            entry = int.from_bytes(self._bytes(at, width), "little")
            if entry == 0:
                return
            if entry & by_number:
                yield f"#{entry & 0xFFFF}"
            else:
                yield self._string(self._offset(entry & 0x7FFFFFFF) + 2)
            at += width

    # --- resources

    def resources(self):
        """Every resource as (type, name, language, data); type and name
        are numbers or upper-case texts."""
        address, _ = self._directory(2)
        if not address:
            return []
        root = self._offset(address)
        found = []
        # Entries may share a subdirectory; a well-formed file has no more
        # entries than its size allows, a hostile one is stopped there.
        self._walk_budget = len(self.data) // 8
        self._walk(root, root, [], found)
        return found

    def resource(self, kind, name):
        """The data of the first resource of that type and name (texts
        match without regard to case), or None."""
        kind, name = _resource_id(kind), _resource_id(name)
        for found_kind, found_name, _, data in self.resources():
            if found_kind == kind and found_name == name:
                return data
        return None

    def _walk(self, root, directory, path, found):
        named, numbered = struct.unpack("<HH", self._bytes(directory + 12, 4))
        for i in range(named + numbered):
            self._walk_budget -= 1
            if self._walk_budget < 0:
                raise PEFormatError("more resource entries than the file can hold")
            name_field, target = struct.unpack("<II", self._bytes(directory + 16 + 8 * i, 8))
            if name_field & 0x80000000:
                at = root + (name_field & 0x7FFFFFFF)
                length = self._u16(at)
                entry_id = self._bytes(at + 2, 2 * length).decode("utf-16-le", "replace").upper()
            else:
                entry_id = name_field & 0xFFFF
            below = root + (target & 0x7FFFFFFF)
            if target & 0x80000000:
                if len(path) + 1 >= _RESOURCE_LEVELS:
                    raise PEFormatError("resource directories nested too deep")
                self._walk(root, below, path + [entry_id], found)
            elif len(path) + 1 == _RESOURCE_LEVELS:
                data_address, size = struct.unpack("<II", self._bytes(below, 8))
                found.append((*path, entry_id, self._bytes(self._offset(data_address), size)))
            else:
                raise PEFormatError("resource data above the language level")

    # --- version

    def product_version(self):
        """The four numbers of the product version in the fixed version
        record, or None when the file has no version record."""
        record = self.resource(RT_VERSION, 1)
        if record is None:
            return None
        key = "VS_VERSION_INFO\0".encode("utf-16-le")
        if len(record) < 6 or record[6:6 + len(key)] != key:
            raise PEFormatError("version record without its key")
        value_length = struct.unpack_from("<H", record, 2)[0]
        fixed = (6 + len(key) + 3) & ~3
        if value_length < 52 or fixed + 52 > len(record):
            raise PEFormatError("version record without fixed information")
        signature, _, _, _, product_ms, product_ls = struct.unpack_from("<IIIIII", record, fixed)
        if signature != 0xFEEF04BD:
            raise PEFormatError("fixed version information with a wrong signature")
        return (product_ms >> 16, product_ms & 0xFFFF, product_ls >> 16, product_ls & 0xFFFF)

    # --- reading

    def _directory(self, index):
        return self.directories[index] if index < len(self.directories) else (0, 0)

    def _offset(self, address):
        for _, start, virtual_size, raw_offset, raw_size in self.sections:
            if start <= address < start + max(virtual_size, raw_size):
                if address - start >= raw_size:
                    raise PEFormatError(f"address {address:#x} lies in no file data")
                return raw_offset + address - start
        raise PEFormatError(f"address {address:#x} lies in no section")

    def _bytes(self, offset, size):
        if offset < 0 or size < 0 or offset + size > len(self.data):
            raise PEFormatError(f"{size} bytes at {offset:#x} lie beyond the file's end")
        return self.data[offset:offset + size]

    def _u16(self, offset):
        return struct.unpack("<H", self._bytes(offset, 2))[0]

    def _u32(self, offset):
        return struct.unpack("<I", self._bytes(offset, 4))[0]

    def _string(self, offset):
        end = self.data.find(b"\0", offset, offset + 512)
        if offset >= len(self.data) or end < 0:
            raise PEFormatError(f"name at {offset:#x} without its end")
        return self.data[offset:end].decode("latin-1")


def _resource_id(value):
    return value.upper() if isinstance(value, str) else value


def image_checksum(data, checksum_offset):
    """The checksum of the image file as Windows computes it (the one the
    header holds at checksum_offset): the file's 16-bit little-endian words,
    the checksum field left out, added with end-around carry, plus the
    file's length."""
    words = array("H", data + b"\0" * (len(data) % 2))
    if sys.byteorder == "big":
        words.byteswap()
    total = sum(words) - words[checksum_offset // 2] - words[checksum_offset // 2 + 1]
    while total > 0xFFFF:
        total = (total & 0xFFFF) + (total >> 16)
    return total + len(data)


def with_checksum(data):
    """The image file with the right checksum in its header."""
    offset = PEImage(data).checksum_offset
    return data[:offset] + struct.pack("<I", image_checksum(data, offset)) + data[offset + 4:]
