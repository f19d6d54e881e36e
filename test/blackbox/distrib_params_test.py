"""The installer signed and then tagged by tools/tagging, run under Wine: the
distribution parameters it finds are stored in the registry and written to
%TEMP%\\distrib_info."""

import os
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import wine_harness as h  # noqa: E402

REPO = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
TAGGER = os.path.join(REPO, "tools", "tagging", "tag_installer.py")


def run(*args):
    result = subprocess.run(list(args), capture_output=True, text=True)
    assert result.returncode == 0, (args, result.stdout, result.stderr)


class DistribParamsTest(unittest.TestCase):

    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.mkdtemp(prefix="lite-distrib")
        key = os.path.join(cls.dir, "key.pem")
        cert = os.path.join(cls.dir, "cert.pem")
        run("openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes",
            "-days", "3650", "-subj", "/CN=Zarvex Test Code Signing",
            "-addext", "extendedKeyUsage=codeSigning", "-keyout", key,
            "-out", cert)
        cls.signed = os.path.join(cls.dir, "signed.exe")
        run("osslsigncode", "sign", "-certs", cert, "-key", key, "-h",
            "sha256", "-in", h.INSTALLER, "-out", cls.signed)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.dir, ignore_errors=True)

    def setUp(self):
        h.wine(["taskkill", "/f", "/im", "lite_installer.exe"])
        h.reg_delete("DistribInfoParams")
        self.info = os.path.join(h.temp_directory(), "distrib_info")
        if os.path.exists(self.info):
            os.remove(self.info)

    def tagged(self, name, *tag_args):
        # Keep the installer's own file name: start-up looks at it.
        folder = os.path.join(self.dir, name)
        os.makedirs(folder, exist_ok=True)
        out = os.path.join(folder, "lite_installer.exe")
        if tag_args:
            run(sys.executable, TAGGER, *tag_args, self.signed, out)
        else:
            shutil.copy(self.signed, out)
        return out

    def test_parameters_from_tag_or_switch(self):
        certificates = self.tagged("certificates", "certificates", "--tag",
                                   "a=1&", "--tag", "b=2")
        block = self.tagged("block", "block", "--tag", "x=1&lang=tr")
        untagged = self.tagged("untagged")
        cases = [
            # program, extra switches, registry value, distrib_info text
            (certificates, [], "a=1&b=2",
             '{\n  "a": "1",\n  "b": "2"\n}'),
            # The switch wins over the tag.
            (certificates, ["--distr-info-params=c=3&a=9"], "c=3&a=9",
             '{\n  "a": "9",\n  "c": "3"\n}'),
            # The tag block is read when there is no dummy certificate.
            (block, [], "x=1&lang=tr",
             '{\n  "lang": "tr",\n  "x": "1"\n}'),
            (untagged, [], None, None),
        ]
        for program, switches, stored, info in cases:
            with self.subTest(program=program, switches=switches):
                self.setUp()
                # A failed installation keeps what it stored (a successful
                # one removes it): the stand-in setup fails with 7.
                h.EXTRA_ENV["LITE_SETUP_STUB_EXIT_CODE"] = "7"
                try:
                    code, _ = h.run_installer("--silent", *switches,
                                              program=program)
                finally:
                    h.EXTRA_ENV.clear()
                self.assertEqual(code, 7, h.read_log()[-2000:])
                self.assertEqual(h.reg_query("DistribInfoParams"), stored)
                if info is None:
                    self.assertFalse(os.path.exists(self.info))
                else:
                    with open(self.info, "rb") as f:
                        self.assertEqual(f.read(), info.encode())


# The silent runs download the setup package: the local services serve it.
setUpModule = h.serve_setup_package
tearDownModule = h.stop_serving_setup_package


if __name__ == "__main__":
    h.exit_unless_wine_available()
    unittest.main(verbosity=2)
