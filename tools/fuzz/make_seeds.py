#!/usr/bin/env python3
"""Writes the small seed corpus of the fuzz targets (test/fuzz/corpus)."""

import os
import struct
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)),
                                "..", "tagging"))
from tag_installer import DUMMY_PREFIX as PREFIX, der  # noqa: E402


def dummy_certificate(text):
    value = struct.pack(">H", len(text)) + text
    empty = der(0x30, der(0x06, b"\x55\x1d\x0e"))
    fourth = der(0x30, der(0x06, b"\x2b\x06\x01") + der(0x04, value))
    extensions = der(0xA3, der(0x30, empty * 3 + fourth))
    tbs = der(0x30, PREFIX + der(0x30, b"\x05\x00") + extensions)
    return der(0x30, tbs + der(0x30, b"\x05\x00") + der(0x03, b"\x00"))


def signature(certificates):
    signed = der(0x30, der(0x02, b"\x01") + der(0x31, b"") +
                 der(0x30, der(0x06, b"\x2b")) + der(0xA0, certificates) +
                 der(0x31, b""))
    return der(0x30, der(0x06, b"\x2a\x86\x48") + der(0xA0, signed))


def pe(table=b"", tag_block=False):
    pe_offset = 0x80
    head = bytearray(0x200)
    head[0:2] = b"MZ"
    struct.pack_into("<I", head, 60, pe_offset)
    head[pe_offset:pe_offset + 4] = b"PE\0\0"
    struct.pack_into("<H", head, pe_offset + 24, 0x10B)
    if table:
        struct.pack_into("<II", head, pe_offset + 24 + 96 + 32, len(head),
                         len(table))
    return bytes(head) + table


def entry(blob):
    data = struct.pack("<IHH", 8 + len(blob), 0x200, 2) + blob
    return data + b"\0" * (-len(data) % 8)


def main():
    root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..",
                        "test", "fuzz", "corpus")
    seeds = {
        "installer_tag_fuzzer": {
            "two_dummy_certificates": pe(entry(signature(
                dummy_certificate(b"a=1&") + dummy_certificate(b"b=2")))),
            "tag_block": pe(entry(b"\x30\x82\x00\x05" + b"\xee" * 5) +
                            b"Zact\x00\x07lang=ru"),
            "no_table": pe(),
        },
        "distrib_params_fuzzer": {
            "typical": b"lang=ru&stat=1&def=2&uac=1&banerid=0123&try_x64=1",
            "edges": b"x&y=1=2&y=3&&=v&",
        },
        "json_comments_fuzzer": {
            "brand_config": b"//" + b"QUJD" * 43 + b"\n{\"install\": {\"brand_id\": "
                            b"\"z\" /* id */}, \"url\": \"http://x//y\"}\n// end",
            "unclosed": b"[1] /* open",
        },
        "trust_bytes_fuzzer": {
            "signature_dat": b"\x03\x00" + bytes(range(128)),
            "id_base64": b"YLyPd/F+EsLuaYh9nC1z+mRJ19ehzzqzKgYLaYW/knU=",
            "digest": b"d9f0489862665d5f881ac9d86e9279b2"
                      b"e48beb5ac5a54b66281d60d352699af9",
            "version": b"6.1.7601.24000",
        },
    }
    for target, files in seeds.items():
        directory = os.path.join(root, target)
        os.makedirs(directory, exist_ok=True)
        for name, data in files.items():
            with open(os.path.join(directory, name), "wb") as f:
                f.write(data)


if __name__ == "__main__":
    main()
