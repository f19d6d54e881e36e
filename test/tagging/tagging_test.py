"""Round trip of the tagging tool on a really signed installer: sign with a
test certificate made here, tag in both formats, check that osslsigncode
still accepts the signature and that the installer's readers (built for the
host as read_tag) find the tags."""

import os
import subprocess
import sys
import tempfile
import unittest

REPO = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
TAGGER = os.path.join(REPO, "tools", "tagging", "tag_installer.py")
INSTALLER = os.environ.get("LITE_INSTALLER_EXE", "")
READ_TAG = os.environ.get("LITE_READ_TAG", "")


def run(*args):
    return subprocess.run(list(args), capture_output=True, text=True)


class TaggingTest(unittest.TestCase):

    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.mkdtemp(prefix="tagging")
        cls.key = os.path.join(cls.dir, "key.pem")
        cls.cert = os.path.join(cls.dir, "cert.pem")
        made = run("openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes",
                   "-days", "3650", "-subj", "/CN=Zarvex Test Code Signing",
                   "-addext", "extendedKeyUsage=codeSigning",
                   "-keyout", cls.key, "-out", cls.cert)
        assert made.returncode == 0, made.stderr
        cls.signed = os.path.join(cls.dir, "signed.exe")
        signed = run("osslsigncode", "sign", "-certs", cls.cert, "-key",
                     cls.key, "-h", "sha256", "-in", INSTALLER, "-out",
                     cls.signed)
        assert signed.returncode == 0, signed.stdout + signed.stderr

    def tags(self, path):
        result = run(READ_TAG, path)
        self.assertEqual(result.returncode, 0, result.stderr)
        return dict(line.split("=", 1) for line in
                    result.stdout.splitlines())

    def verify(self, path):
        result = run("osslsigncode", "verify", "-CAfile", self.cert, path)
        return result.returncode == 0 and "Succeeded" in result.stdout

    def test_round_trip(self):
        cases = [
            (["certificates", "--tag", "a=1&", "--tag", "b=2"],
             {"certificates": "a=1&b=2", "error": "0", "block": ""}),
            (["certificates", "--tag", "lang=ru&stat=1"],
             {"certificates": "lang=ru&stat=1", "error": "0", "block": ""}),
            (["block", "--tag", "lang=tr&x=1"],
             {"certificates": "", "error": "0", "block": "lang=tr&x=1"}),
            (["block", "--tag", ""],
             {"certificates": "", "error": "0", "block": ""}),
        ]
        self.assertTrue(self.verify(self.signed))
        self.assertEqual(self.tags(self.signed),
                         {"certificates": "", "error": "0", "block": ""})
        for number, (args, expected) in enumerate(cases):
            out = os.path.join(self.dir, "tagged%d.exe" % number)
            result = run(sys.executable, TAGGER, *args, self.signed, out)
            self.assertEqual(result.returncode, 0, result.stderr)
            self.assertTrue(self.verify(out), args)
            self.assertEqual(self.tags(out), expected, args)

    def test_unsigned_file_is_refused(self):
        out = os.path.join(self.dir, "never.exe")
        result = run(sys.executable, TAGGER, "certificates", "--tag", "a=1",
                     INSTALLER, out)
        self.assertEqual(result.returncode, 1)
        self.assertIn("not signed", result.stderr)
        self.assertFalse(os.path.exists(out))

    def test_unsigned_installer_has_no_certificate_table(self):
        self.assertEqual(self.tags(INSTALLER)["error"], "1")


if __name__ == "__main__":
    unittest.main(verbosity=2)
