"""Reads what the release checks need from a Windows executable file, through
pefile (Debian's python3-pefile, so the tools run with /usr/bin/python3).

The header fields that say what the file is, when it was linked and which
Windows it asks for, its sections, the functions it imports, its resources
and the product version in its version record; with_checksum gives a built
file the checksum Windows computes. A damaged or hostile file raises
PEFormatError, never anything else.

What stays written here, and why. pefile reads a damaged import or resource
directory as far as it can and only notes a warning, so a check could pass
on half a list: a warning while those directories are read (other than its
guess that the file was packed) refuses the file, as do a resource whose
data the file does not hold in full, a resource tree that is not three
levels (type, name, language) deep and an optional header of an unknown
kind. The MZ mark is looked for first, since pefile names a text file as a
cut-short program. pefile does not read the COFF string table, where the
toolchain keeps the names of sections longer than eight characters (the
debug sections of a file not stripped): is_stripped reads those names
itself. What pefile leaves out without a warning stays out: an imported
function whose name holds characters no function name has, which no system
DLL exports and the toolchain never writes.
"""
import pefile

IMAGE_FILE_EXECUTABLE_IMAGE = pefile.IMAGE_CHARACTERISTICS["IMAGE_FILE_EXECUTABLE_IMAGE"]
IMAGE_FILE_DLL = pefile.IMAGE_CHARACTERISTICS["IMAGE_FILE_DLL"]
RT_BITMAP = pefile.RESOURCE_TYPE["RT_BITMAP"]
RT_RCDATA = pefile.RESOURCE_TYPE["RT_RCDATA"]
RT_VERSION = pefile.RESOURCE_TYPE["RT_VERSION"]
RT_MANIFEST = pefile.RESOURCE_TYPE["RT_MANIFEST"]
VERSION_SIGNATURE = 0xFEEF04BD

_RESOURCE_LEVELS = 3
_IMPORT_DIRECTORY = pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_IMPORT"]
_RESOURCE_DIRECTORY = pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]
# pefile's guess that a file was packed, which says nothing of damage.
_GUESSES = {"Imported symbols contain entries typical of packed executables."}
# Each entry of the COFF symbol table, before the string table.
_SYMBOL_SIZE = 18


class PEFormatError(Exception):
    pass


class PEImage:
    def __init__(self, data):
        self.data = bytes(data)
        if not self.data.startswith(b"MZ"):
            raise PEFormatError("no MZ header")
        try:
            self._pe = pefile.PE(data=self.data, fast_load=True)
        except pefile.PEFormatError as error:
            raise PEFormatError(error.value) from None
        header, optional = self._pe.FILE_HEADER, self._pe.OPTIONAL_HEADER
        # pefile reads an optional header of any kind as a 32-bit one.
        if optional.Magic not in (pefile.OPTIONAL_HEADER_MAGIC_PE, pefile.OPTIONAL_HEADER_MAGIC_PE_PLUS):
            raise PEFormatError(f"unknown optional header kind {optional.Magic:#x}")
        self.machine = header.Machine
        self.time_stamp = header.TimeDateStamp
        self.symbol_count = header.NumberOfSymbols
        self.characteristics = header.Characteristics
        self.os_version = (optional.MajorOperatingSystemVersion, optional.MinorOperatingSystemVersion)
        self.subsystem_version = (optional.MajorSubsystemVersion, optional.MinorSubsystemVersion)
        self._read = set()
        self.sections = [(self._section_name(s.Name), s.VirtualAddress, s.Misc_VirtualSize, s.PointerToRawData,
                          s.SizeOfRawData) for s in self._pe.sections]

    def _read_directory(self, index):
        """Reads that directory once, when first asked: a file of symbols
        alone keeps the headers of its program but not what they point at."""
        if index in self._read:
            return
        warnings_before = len(self._pe.get_warnings())
        try:
            self._pe.parse_data_directories(directories=[index])
        except pefile.PEFormatError as error:
            raise PEFormatError(error.value) from None
        damaged = [warning for warning in self._pe.get_warnings()[warnings_before:] if warning not in _GUESSES]
        if damaged:
            raise PEFormatError(damaged[0])
        self._read.add(index)

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
        self._read_directory(_IMPORT_DIRECTORY)
        result = {}
        for dll in getattr(self._pe, "DIRECTORY_ENTRY_IMPORT", []):
            functions = result.setdefault(dll.dll.decode("latin-1"), [])
            # pefile names some functions imported by number from its own
            # table; the number is what the file holds.
            functions.extend(f"#{entry.ordinal}" if entry.import_by_ordinal else entry.name.decode("latin-1")
                             for entry in dll.imports)
        return result

    # --- resources

    def resources(self):
        """Every resource as (type, name, language, data); type and name
        are numbers or upper-case texts."""
        self._read_directory(_RESOURCE_DIRECTORY)
        root = getattr(self._pe, "DIRECTORY_ENTRY_RESOURCE", None)
        found = []
        if root is not None:
            self._walk(root, [], found)
        return found

    def resource(self, kind, name):
        """The data of the first resource of that type and name (texts
        match without regard to case), or None."""
        kind, name = _resource_id(kind), _resource_id(name)
        for found_kind, found_name, _, data in self.resources():
            if found_kind == kind and found_name == name:
                return data
        return None

    def _walk(self, directory, path, found):
        for entry in directory.entries:
            entry_id = entry.id if entry.name is None else str(entry.name).upper()
            if hasattr(entry, "directory"):
                if len(path) + 1 >= _RESOURCE_LEVELS:
                    raise PEFormatError("resource directories nested too deep")
                self._walk(entry.directory, path + [entry_id], found)
            elif len(path) + 1 == _RESOURCE_LEVELS:
                found.append((*path, entry_id, self._data(entry.data.struct.OffsetToData, entry.data.struct.Size)))
            else:
                raise PEFormatError("resource data above the language level")

    def _data(self, address, size):
        # pefile reads an empty length as "to the section's end".
        if size == 0:
            return b""
        try:
            data = self._pe.get_data(address, size)
        except pefile.PEFormatError as error:
            raise PEFormatError(error.value) from None
        if len(data) != size:
            raise PEFormatError(f"{size} bytes at address {address:#x} lie beyond the file's end")
        return data

    # --- version

    def product_version(self):
        """The four numbers of the product version in the fixed version
        record, or None when the file has no version record."""
        if not any(kind == RT_VERSION for kind, *_ in self.resources()):
            return None
        fixed = getattr(self._pe, "VS_FIXEDFILEINFO", None)
        if not fixed:
            raise PEFormatError("version record without fixed information")
        if fixed[0].Signature != VERSION_SIGNATURE:
            raise PEFormatError("fixed version information with a wrong signature")
        most, least = fixed[0].ProductVersionMS, fixed[0].ProductVersionLS
        return (most >> 16, most & 0xFFFF, least >> 16, least & 0xFFFF)

    # --- section names

    def _section_name(self, raw):
        name = raw.rstrip(b"\0").decode("latin-1")
        if name.startswith("/") and name[1:].isdigit():
            # A long name, kept in the string table after the symbols.
            header = self._pe.FILE_HEADER
            return self._string(header.PointerToSymbolTable + _SYMBOL_SIZE * header.NumberOfSymbols + int(name[1:]))
        return name

    def _string(self, offset):
        end = self.data.find(b"\0", offset, offset + 512)
        if offset >= len(self.data) or end < 0:
            raise PEFormatError(f"name at {offset:#x} without its end")
        return self.data[offset:end].decode("latin-1")


def _resource_id(value):
    return value.upper() if isinstance(value, str) else value


def with_checksum(data):
    """The image file with the right checksum in its header."""
    try:
        pe = pefile.PE(data=bytes(data), fast_load=True)
    except pefile.PEFormatError as error:
        raise PEFormatError(error.value) from None
    pe.OPTIONAL_HEADER.CheckSum = pe.generate_checksum()
    return bytes(pe.write())
