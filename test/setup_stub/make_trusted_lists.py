#!/usr/bin/env python3
"""Writes the trusted lists carried by the stand-in setup program and by the
packages of the trust tests, with their "SIGNATURE.DAT" resources.

    make_trusted_lists.py PKI_DIR OUTPUT_DIR

For every package NAME it writes NAME.json, NAME.dat (either may be left
out on purpose) and NAME.rc, which the build links into a copy of the
stand-in setup program. The lists are signed with trusted-list key
SIGNING_KEY of the development PKI (tools/pki/make_dev_pki.sh).
"""

import base64
import json
import os
import struct
import subprocess
import sys

SIGNING_KEY = 3


def read_ids(pki):
    """{signer name: (certificate id bytes, public key digest hex)}"""
    ids = {}
    with open(os.path.join(pki, "code_signing", "ids.txt")) as f:
        for line in f:
            name, id_b64, digest = line.split()
            ids[name] = (base64.b64decode(id_b64), digest)
    return ids


def sign(pki, key_number, data):
    """RSA PKCS #1 v1.5 over SHA-1, most significant byte first."""
    key = os.path.join(pki, "trusted_list", "key%d.pem" % key_number)
    result = subprocess.run(["openssl", "dgst", "-sha1", "-sign", key],
                            input=data, capture_output=True, check=True)
    return result.stdout


def entry(ids, name, pub_key=True, cryptoapi_order=False):
    id_bytes, digest = ids[name]
    if cryptoapi_order:
        # Each serial number least significant byte first, as CryptoAPI
        # keeps them. Our serial numbers are 16 bytes each.
        id_bytes = id_bytes[:16][::-1] + id_bytes[16:][::-1]
    member = {"id": base64.b64encode(id_bytes).decode()}
    if pub_key:
        member["pub_key"] = digest
    return member


def trusted_list(certificates):
    return {"trusted_info": {"certificates": certificates}}


def packages(ids):
    """{name: (list object, how to sign it)}; signing is "good", "key10",
    "short", "bad", "no_dat" or "no_json"."""
    both = [entry(ids, "signer"), entry(ids, "signer_sha1")]
    unrelated = {"id": base64.b64encode(bytes(range(1, 33))).decode(),
                 "pub_key": "00" * 32}
    malformed = [
        42, "text", [], {}, {"id": 5}, {"id": None},
        {"id": "not Base64!"}, {"id": "QUJD="},
        entry(ids, "signer"),
        # A second entry with the same id: only the first one's key counts.
        dict(entry(ids, "signer"), pub_key="11" * 32),
    ]
    return {
        # What the stand-in setup program carries.
        "browser_setup": (trusted_list(both), "good"),
        "unlisted": (trusted_list([unrelated]), "good"),
        "cryptoapi_order": (trusted_list(
            [entry(ids, "signer", cryptoapi_order=True),
             entry(ids, "signer_sha1", cryptoapi_order=True)]), "good"),
        "malformed_members": (trusted_list(malformed), "good"),
        "ids_only": (trusted_list(
            [entry(ids, "signer", pub_key=False),
             entry(ids, "signer_sha1", pub_key=False)]), "good"),
        "sha1_only": (trusted_list([entry(ids, "signer_sha1")]), "good"),
        "bad_signature": (trusted_list(both), "bad"),
        "key10": (trusted_list(both), "key10"),
        "short_signature": (trusted_list(both), "short"),
        "no_signature": (trusted_list(both), "no_dat"),
        "no_list": (trusted_list(both), "no_json"),
    }


def main():
    pki, out = sys.argv[1], os.path.abspath(sys.argv[2])
    os.makedirs(out, exist_ok=True)
    ids = read_ids(pki)
    for name, (content, how) in packages(ids).items():
        text = (json.dumps(content, indent=2) + "\n").encode()
        signature = sign(pki, SIGNING_KEY, text)
        number = 10 if how == "key10" else SIGNING_KEY
        if how == "bad":
            signature = bytes([signature[0] ^ 1]) + signature[1:]
        dat = struct.pack("<H", number) + signature
        if how == "short":
            dat = dat[:2]
        rc = []
        if how != "no_dat":
            with open(os.path.join(out, name + ".dat"), "wb") as f:
                f.write(dat)
            rc.append('SIGNATURE.DAT SIGNATURE_DAT "%s/%s.dat"' % (out, name))
        if how != "no_json":
            with open(os.path.join(out, name + ".json"), "wb") as f:
                f.write(text)
            rc.append('TRUSTED.JSON TRUSTED_JSON "%s/%s.json"' % (out, name))
        with open(os.path.join(out, name + ".rc"), "w") as f:
            f.write("\n".join(rc) + "\n")


if __name__ == "__main__":
    main()
