"""Checks the built executable's file: machine, subsystem, imports, shared
sections, manifest and version resource. Needs no Wine."""

import os
import re
import struct
import unittest

EXE = os.environ.get("LITE_INSTALLER_EXE", "")
PRODUCT_VERSION = os.environ.get("LITE_PRODUCT_VERSION", "")

SYSTEM_DLLS = {
    "advapi32.dll", "comctl32.dll", "crypt32.dll", "dbghelp.dll",
    "gdi32.dll", "gdiplus.dll", "kernel32.dll", "msimg32.dll", "msvcrt.dll",
    "ole32.dll", "oleacc.dll", "oleaut32.dll", "shell32.dll", "shlwapi.dll",
    "user32.dll", "uxtheme.dll", "version.dll", "winhttp.dll", "wininet.dll",
    "wintrust.dll", "ws2_32.dll", "bcrypt.dll", "mpr.dll",
}


class PeFile:
    def __init__(self, path):
        with open(path, "rb") as f:
            self.data = f.read()
        d = self.data
        self.pe = struct.unpack_from("<I", d, 0x3C)[0]
        assert d[self.pe:self.pe + 4] == b"PE\0\0"
        self.machine, count = struct.unpack_from("<HH", d, self.pe + 4)
        optional_size, self.characteristics = struct.unpack_from(
            "<HH", d, self.pe + 20)
        self.optional = self.pe + 24
        self.magic = struct.unpack_from("<H", d, self.optional)[0]
        self.subsystem = struct.unpack_from("<H", d, self.optional + 68)[0]
        self.sections = []
        table = self.optional + optional_size
        for i in range(count):
            name, vsize, va, rsize, raw = struct.unpack_from(
                "<8sIIII", d, table + 40 * i)
            flags = struct.unpack_from("<I", d, table + 40 * i + 36)[0]
            self.sections.append((name.rstrip(b"\0").decode(), vsize, va,
                                  rsize, raw, flags))

    def rva_to_offset(self, rva):
        for _, vsize, va, rsize, raw, _ in self.sections:
            if va <= rva < va + max(vsize, rsize):
                return raw + rva - va
        raise ValueError(hex(rva))

    def imports(self):
        rva = struct.unpack_from("<I", self.data, self.optional + 96 + 8)[0]
        names = []
        offset = self.rva_to_offset(rva)
        while True:
            entry = struct.unpack_from("<IIIII", self.data, offset)
            if entry == (0, 0, 0, 0, 0):
                return names
            name_offset = self.rva_to_offset(entry[3])
            end = self.data.index(b"\0", name_offset)
            names.append(self.data[name_offset:end].decode().lower())
            offset += 20


@unittest.skipUnless(EXE and os.path.exists(EXE), "the executable is not built")
class ExecutableTest(unittest.TestCase):

    @classmethod
    def setUpClass(cls):
        cls.pe = PeFile(EXE)

    def test_is_a_32_bit_gui_program_needing_only_system_dlls(self):
        self.assertEqual(self.pe.machine, 0x14C)  # i386
        self.assertEqual(self.pe.magic, 0x10B)  # PE32
        self.assertEqual(self.pe.subsystem, 2)  # Windows GUI
        imports = set(self.pe.imports())
        self.assertTrue(imports, "no imports found")
        self.assertEqual(imports - SYSTEM_DLLS, set())

    def test_shared_sections(self):
        sections = {s[0]: s for s in self.pe.sections}
        self.assertEqual(sections["SHARED"][1], 4)
        self.assertEqual(sections["Shared"][1], 4316)
        for name in ("SHARED", "Shared"):
            self.assertEqual(sections[name][5], 0xD0000040, name)
            _, vsize, _, _, raw, _ = sections[name]
            self.assertEqual(self.pe.data[raw:raw + vsize], b"\0" * vsize)

    def test_manifest(self):
        match = re.search(rb"<assembly.*?</assembly>", self.pe.data, re.S)
        self.assertIsNotNone(match)
        manifest = match.group(0).decode()
        self.assertIn('name="Microsoft.Windows.Common-Controls"', manifest)
        self.assertIn('version="6.0.0.0"', manifest)
        self.assertIn('level="asInvoker"', manifest)
        self.assertRegex(manifest, r"<dpiAware[^>]*>true</dpiAware>")
        supported = re.findall(r'supportedOS Id="\{([0-9a-f-]+)\}"', manifest)
        self.assertEqual(supported, [
            "e2011457-1546-43c5-a5fe-008deee3d3f0",  # Vista
            "35138b9a-5d96-4fbd-8e2d-a2440225f93a",  # 7
            "4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38",  # 8
            "1f676c76-80e1-4239-95bb-83d0f6d0da78",  # 8.1
            "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a",  # 10
        ])

    def test_file_version_is_the_product_version(self):
        offset = self.pe.data.find(struct.pack("<I", 0xFEEF04BD))
        self.assertGreater(offset, 0)
        ms, ls = struct.unpack_from("<II", self.pe.data, offset + 8)
        version = "%d.%d.%d.%d" % (ms >> 16, ms & 0xFFFF, ls >> 16,
                                   ls & 0xFFFF)
        self.assertRegex(version, r"^\d+\.\d+\.\d+\.\d+$")
        self.assertEqual(version, PRODUCT_VERSION)


if __name__ == "__main__":
    unittest.main(verbosity=2)
