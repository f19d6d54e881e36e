#!/usr/bin/env python3
"""Where the bytes of lite_installer.exe go.

Builds nothing: reads the built executable (its PE sections and resources)
and the map its link wrote, and prints the size by section, by dependency
(our libraries, libstdc++, the C runtime, Jansson, ...), by our own units,
and the resources' share.

    tools/bench/size_report.py [--exe build/lite_installer.exe]
        [--map build/lite_installer.map] [--units N]

The map's figures are the linker's input sections (virtual sizes, before the
file alignment of the sections); the per-section table is the file itself.
"""

import argparse
import collections
import os
import re
import struct
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

# Output sections whose input sections are counted; the rest (debug
# information, discarded sections) never reach the stripped file.
COUNTED = ('.text', '.data', '.rdata', '.eh_frame', '.bss', '.idata', '.CRT',
           '.tls', '.rsrc', 'Shared', 'SHARED', '.pdata', '.xdata')
# Columns of the by-dependency tables: column -> output sections.
COLUMNS = collections.OrderedDict([('code', ('.text',)), ('rodata', ('.rdata',)),
                                   ('unwind', ('.eh_frame',)),
                                   ('data', ('.data', 'Shared', 'SHARED', '.CRT', '.tls')),
                                   ('imports', ('.idata',)), ('rsrc', ('.rsrc',)),
                                   ('bss', ('.bss',))])
OUR_LIBRARIES = ('lite_base', 'lite_util', 'zarvex_util', 'lite_installer_core',
                 'lite_installer_ui')
RESOURCE_TYPES = {1: 'CURSOR', 2: 'BITMAP', 3: 'ICON', 4: 'MENU', 5: 'DIALOG',
                  6: 'STRING', 10: 'RCDATA', 12: 'GROUP_CURSOR', 14: 'GROUP_ICON',
                  16: 'VERSION', 24: 'MANIFEST'}


def dependency(path):
    """The dependency an input file of the link belongs to."""
    base = os.path.basename(path)
    archive = re.match(r'(.*?\.a)\((.*)\)$', base)
    name = archive.group(1) if archive else base
    member = archive.group(2) if archive else base
    for lib in OUR_LIBRARIES:
        if name == 'lib%s.a' % lib:
            return lib
    if 'CMakeFiles/lite_installer.dir/' in path:
        return 'resources (.res)' if name.endswith('.res') else 'executable (start-up)'
    if name in ('libstdc++.a', 'libsupc++.a'):
        return 'libstdc++'
    if name == 'libgcc_eh.a':
        return 'unwinder (libgcc_eh)'
    if name == 'libgcc.a':
        return 'libgcc (helpers)'
    if name in ('libpthread.a', 'libwinpthread.a'):
        return 'winpthread'
    if name == 'libjansson.a':
        return 'Jansson'
    if name == 'libcrypto.a':
        return 'libcrypto'
    if name == 'libz.a':
        return 'zlib'
    if '/delayimp/' in path or name.endswith('_delayed.a'):
        return 'system DLL imports'
    if name in ('libmingw32.a', 'libmingwex.a', 'libmoldname.a', 'libmsvcrt.a',
                'libmingwthrd.a') or re.match(r'crt.*\.o$', name):
        # libmsvcrt.a holds both import stubs and a few static helpers.
        if name == 'libmsvcrt.a' and member.startswith('libmsvcrt') and 'defs' not in member:
            return 'system DLL imports'
        return 'C runtime'
    if name.startswith('lib') and name.endswith('.a'):
        return 'system DLL imports'
    return 'other (%s)' % name


def unit_name(path):
    """Our own unit (library and object) an input file is, or None."""
    base = os.path.basename(path)
    archive = re.match(r'lib(.*?)\.a\((.*?)(\.obj|\.o)?\)$', base)
    if archive and archive.group(1) in OUR_LIBRARIES:
        return '%s: %s' % (archive.group(1), archive.group(2))
    if 'CMakeFiles/lite_installer.dir/src/' in path:
        return 'executable: ' + re.sub(r'\.obj$', '', os.path.basename(path))
    return None


def parse_map(text):
    """Input sections of the map: (output section, input path, size)."""
    start = text.find('Linker script and memory map')
    if start < 0:
        raise ValueError('not a GNU ld map (no memory map)')
    entries = []
    output = None
    pending = False  # an input section name whose figures are on the next line
    for line in text[start:].splitlines():
        if line and not line[0].isspace():
            head = line.split()[0]
            output = head if head in COUNTED else None
            pending = False
            continue
        if output is None:
            continue
        fields = line.split()
        if not fields:
            continue
        if pending:
            pending = False
            if len(fields) >= 3 and fields[0].startswith('0x'):
                entries.append((output, ' '.join(fields[2:]), int(fields[1], 16)))
            continue
        if line.startswith(' *fill*') and len(fields) >= 3:
            entries.append((output, '*fill*', int(fields[2], 16)))
        elif line.startswith((' .', ' Shared', ' SHARED')):
            if len(fields) == 1:
                pending = True
            elif len(fields) >= 4 and fields[1].startswith('0x'):
                entries.append((output, ' '.join(fields[3:]), int(fields[2], 16)))
    return entries


def pe_sections(data):
    """(name, virtual size, raw size, raw offset, rva) of each section, and the
    size of the headers."""
    if data[:2] != b'MZ':
        raise ValueError('not an MZ executable')
    pe = struct.unpack_from('<I', data, 0x3C)[0]
    if data[pe:pe + 4] != b'PE\0\0':
        raise ValueError('no PE header')
    count = struct.unpack_from('<H', data, pe + 6)[0]
    optional_size = struct.unpack_from('<H', data, pe + 20)[0]
    optional = pe + 24
    headers = struct.unpack_from('<I', data, optional + 60)[0]
    table = optional + optional_size
    sections = []
    for i in range(count):
        raw = data[table + 40 * i:table + 40 * i + 40]
        name = raw[:8].rstrip(b'\0').decode('latin-1')
        vsize, rva, rsize, roffset = struct.unpack_from('<IIII', raw, 8)
        sections.append((name, vsize, rsize, roffset, rva))
    return sections, headers


def resources(data, sections):
    """(type, name, size) of each resource in .rsrc."""
    rsrc = next((s for s in sections if s[0] == '.rsrc'), None)
    if rsrc is None:
        return []
    _, _, rsize, offset, _ = rsrc
    blob = data[offset:offset + rsize]

    def label(entry_id, is_type):
        if entry_id & 0x80000000:
            at = entry_id & 0x7FFFFFFF
            length = struct.unpack_from('<H', blob, at)[0]
            return blob[at + 2:at + 2 + 2 * length].decode('utf-16-le')
        return RESOURCE_TYPES.get(entry_id, str(entry_id)) if is_type else str(entry_id)

    found = []

    def walk(at, depth, path):
        named, ids = struct.unpack_from('<HH', blob, at + 12)
        for i in range(named + ids):
            entry_id, target = struct.unpack_from('<II', blob, at + 16 + 8 * i)
            here = path + [label(entry_id, depth == 0)]
            if target & 0x80000000:
                if depth < 3:
                    walk(target & 0x7FFFFFFF, depth + 1, here)
            else:
                size = struct.unpack_from('<I', blob, target + 4)[0]
                found.append((here[0], here[1] if len(here) > 1 else '', size))

    walk(0, 0, [])
    return found


def kib(n):
    return '%9.1f' % (n / 1024.0)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split('\n\n')[0])
    parser.add_argument('--exe', default=os.path.join(ROOT, 'build', 'lite_installer.exe'))
    parser.add_argument('--map', default=None,
                        help='the link map (default: lite_installer.map beside the executable)')
    parser.add_argument('--units', type=int, default=25,
                        help='how many of our largest units to list (0: all)')
    args = parser.parse_args()
    map_path = args.map or os.path.join(os.path.dirname(args.exe), 'lite_installer.map')
    try:
        with open(args.exe, 'rb') as f:
            data = f.read()
        with open(map_path, encoding='utf-8', errors='replace') as f:
            entries = parse_map(f.read())
        sections, headers = pe_sections(data)
        found = resources(data, sections)
    except (OSError, ValueError, struct.error) as error:
        sys.exit('size_report: %s' % error)
    total = len(data)

    print('%s: %d bytes (%.1f KiB)\n' % (args.exe, total, total / 1024.0))
    print('By section (the file)        KiB in file   KiB in memory   share')
    print('  %-26s %s %15s %6.1f %%' % ('headers', kib(headers), '', 100.0 * headers / total))
    covered = headers
    for name, vsize, rsize, _, _ in sections:
        covered += rsize
        print('  %-26s %s %15s %6.1f %%' % (name, kib(rsize), kib(vsize).strip(),
                                            100.0 * rsize / total))
    if total > covered:
        print('  %-26s %s %15s %6.1f %%' % ('(after the sections)', kib(total - covered), '',
                                            100.0 * (total - covered) / total))

    by_dep = collections.defaultdict(collections.Counter)
    by_unit = collections.defaultdict(collections.Counter)
    column_of = {s: c for c, names in COLUMNS.items() for s in names}
    for output, path, size in entries:
        column = column_of.get(output, 'data')
        dep = 'padding (alignment)' if path == '*fill*' else dependency(path)
        by_dep[dep][column] += size
        unit = unit_name(path) if path != '*fill*' else None
        if unit:
            by_unit[unit][column] += size

    def in_file(counter):
        return sum(v for k, v in counter.items() if k != 'bss')

    grand = sum(in_file(c) for c in by_dep.values()) or 1

    def table(title, rows, limit=0):
        print('\n%-40s' % title + ''.join('%10s' % c for c in COLUMNS) + '%10s  share' % 'total')
        ordered = sorted(rows.items(), key=lambda kv: -in_file(kv[1]))
        shown = ordered[:limit] if limit else ordered
        for name, counter in shown:
            print('  %-38s' % name[:38] + ''.join(kib(counter[c]).rjust(10) for c in COLUMNS) +
                  kib(in_file(counter)).rjust(10) + '%6.1f %%' % (100.0 * in_file(counter) / grand))
        if len(shown) < len(ordered):
            rest = sum(in_file(c) for _, c in ordered[len(shown):])
            print('  (%d more units: %s KiB)' % (len(ordered) - len(shown), kib(rest).strip()))

    print('\nFrom the map, in KiB (virtual sizes; "bss" takes no room in the file);')
    print('share is of everything the map places in the file.')
    table('By dependency', by_dep)
    ours = [c for k, c in by_dep.items() if k in OUR_LIBRARIES or k.startswith('executable')]
    our_total = sum(in_file(c) for c in ours)
    print('  %-38s%s KiB, %.1f %%' % ('our code and data', kib(our_total), 100.0 * our_total / grand))
    table('By our own unit', by_unit, args.units)

    res_bytes = sum(size for _, _, size in found)
    rsrc_raw = sum(s[2] for s in sections if s[0] == '.rsrc')
    print('\nResources: %d bytes of data in %d resources; .rsrc takes %d bytes, %.1f %% of the file'
          % (res_bytes, len(found), rsrc_raw, 100.0 * rsrc_raw / total))
    for kind, name, size in sorted(found, key=lambda r: -r[2]):
        print('  %-12s %-28s %9d' % (kind, name, size))


if __name__ == '__main__':
    main()
