"""The installer's verification of setup packages, on real signed files
under Wine.

Every package is a copy of the stand-in setup program carrying its own
trusted list (test/setup_stub/make_trusted_lists.py), signed here with the
development PKI. verify_package.exe runs the installer's VerifyModule on it
and prints the log, the reports handed over and the answer.

Prefixes of their own (kept in the build directory, made on first use):
  trusted  Windows 10, the development root trusted;
  no_root  without the development root, set to Windows 10 or 7 per row.
"""

import collections
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(__file__))
import wine_harness as harness  # noqa: E402

PKI = os.environ.get("LITE_DEV_PKI_DIR", "")
PACKAGES = os.environ.get("LITE_TRUST_PACKAGES", "")
SETUP_PACKAGE = os.environ.get("LITE_SETUP_PACKAGE", "")
VERIFY = os.environ.get("LITE_VERIFY_PACKAGE_EXE", "")
ADD_ROOT = os.environ.get("LITE_ADD_ROOT_CERT_EXE", "")
BUILD = os.path.dirname(harness.PREFIX)
PREFIXES = {
    "trusted": os.path.join(BUILD, "wineprefix-trust"),
    "no_root": os.path.join(BUILD, "wineprefix-trust-no-root"),
}
CODE_SIGNING = os.path.join(PKI, "code_signing")

CERT_E_UNTRUSTEDROOT = -2146762487  # 0x800B0109
TRUST_E_NOSIGNATURE = -2146762496   # 0x800B0100
TRUST_E_BAD_DIGEST = -2146869232    # 0x80096010

WINE_IGNORES_INDEX = (
    "Wine's WinVerifyTrust ignores WINTRUST_SIGNATURE_SETTINGS.dwIndex and "
    "answers every check with the primary signature (docs/wine.md); "
    "trust_decision_unittest covers this row over recorded facts")

Result = collections.namedtuple("Result", "answer logs reports")


def run(*args):
    result = subprocess.run(list(args), capture_output=True, text=True)
    if result.returncode != 0:
        raise AssertionError("%s: %s%s" % (args, result.stdout, result.stderr))


def sign(source, target, signer="signer", digest="sha256"):
    """Signs with a signer of the development PKI (or the forger)."""
    args = ["osslsigncode", "sign",
        "-certs", os.path.join(CODE_SIGNING, signer + "_chain.pem"),
        "-key", os.path.join(CODE_SIGNING, signer + ".key"),
        "-h", digest, "-in", source, "-out", target]
    if os.path.exists(target):
        os.remove(target)
    run(*args)


def ids():
    """{signer: certificate id Base64} from the PKI."""
    with open(os.path.join(CODE_SIGNING, "ids.txt")) as f:
        return {line.split()[0]: line.split()[1] for line in f}


def verify(path):
    """Runs the installer's verification in the current prefix."""
    result = harness.wine([VERIFY, path], timeout=120)
    answer = None
    logs, reports = [], []
    for line in result.stdout.splitlines():
        kind, _, rest = line.partition(" ")
        if kind == "log":
            severity, function, text = (rest.split(" ", 2) + ["", ""])[:3]
            logs.append((severity, function, text))
        elif kind == "report":
            name, _, values = rest.partition(" ")
            report = dict(item.split("=", 1) for item in values.split(";")
                          if item)
            reports.append((name, report))
        elif kind == "answer":
            answer = rest.strip() == "1"
    if answer is None:
        raise AssertionError("no answer: %r %r" % (result.stdout,
                                                   result.stderr))
    return Result(answer, logs, reports)


def set_windows_version(version):
    result = harness.wine(["reg", "add", "HKCU\\Software\\Wine", "/v",
                           "Version", "/d", version, "/f"])
    assert result.returncode == 0, result.stderr


class TrustTestBase(unittest.TestCase):
    """Packages, runs and how a run is compared with its row."""

    @classmethod
    def setUpClass(cls):
        harness.exit_unless_wine_available()
        cls.dir = tempfile.mkdtemp(prefix="trust")

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.dir, ignore_errors=True)

    def package(self, name, signer="signer", digest="sha256", tamper=False):
        """A signed copy of package `name` (signer None: unsigned)."""
        source = (SETUP_PACKAGE if name == "browser-setup.arc" else
                  os.path.join(PACKAGES, name + ".exe"))
        target = os.path.join(self.dir, "%s-%s-%s%s.arc" % (
            name, signer, digest, "-tampered" if tamper else ""))
        if signer is None:
            shutil.copyfile(source, target)
        else:
            unsigned = target + ".unsigned"
            if name == "browser-setup.arc":
                run("osslsigncode", "remove-signature", "-in", source,
                    "-out", unsigned)
            else:
                shutil.copyfile(source, unsigned)
            sign(unsigned, target, signer, digest)
        if tamper:
            with open(target, "r+b") as f:
                f.seek(1024)
                byte = f.read(1)
                f.seek(1024)
                f.write(bytes([byte[0] ^ 1]))
        return target

    def check(self, row, result):
        """Compares a run with its row: the answer, the error_type of the
        last report handed over, and an expected log line."""
        name, expected_answer, error_type, log_line = row
        self.assertEqual(result.answer, expected_answer, result)
        texts = [text for _, _, text in result.logs]
        if log_line:
            self.assertTrue(any(t.startswith(log_line) for t in texts),
                            (log_line, texts))
        if error_type is None:
            # No list, so no signature was looked at.
            self.assertEqual(result.reports, [])
            self.assertEqual([t for _, f, t in result.logs
                              if f == "VerifyModuleImpl"], [])
            return
        if error_type in ("ok", "ok_sha256") and not result.reports:
            # On Windows 10 a report holding only its error_type stays home;
            # the log tells which success it was.
            line = {"ok": "File successfully verified. ",
                    "ok_sha256": "File successfully verified with sha256. "}
            self.assertTrue(any(t.startswith(line[error_type])
                                for t in texts), texts)
            return
        self.assertTrue(result.reports, result)
        report_name, report = result.reports[-1]
        self.assertEqual(report_name, "win-verify-update")
        self.assertEqual(report.get("error_type"), error_type, result)
        self.assertIn("crypt_version", report)
        self.assertIn("win_version", report)

    def trust_roots(self):
        result = harness.wine([ADD_ROOT, harness.windows_path(
            os.path.join(CODE_SIGNING, "root.pem"))])
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)


class TrustTest(TrustTestBase):

    def test_matrix_windows10_root_trusted(self):
        # (row, package, signing); a row is (name, answer, error_type of the
        # last report or None when no signature was looked at, log line).
        tampered = dict(tamper=True)
        rows = [
            (("unsigned", False, "hash",
              "Can not find any trusted certificates. "),
             "browser_setup", dict(signer=None)),
            (("signer not listed", False, "find",
              "Can not find sertificate in trusted list. "),
             "unlisted", {}),
            (("one byte changed after signing", False, "hash",
              "KNOWN_ERROR_untrusted_certificate"),
             "browser_setup", tampered),
            (("no TRUSTED_JSON", False, None,
              "Cannot find resource TRUSTED_JSON"), "no_list", {}),
            (("no SIGNATURE_DAT", False, None,
              "Cannot find resource SIGNATURE_DAT"), "no_signature", {}),
            (("SIGNATURE_DAT of 2 bytes", False, None,
              "Cannot find resource SIGNATURE_DAT"), "short_signature", {}),
            (("SIGNATURE_DAT naming key 10", False, None, "Cannot find key"),
             "key10", {}),
            (("list signature does not match", False, None, "Verify error"),
             "bad_signature", {}),
            (("ids in CryptoAPI's byte order", False, "find",
              "Can not find sertificate in trusted list. "),
             "cryptoapi_order", {}),
            (("malformed members skipped", True, "ok_sha256", None),
             "malformed_members", {}),
            (("SHA-256 signer listed", True, "ok_sha256",
              "File successfully verified with sha256. "),
             "browser_setup", {}),
            (("SHA-1 signer listed", True, "ok",
              "File successfully verified. "),
             "browser_setup", dict(signer="signer_sha1")),
            (("SHA-1 signer listed, SHA-1 file digest", True, "ok", None),
             "browser_setup", dict(signer="signer_sha1", digest="sha1")),
            (("SHA-1 signer not listed", False, "find", None),
             "unlisted", dict(signer="signer_sha1")),
            (("list without keys, chain trusted", True, "ok_sha256", None),
             "ids_only", {}),
            (("forger's chain, list without keys", False, "pub_key",
              "Public key is not match. "),
             "ids_only", dict(signer="forger_signer")),
        ]
        with harness.other_prefix(PREFIXES["trusted"], trust_roots=False):
            set_windows_version("win10")
            self.trust_roots()
            for row, name, signing in rows:
                with self.subTest(row[0]):
                    self.check(row, verify(harness.windows_path(
                        self.package(name, **signing))))
            with self.subTest("relative path"):
                self.check(("relative path", False, None,
                            "Attempting to GetTrustJsonFromModule at an "
                            "invalid path: "),
                           verify("trust\\browser-setup.arc"))
            with self.subTest("reports name Windows 10"):
                result = verify(harness.windows_path(
                    self.package("unlisted")))
                self.assertTrue(
                    result.reports[-1][1]["win_version"].startswith("10.0."))

    def test_forger_copying_serial_numbers(self):
        """The built package, and the same package re-signed by a home-made
        chain with the development CA's and signer's names and serial
        numbers: same certificate id, other keys."""
        self.assertEqual(ids()["forger_signer"], ids()["signer"])
        with harness.other_prefix(PREFIXES["trusted"], trust_roots=False):
            set_windows_version("win10")
            self.trust_roots()
            genuine = verify(harness.windows_path(SETUP_PACKAGE))
            self.check(("development chain", True, "ok_sha256", None),
                       genuine)
            forged = verify(harness.windows_path(
                self.package("browser-setup.arc", signer="forger_signer")))
            self.check(("forger's chain", False, "pub_key",
                        "Public key is not match. "), forged)

    def test_no_hash_only_fallback_on_windows10(self):
        """A listed SHA-1 signer whose root this machine lacks: its chain
        fails, and Windows 10 does not try the file hash alone."""
        with harness.other_prefix(PREFIXES["no_root"], trust_roots=False):
            package = harness.windows_path(self.package(
                "browser_setup", signer="signer_sha1"))
            set_windows_version("win10")
            result = verify(package)
            self.check(("Windows 10: no fallback", False, "hash", None),
                       result)
            self.assertEqual(result.reports[-1][1]["error_code"],
                             str(CERT_E_UNTRUSTEDROOT))
            self.assertFalse(any("additional sha256" in text
                                 for _, _, text in result.logs))

    def test_platform_accepting_untrusted_chain(self):
        """Wine's WinVerifyTrust passes a SHA-256 signer whose root is not
        trusted; then the list entry must carry the signer's key."""
        with harness.other_prefix(PREFIXES["no_root"], trust_roots=False):
            set_windows_version("win10")
            rows = [
                (("list with keys", True, "ok_sha256", None), "browser_setup"),
                (("list without keys", False, "pub_key",
                  "Public key is not match. "), "ids_only"),
            ]
            for row, name in rows:
                with self.subTest(row[0]):
                    self.check(row, verify(harness.windows_path(
                        self.package(name))))


class BeyondWineTest(TrustTestBase):
    """Rows that Wine's WinVerifyTrust cannot show to the end; CTest runs
    them as an entry of their own, reported as skipped with the reasons
    while Wine behaves so."""

    def test_hash_only_fallback_on_windows7(self):
        """The same package on Windows 7 passes on its file hash alone, and
        the list entry's key matches."""
        with harness.other_prefix(PREFIXES["no_root"], trust_roots=False):
            package = harness.windows_path(self.package(
                "browser_setup", signer="signer_sha1"))
            set_windows_version("win7")
            result = verify(package)
            texts = [text for _, _, text in result.logs]
            self.assertIn("Start additional sha256 verification. %s Error "
                          "code: %d" % (package, CERT_E_UNTRUSTEDROOT), texts)
            report = result.reports[-1][1]
            self.assertEqual(report["extended_check"], "1")
            self.assertEqual(report["error_code_original"],
                             str(CERT_E_UNTRUSTEDROOT))
            self.assertTrue(report["win_version"].startswith("6.1."))
            if any(t.startswith("Extended verification failed. ")
                   for t in texts):
                self.skipTest(
                    "Wine's WinVerifyTrust ignores WTD_HASH_ONLY_FLAG: the "
                    "hash-only check fails like the full one, so the "
                    "Windows 7 answer (trusted, error_type ok) cannot be "
                    "shown; trust_decision_unittest covers it")
            self.check(("Windows 7: hash-only fallback", True, "ok", None),
                       result)

    def test_nested_signatures(self):
        rows = [
            ("SHA-1 listed, nested SHA-256 not listed", "sha1_only",
             "signer_sha1", "signer", False, "find"),
            ("SHA-1 listed, nested SHA-256 listed", "browser_setup",
             "signer_sha1", "signer", True, "ok_sha256"),
            ("SHA-256 not listed, nested SHA-1 listed", "sha1_only",
             "signer", "signer_sha1", False, "s2_fail_ignore_s1"),
        ]
        # (name, list, primary signer, nested signer, answer, error_type)
        for row in rows:
            with self.subTest(row[0]):
                self.skipTest(WINE_IGNORES_INDEX)


def main():
    """Runs TrustTest, or the class named as the argument. A run whose
    tests all passed or were skipped, with at least one skip, ends with
    CTest's skip code when the class is BeyondWineTest."""
    name = sys.argv[1] if len(sys.argv) > 1 else "TrustTest"
    tests = unittest.defaultTestLoader.loadTestsFromName(name,
                                                         sys.modules[__name__])
    result = unittest.TextTestRunner(verbosity=2).run(tests)
    if not result.wasSuccessful():
        sys.exit(1)
    if name == "BeyondWineTest" and result.skipped:
        print("SKIPPED: " + "; ".join(sorted({r for _, r in result.skipped})))
        sys.exit(125)


if __name__ == "__main__":
    main()
