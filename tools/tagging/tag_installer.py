#!/usr/bin/env python3
"""Attaches a distribution tag to an Authenticode-signed PE file without
breaking its signature.

  tag_installer.py certificates --tag TEXT [--tag TEXT ...] IN OUT
      adds one dummy certificate per TEXT to the signature's certificate set
      (the tag in the fourth extension's value: a 16-bit big-endian length,
      then the bytes);
  tag_installer.py block --tag TEXT IN OUT
      places a "Zact" tag block (magic, 16-bit big-endian length, bytes) at
      the first 8-byte boundary after the signature blob.

Both rewrite the certificate table's sizes and the PE checksum. The signed
content does not change, so signature checks still pass.
"""

import argparse
import struct
import sys

# TBSCertificate content prefix of a dummy certificate: version 3, serial 1,
# sha1WithRSAEncryption, issuer CN "Unknown issuer", validity 2013-01-01 to
# 2013-04-01, subject CN "Dummy certificate".
DUMMY_PREFIX = bytes.fromhex(
    "a003020102020101300d06092a864886f70d01010505003019311730150603550403130e"
    "556e6b6e6f776e20697373756572301e170d3133303130313130303030305a170d313330"
    "3430313130303030305a301c311a30180603550403131144756d6d792063657274696669"
    "63617465")

# A fixed 1024-bit RSA public key (SubjectPublicKeyInfo) for dummy
# certificates; nothing is ever verified with it.
DUMMY_MODULUS = bytes([0x00]) + bytes(range(0x80, 0x100))


class TagError(Exception):
    pass


def der(tag, content):
    n = len(content)
    if n < 0x80:
        head = bytes([tag, n])
    elif n < 0x100:
        head = bytes([tag, 0x81, n])
    elif n < 0x10000:
        head = bytes([tag, 0x82, n >> 8, n & 0xFF])
    else:
        head = bytes([tag, 0x83, n >> 16, (n >> 8) & 0xFF, n & 0xFF])
    return head + content


def der_element(data, pos):
    """(tag, content start, content end) of the element at pos."""
    if pos + 2 > len(data):
        raise TagError("truncated DER element")
    tag, first = data[pos], data[pos + 1]
    pos += 2
    if first < 0x80:
        length = first
    elif 0x81 <= first <= 0x84:
        count = first - 0x80
        length = int.from_bytes(data[pos:pos + count], "big")
        pos += count
    else:
        raise TagError("unsupported DER length form")
    if pos + length > len(data):
        raise TagError("DER element past its container")
    return tag, pos, pos + length


def oid(dotted):
    parts = [int(p) for p in dotted.split(".")]
    body = bytes([parts[0] * 40 + parts[1]])
    for value in parts[2:]:
        chunk = [value & 0x7F]
        value >>= 7
        while value:
            chunk.insert(0, 0x80 | (value & 0x7F))
            value >>= 7
        body += bytes(chunk)
    return der(0x06, body)


def extension(dotted, value):
    return der(0x30, oid(dotted) + der(0x04, value))


def dummy_certificate(tag):
    if len(tag) > 0xFFFF:
        raise TagError("tag longer than 65535 bytes")
    rsa_key = der(0x30, der(0x02, DUMMY_MODULUS) + der(0x02, b"\x01\x00\x01"))
    spki = der(0x30, der(0x30, oid("1.2.840.113549.1.1.1") + b"\x05\x00") +
               der(0x03, b"\x00" + rsa_key))
    extensions = der(0xA3, der(0x30,
        extension("2.5.29.19", der(0x30, b"")) +
        extension("2.5.29.15", der(0x03, b"\x07\x80")) +
        extension("2.5.29.14", der(0x04, bytes(20))) +
        extension("1.3.6.1.4.1.57264.1", struct.pack(">H", len(tag)) + tag)))
    tbs = der(0x30, DUMMY_PREFIX + spki + extensions)
    algorithm = der(0x30, oid("1.2.840.113549.1.1.5") + b"\x05\x00")
    return der(0x30, tbs + algorithm + der(0x03, b"\x00" + bytes(128)))


class PeFile:
    def __init__(self, data):
        self.data = bytearray(data)
        if self.data[:2] != b"MZ":
            raise TagError("not a PE file")
        self.pe = struct.unpack_from("<I", self.data, 60)[0]
        if self.data[self.pe:self.pe + 4] != b"PE\0\0":
            raise TagError("not a PE file")
        magic = struct.unpack_from("<H", self.data, self.pe + 24)[0]
        if magic not in (0x10B, 0x20B):
            raise TagError("unknown optional header")
        self.checksum_offset = self.pe + 24 + 64
        directories = self.pe + 24 + (96 if magic == 0x10B else 112)
        self.security_entry = directories + 4 * 8
        self.table_offset, self.table_size = struct.unpack_from(
            "<II", self.data, self.security_entry)
        if not self.table_offset:
            raise TagError("the file is not signed")
        if self.table_offset + self.table_size != len(self.data):
            raise TagError("the certificate table is not at the end of the file")

    def set_table(self, table):
        self.data[self.table_offset:] = table
        struct.pack_into("<II", self.data, self.security_entry,
                         self.table_offset, len(table))
        self.data[self.checksum_offset:self.checksum_offset + 4] = bytes(4)
        struct.pack_into("<I", self.data, self.checksum_offset,
                         pe_checksum(self.data, self.checksum_offset))


def pe_checksum(data, checksum_offset):
    total = 0
    padded = bytes(data) + b"\0" * (len(data) % 2)
    for (word,) in struct.iter_unpack("<H", padded):
        total += word
        total = (total & 0xFFFF) + (total >> 16)
    total = (total & 0xFFFF) + (total >> 16)
    return (total + len(data)) & 0xFFFFFFFF


def add_certificates(data, tags):
    pe = PeFile(data)
    table = bytes(pe.data[pe.table_offset:])
    length, revision, kind = struct.unpack_from("<IHH", table, 0)
    blob = table[8:length]
    # ContentInfo -> [0] -> SignedData -> certificates [0].
    _, ci_start, ci_end = der_element(blob, 0)
    _, _, content_type_end = der_element(blob, ci_start)  # contentType
    _, explicit_start, _ = der_element(blob, content_type_end)
    _, sd_start, sd_end = der_element(blob, explicit_start)
    pos = sd_start
    for _ in range(3):  # version, digestAlgorithms, encapContentInfo
        _, _, pos = der_element(blob, pos)
    tag, set_start, set_end = der_element(blob, pos)
    if tag != 0xA0:
        raise TagError("the signature has no certificate set")
    certificates = blob[set_start:set_end] + b"".join(
        dummy_certificate(t) for t in tags)
    signed_data = (blob[sd_start:pos] + der(0xA0, certificates) +
                   blob[set_end:sd_end])
    content_type = blob[ci_start:content_type_end]
    new_blob = der(0x30, content_type + der(0xA0, der(0x30, signed_data)))
    new_blob += blob[ci_end:]
    entry = struct.pack("<IHH", 8 + len(new_blob), revision, kind) + new_blob
    entry += b"\0" * (-len(entry) % 8)
    pe.set_table(entry + table[(length + 7) & ~7:])
    return bytes(pe.data)


def add_tag_block(data, tag):
    pe = PeFile(data)
    table = bytes(pe.data[pe.table_offset:])
    if table[8:10] != b"\x30\x82":
        raise TagError("the signature blob does not start with 30 82")
    blob_length = struct.unpack_from(">H", table, 10)[0]
    block = (blob_length + 19) & ~7
    if len(tag) > 0xFFFF:
        raise TagError("tag longer than 65535 bytes")
    table = table[:block].ljust(block, b"\0")
    table += b"Zact" + struct.pack(">H", len(tag)) + tag
    table += b"\0" * (-len(table) % 8)
    # The certificate entry grows to hold the block; readers of the
    # signature stop at the end of its own DER length.
    table = struct.pack("<I", len(table)) + table[4:]
    pe.set_table(table)
    return bytes(pe.data)


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("format", choices=("certificates", "block"))
    parser.add_argument("--tag", action="append", required=True,
                        help="tag text (repeat for several certificates)")
    parser.add_argument("input")
    parser.add_argument("output")
    args = parser.parse_args(argv)
    tags = [t.encode("utf-8") for t in args.tag]
    with open(args.input, "rb") as f:
        data = f.read()
    try:
        if args.format == "certificates":
            data = add_certificates(data, tags)
        else:
            if len(tags) != 1:
                raise TagError("a tag block holds one tag")
            data = add_tag_block(data, tags[0])
    except TagError as error:
        print("tag_installer: %s" % error, file=sys.stderr)
        return 1
    with open(args.output, "wb") as f:
        f.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
