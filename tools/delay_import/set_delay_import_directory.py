#!/usr/bin/env python3
"""Points a linked PE32 file's delay-import directory at its delay-import
descriptors.

  set_delay_import_directory.py FILE MAP_FILE

GNU ld 2.40 links the descriptors that dlltool's delay-import libraries
carry (one per DLL, 32 bytes, in sections ".text$2", which the linker sorts
next to each other) but leaves data directory 13 empty, so tools that read
the file (and our tests) would not see the delay-loaded DLLs. The linker map
gives each descriptor's address; the descriptors must lie back to back and
be followed by the empty descriptor of
src/lite_installer/delay_import_table_end.cc. Nothing is changed when the
file has no delay imports.
"""

import re
import struct
import sys

DESCRIPTOR_SIZE = 32
DELAY_IMPORT_DIRECTORY = 13
RVA_BASED = 1
SYMBOL_RE = re.compile(
    r"^\s+0x([0-9a-fA-F]+)\s+_{1,2}DELAY_IMPORT_DESCRIPTOR_\w+\s*$")


def fail(message):
    sys.exit("set_delay_import_directory: " + message)


def descriptor_addresses(map_path):
    with open(map_path, encoding="utf-8", errors="replace") as f:
        text = f.read()
    start = text.find("Linker script and memory map")
    if start < 0:
        fail("%s is not a GNU ld map file" % map_path)
    addresses = set()
    for line in text[start:].splitlines():
        match = SYMBOL_RE.match(line)
        if match and int(match.group(1), 16):
            addresses.add(int(match.group(1), 16))
    return sorted(addresses)


class Image:
    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            fail("not a PE file")
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            fail("not a PE file")
        count, = struct.unpack_from("<H", data, pe + 6)
        optional_size, = struct.unpack_from("<H", data, pe + 20)
        self.optional = pe + 24
        if struct.unpack_from("<H", data, self.optional)[0] != 0x10B:
            fail("not a PE32 file")
        self.image_base, = struct.unpack_from("<I", data, self.optional + 28)
        directories, = struct.unpack_from("<I", data, self.optional + 92)
        if directories <= DELAY_IMPORT_DIRECTORY:
            fail("no room for the delay-import directory")
        self.sections = []
        table = self.optional + optional_size
        for i in range(count):
            vsize, va, rsize, raw = struct.unpack_from("<IIII", data,
                                                       table + 40 * i + 8)
            self.sections.append((va, vsize, rsize, raw))

    def offset(self, rva, length):
        for va, vsize, rsize, raw in self.sections:
            if va <= rva and rva + length <= va + min(vsize, rsize):
                return raw + rva - va
        fail("RVA 0x%x is not in the file" % rva)

    def string(self, rva):
        start = self.offset(rva, 1)
        end = self.data.find(b"\0", start, start + 256)
        if end < 0:
            fail("unterminated DLL name at RVA 0x%x" % rva)
        return self.data[start:end].decode("ascii", "replace")

    def set_directory(self, index, rva, size):
        struct.pack_into("<II", self.data, self.optional + 96 + 8 * index,
                         rva, size)


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    path, map_path = sys.argv[1:]
    with open(path, "rb") as f:
        image = Image(bytearray(f.read()))
    addresses = descriptor_addresses(map_path)
    if not addresses:
        return
    rvas = [address - image.image_base for address in addresses]
    for previous, rva in zip(rvas, rvas[1:]):
        if rva != previous + DESCRIPTOR_SIZE:
            fail("delay-import descriptors are not back to back: 0x%x, 0x%x"
                 % (previous, rva))
    for rva in rvas:
        attributes, name = struct.unpack_from(
            "<II", image.data, image.offset(rva, DESCRIPTOR_SIZE))
        if attributes != RVA_BASED or not image.string(name).lower(
        ).endswith(".dll"):
            fail("no delay-import descriptor at RVA 0x%x" % rva)
    end = rvas[-1] + DESCRIPTOR_SIZE
    end_offset = image.offset(end, DESCRIPTOR_SIZE)
    if any(image.data[end_offset:end_offset + DESCRIPTOR_SIZE]):
        fail("the descriptors are not followed by an empty one")
    image.set_directory(DELAY_IMPORT_DIRECTORY, rvas[0],
                        end + DESCRIPTOR_SIZE - rvas[0])
    with open(path, "r+b") as f:
        f.write(image.data)


if __name__ == "__main__":
    main()
