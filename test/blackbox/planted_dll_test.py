"""DLLs planted beside the installer are not loaded. A copy of the installer
sits in a folder of its own with a marker DLL (test/helpers/load_marker.cc)
under the name of every system DLL that is not a KnownDLL on all supported
Windows; Wine is told to prefer DLLs found on the search path to its own
("native,builtin", the Windows search order). The installer then installs
silently against the local services, and no marker records being loaded."""

import glob
import os
import shutil
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import executable_test  # noqa: E402
import wine_harness as h  # noqa: E402

MARKER = os.environ.get("LITE_LOAD_MARKER_DLL", "")
UNSAFE_IMPORTS = os.environ.get("LITE_UNSAFE_IMPORTS_EXE", "")
NOT_KNOWN_DLLS = executable_test.NOT_KNOWN_DLLS

# Names that Wine 8 itself loads from the program's folder under these
# overrides, whatever the program does (Windows resolves its own DLLs'
# dependencies in the system directory once the search is restricted). A
# planted copy would be loaded by Wine's code and, lacking the real
# functions, end the process; they are not planted.
WINE_OWN_LOADS = {
    "version.dll": "Wine's user32.dll imports it at load time",
    "crypt32.dll": "Wine's secur32.dll delay-loads it for the HTTPS "
                   "download, and Wine resolves its own DLLs' delay imports "
                   "without the default DLL directories",
    "bcrypt.dll": "imported by that crypt32.dll, resolved the same way",
    "dbghelp.dll": "imported by the imagehlp.dll that Wine's wintrust.dll "
                   "delay-loads, resolved the same way",
}


def loaded(directory):
    """The planted DLLs that were loaded, in lower case (a marker names its
    file after the module name the loader was asked for)."""
    return {os.path.basename(path)[:-len(".loaded")].lower()
            for path in glob.glob(os.path.join(directory, "*.loaded"))}


class PlantedDllTest(unittest.TestCase):

    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="lite-planted")
        self.addCleanup(shutil.rmtree, self.dir, ignore_errors=True)

    def run_planted(self, program, names, *args, timeout=120):
        """Runs a copy of `program` with a marker DLL under each of `names`
        beside it, those names native first; returns the exit code and the
        markers that were loaded."""
        copy = os.path.join(self.dir, os.path.basename(program))
        shutil.copy(program, copy)
        for name in names:
            shutil.copy(MARKER, os.path.join(self.dir, name))
        overrides = ",".join(sorted(name[:-len(".dll")] for name in names))
        # A program that a planted DLL breaks ends at once, with the
        # exception's code, instead of waiting in Wine's crash dialog.
        h.EXTRA_ENV.update(
            {"WINEDLLOVERRIDES": overrides + "=n,b;winedbg.exe=d"})
        try:
            code, _ = h.run_installer(*args, timeout=timeout, program=copy)
        finally:
            h.EXTRA_ENV.clear()
        return code, loaded(self.dir)

    def test_a_load_time_import_of_any_of_them_loads_the_marker(self):
        # Without this, "no marker was loaded" would show nothing.
        imports = set(executable_test.PeFile(UNSAFE_IMPORTS).imports())
        self.assertEqual(NOT_KNOWN_DLLS - imports, set())
        code, markers = self.run_planted(UNSAFE_IMPORTS, NOT_KNOWN_DLLS)
        self.assertEqual(code, 0)
        self.assertEqual(markers, NOT_KNOWN_DLLS)

    def test_installer_loads_none_and_installs(self):
        h.wine(["taskkill", "/f", "/im", "lite_installer.exe"])
        names = NOT_KNOWN_DLLS - set(WINE_OWN_LOADS)
        code, markers = self.run_planted(h.INSTALLER, names, "--silent",
                                         timeout=300)
        self.assertEqual(markers, set())
        self.assertEqual(code, 0, h.read_log()[-3000:])

    def test_names_wine_loads_itself(self):
        self.skipTest("not planted, as Wine 8 loads them from the program's "
                      "folder itself: " + "; ".join(
                          "%s: %s" % item
                          for item in sorted(WINE_OWN_LOADS.items())))


setUpModule = h.serve_setup_package
tearDownModule = h.stop_serving_setup_package


if __name__ == "__main__":
    h.exit_unless_wine_available()
    unittest.main(verbosity=2)
