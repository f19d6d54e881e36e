#!/usr/bin/env python3
"""Makes a delay-import library for one system DLL from mingw-w64's import
library of it.

  make_delay_import_lib.py NM DLLTOOL OBJCOPY AR IMPORT_LIBRARY DLL_NAME OUTPUT

GNU ld has no /DELAYLOAD. `dlltool --output-delaylib` builds a library whose
functions go through `__delayLoadHelper2` (mingw-w64's CRT): the DLL is
loaded, with LoadLibrary and its bare name, on the first call of one of its
functions, so it comes from wherever the DLL search points at that time.

The functions are those of the import library: a `__imp__Name@N` pointer with
its `_Name@N` thunk. `dlltool -k` keeps the stdcall decoration out of the
names looked up in the DLL, as mingw-w64's own import libraries do. Data
exports (a pointer without a thunk) cannot be delay-loaded and are left out,
so code that uses one fails to link instead of loading the DLL at start.

GNU ld (2.40) drops the code section of an import-library member when
nothing calls its thunk by name, which is the case for every function the
headers declare dllimport: such calls go through `__imp__Name@N` alone. In a
delay-import library that code is the stub the pointer initially holds, so
the pointer would be left 0. The code sections are therefore renamed to
".text$dl" and flagged as data, which that rule skips; the linker still
places them in the executable's .text.
"""

import os
import subprocess
import sys
import tempfile

STUB_SECTION = ".text$dl,alloc,load,readonly,contents,data"


def function_names(nm, import_library):
    """The decorated names (`Name@N`, or `Name` for cdecl) of the
    functions the import library offers."""
    output = subprocess.run([nm, "-g", "--defined-only", import_library],
                            check=True, capture_output=True,
                            text=True).stdout
    pointers, thunks = set(), set()
    for line in output.splitlines():
        fields = line.split()
        if len(fields) != 3:
            continue
        _, kind, symbol = fields
        if kind == "I" and symbol.startswith("__imp__"):
            pointers.add(symbol[len("__imp__"):])
        elif kind == "T" and symbol.startswith("_"):
            thunks.add(symbol[1:])
    return sorted(pointers & thunks)


def main():
    if len(sys.argv) != 8:
        sys.exit(__doc__)
    nm, dlltool, objcopy, ar, import_library, dll_name, output = sys.argv[1:]
    names = function_names(nm, import_library)
    if not names:
        sys.exit("%s: no functions found in %s" % (sys.argv[0],
                                                   import_library))
    output = os.path.abspath(output)
    os.makedirs(os.path.dirname(output), exist_ok=True)
    with tempfile.TemporaryDirectory(dir=os.path.dirname(output)) as work:
        definition = os.path.join(work, "exports.def")
        with open(definition, "w") as f:
            f.write("LIBRARY %s\nEXPORTS\n" % dll_name)
            f.writelines(name + "\n" for name in names)
        # dlltool names its symbols after the output file and writes its
        # temporary objects into the current directory.
        name = os.path.basename(output)
        subprocess.run([dlltool, "-k", "--input-def", definition,
                        "--dllname", dll_name, "--output-delaylib", name],
                       check=True, cwd=work)
        members_dir = os.path.join(work, "members")
        os.mkdir(members_dir)
        members = subprocess.run([ar, "t", os.path.join(work, name)],
                                 check=True, capture_output=True,
                                 text=True).stdout.split()
        subprocess.run([ar, "x", os.path.join(work, name)], check=True,
                       cwd=members_dir)
        for member in members:
            subprocess.run([objcopy, "--rename-section",
                            ".text=" + STUB_SECTION, member],
                           check=True, cwd=members_dir)
        final = os.path.join(work, "final.a")
        subprocess.run([ar, "rcs", final] + members, check=True,
                       cwd=members_dir)
        os.replace(final, output)


if __name__ == "__main__":
    main()
