"""Checks the built executable's file: machine, subsystem, imports, shared
sections, manifest and version resource. Needs no Wine."""

import os
import re
import struct
import unittest

EXE = os.environ.get("LITE_INSTALLER_EXE", "")
PRODUCT_VERSION = os.environ.get("LITE_PRODUCT_VERSION", "")

# The DLLs the executable may import at load time. The loader resolves those
# imports before the program runs, so before the start-up sequence restricts
# the DLL search to the system directory: a DLL that is not a KnownDLL would
# be looked for in the executable's own folder first (often a Downloads
# folder, where anyone can leave a DLL). These are KnownDLLs on every
# supported Windows (Vista to 10), which the loader always takes from the
# system; msvcrt.dll is mingw-w64's C runtime.
LOAD_TIME_DLLS = {
    "advapi32.dll", "gdi32.dll", "imm32.dll", "kernel32.dll", "msvcrt.dll",
    "ntdll.dll", "ole32.dll", "oleaut32.dll", "rpcrt4.dll", "shell32.dll",
    "shlwapi.dll", "user32.dll", "ws2_32.dll",
}

# System DLLs the program uses that are not KnownDLLs on every supported
# Windows (wininet.dll and urlmon.dll are not on Vista, gdiplus.dll only on
# Windows 10). They are delay-loaded (CMakeLists.txt, LITE_DELAY_LOADED_DLLS)
# or loaded by full system path, after the search has been restricted.
NOT_KNOWN_DLLS = {
    "bcrypt.dll", "cabinet.dll", "comctl32.dll", "crypt32.dll", "dbghelp.dll",
    "gdiplus.dll", "mpr.dll", "msimg32.dll", "oleacc.dll", "urlmon.dll",
    "uxtheme.dll", "version.dll", "winhttp.dll", "wininet.dll",
    "wintrust.dll",
}

DELAY_IMPORT_DIRECTORY = 13
IMAGE_SCN_CNT_CODE = 0x20


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
        self.image_base = struct.unpack_from("<I", d, self.optional + 28)[0]
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

    def directory(self, index):
        return struct.unpack_from("<II", self.data,
                                  self.optional + 96 + 8 * index)

    def string(self, rva):
        offset = self.rva_to_offset(rva)
        return self.data[offset:self.data.index(b"\0", offset)].decode()

    def imports(self):
        rva = self.directory(1)[0]
        names = []
        offset = self.rva_to_offset(rva)
        while True:
            entry = struct.unpack_from("<IIIII", self.data, offset)
            if entry == (0, 0, 0, 0, 0):
                return names
            names.append(self.string(entry[3]).lower())
            offset += 20

    def delay_imports(self):
        """The delay-import directory: {DLL name: {"attributes", the
        initial "module_handle", "functions": [(name, the initial address
        in its slot)]}}."""
        rva = self.directory(DELAY_IMPORT_DIRECTORY)[0]
        dlls = {}
        if not rva:
            return dlls
        offset = self.rva_to_offset(rva)
        while True:
            (attributes, name, module_handle, iat, int_, _, _,
             _) = struct.unpack_from("<8I", self.data, offset)
            if not any((attributes, name, module_handle, iat, int_)):
                return dlls
            functions = []
            while True:
                hint_name, = struct.unpack_from(
                    "<I", self.data, self.rva_to_offset(int_))
                address, = struct.unpack_from("<I", self.data,
                                              self.rva_to_offset(iat))
                if hint_name == 0:
                    break
                # Imports by ordinal have the high bit set.
                function = ("#%d" % (hint_name & 0xFFFF)
                            if hint_name & 0x80000000 else
                            self.string(hint_name + 2))
                functions.append((function, address))
                int_ += 4
                iat += 4
            dlls[self.string(name).lower()] = {
                "attributes": attributes,
                "module_handle": struct.unpack_from(
                    "<I", self.data, self.rva_to_offset(module_handle))[0],
                "functions": functions,
            }
            offset += 32

    def code_ranges(self):
        """The virtual addresses of the code sections, as (start, end)."""
        return [(self.image_base + va, self.image_base + va + vsize)
                for _, vsize, va, _, _, flags in self.sections
                if flags & IMAGE_SCN_CNT_CODE]


@unittest.skipUnless(EXE and os.path.exists(EXE), "the executable is not built")
class ExecutableTest(unittest.TestCase):

    @classmethod
    def setUpClass(cls):
        cls.pe = PeFile(EXE)

    def test_is_a_32_bit_gui_program_loading_only_known_dlls(self):
        self.assertEqual(self.pe.machine, 0x14C)  # i386
        self.assertEqual(self.pe.magic, 0x10B)  # PE32
        self.assertEqual(self.pe.subsystem, 2)  # Windows GUI
        imports = set(self.pe.imports())
        self.assertTrue(imports, "no imports found")
        self.assertEqual(imports - LOAD_TIME_DLLS, set())

    def test_other_system_dlls_are_delay_loaded_through_their_stubs(self):
        dlls = self.pe.delay_imports()
        self.assertTrue(dlls, "no delay-import directory")
        self.assertEqual(set(dlls) - NOT_KNOWN_DLLS, set())
        code = self.pe.code_ranges()
        for name, dll in dlls.items():
            self.assertEqual(dll["attributes"], 1, name)  # RVA-based
            self.assertEqual(dll["module_handle"], 0, name)
            self.assertTrue(dll["functions"], name)
            for function, address in dll["functions"]:
                # Until the first call, the slot holds the stub that loads
                # the DLL; a slot left 0 crashes on that call.
                self.assertTrue(any(start <= address < end
                                    for start, end in code),
                                "%s!%s: 0x%x" % (name, function, address))

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
