#!/usr/bin/env python3
"""Writes the build time into the file date of a PE file's version resource.

  stamp_file_date.py FILE

windres cannot set the date of VS_FIXEDFILEINFO, so it is written after
linking (and before any signing): microseconds since 1601-01-01 UTC, high
half in dwFileDateMS, low half in dwFileDateLS. The installer reads it to
know how old its build is.
"""

import struct
import sys
import time

SIGNATURE = struct.pack("<I", 0xFEEF04BD)
DATE_OFFSET = 44  # dwFileDateMS, then dwFileDateLS
EPOCH_1601_TO_1970_US = 11644473600 * 1000000


def main():
    path = sys.argv[1]
    with open(path, "rb") as f:
        data = bytearray(f.read())
    position = data.find(SIGNATURE)
    if position < 0 or position + DATE_OFFSET + 8 > len(data):
        sys.exit("stamp_file_date: no version resource in " + path)
    if data.find(SIGNATURE, position + 1) >= 0:
        sys.exit("stamp_file_date: more than one version resource in " + path)
    now = EPOCH_1601_TO_1970_US + int(time.time() * 1000000)
    struct.pack_into("<II", data, position + DATE_OFFSET, now >> 32,
                     now & 0xFFFFFFFF)
    with open(path, "r+b") as f:
        f.write(data)


if __name__ == "__main__":
    main()
