"""Whole silent installations under Wine against the local services: the
signed stand-in setup is downloaded, verified, locked and run; its recorded
command line, the statistics requests, the report request, the registry
values and the temporary directory are checked, for success and faults."""

import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest
import urllib.parse

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import wine_harness as h  # noqa: E402

PACKAGE_PATH = "/browser/zarvex/browser-setup.arc"
SEED_PATH = "/content/get/experiments/browser.proto"
REGISTRY_VALUES = ("InstallerData", "ClidsFile", "ClidsSearchbandFile",
                   "ZarvexWebsiteIconFile", "brand", "BrandFile")


def parse_switches(command_line):
    """--name=value / --name switches of a recorded command line."""
    switches = {}
    parts, current, quoted = [], "", False
    for c in command_line:
        if c == '"':
            quoted = not quoted
        elif c == " " and not quoted:
            if current:
                parts.append(current)
            current = ""
        else:
            current += c
    if current:
        parts.append(current)
    for part in parts[1:]:
        if part.startswith("--"):
            name, _, value = part[2:].partition("=")
            switches[name] = value
    return switches


class InstallTest(unittest.TestCase):

    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.mkdtemp(prefix="lite-install")
        cls.root = os.path.join(cls.dir, "root")
        cls.package = os.path.join(cls.root, PACKAGE_PATH.lstrip("/"))
        os.makedirs(os.path.dirname(cls.package))
        with open(os.path.join(os.path.dirname(h.INSTALLER),
                               "browser-setup.arc"), "rb") as f:
            cls.signed = f.read()
        cls.services = h.start_local_services(cls.root, cls.dir)
        cls.record = os.path.join(cls.dir, "setup_command_line.txt")

    @classmethod
    def tearDownClass(cls):
        cls.services.stop()
        shutil.rmtree(cls.dir, ignore_errors=True)

    def run_installer(self, package=None, stub_env=None, faults=None,
                      args=()):
        with open(self.package, "wb") as f:
            f.write(package if package is not None else self.signed)
        h.wine(["taskkill", "/f", "/im", "lite_installer.exe"])
        self.services.set_faults(faults or {})
        self.services.clear_requests()
        if os.path.exists(self.record):
            os.remove(self.record)
        h.reg_delete_values(REGISTRY_VALUES + ("install_stat",))
        # Start from an empty temporary directory (but the log).
        temp = h.temp_directory()
        for name in os.listdir(temp):
            path = os.path.join(temp, name)
            if os.path.isfile(path) and not name.startswith("lite_installer"):
                os.remove(path)
        self.before = set(os.listdir(temp))
        h.EXTRA_ENV.clear()
        h.EXTRA_ENV.update({"LITE_SETUP_STUB_RECORD_FILE":
                            h.windows_path(self.record)})
        h.EXTRA_ENV.update(stub_env or {})
        try:
            started = time.monotonic()
            code, _ = h.run_installer("--silent", *args, timeout=300)
            self.elapsed = time.monotonic() - started
        finally:
            h.EXTRA_ENV.clear()
        self.services.requests()  # the last requests are recorded
        return code

    def setup_command_line(self):
        if not os.path.exists(self.record):
            return None
        with open(self.record, encoding="utf-8") as f:
            return f.read().strip()

    def stat_events(self):
        events = []
        for request in self.services.requests("stats"):
            fields = h.stat_fields(request["raw_path"])
            events.append((fields.get("action"), fields.get("stage")))
        return events

    def new_temp_files(self):
        now = set(os.listdir(h.temp_directory()))
        return sorted(name for name in now - self.before
                      if not name.startswith("lite_installer"))

    def test_elevation_mode_on_the_setup_command_line(self):
        # "uac" 2: the browser asks for elevation at its first start; a
        # system-level installation ignores "uac"; a silent installation
        # never starts an elevated copy.
        cases = [(["--distr-info-params=uac=2"], True),
                 (["--distr-info-params=uac=2", "--system-level"], False),
                 (["--distr-info-params=uac=1"], False)]
        for args, expected in cases:
            with self.subTest(args=args):
                before = len(h.read_log())
                self.assertEqual(self.run_installer(args=args), 0,
                                 h.read_log()[-3000:])
                switches = parse_switches(self.setup_command_line())
                self.assertEqual("show-uac-at-browser-start" in switches,
                                 expected)
                self.assertNotIn("Start installer as admin",
                                 h.read_log()[before:])

    def test_successful_installation(self):
        self.assertEqual(self.run_installer(), 0, h.read_log()[-3000:])
        switches = parse_switches(self.setup_command_line())
        temp = "C:\\users\\"  # the prefix's temporary directory
        self.assertEqual(switches["progress-window"], "0")
        self.assertIn("verbose-logging", switches)
        self.assertEqual(switches["brand-name"], "zarvex")
        self.assertEqual(switches["source"], "lite")
        self.assertIn("silent", switches)
        self.assertTrue(switches["installerdata"].startswith(temp))
        self.assertTrue(switches["installerdata"].endswith(
            "\\master_preferences"))
        self.assertTrue(switches["clids-file"].endswith("\\clids.xml"))
        self.assertTrue(switches["brand-package"].endswith("\\BrandFile"))
        self.assertNotIn("ok-button-pressed-time", switches)
        self.assertTrue(int(switches["install-start-time-no-uac"]) > 0)
        self.assertNotIn("partner-package", switches)
        # The background tasks ran and handed their result file on.
        self.assertRegex(switches["abt-update-path"], r"\\bgt\w+\.tmp$")
        self.assertTrue(self.services.requests("experiments"))

        self.assertEqual(self.stat_events(), [
            ("installer_started", None), ("download", "started"),
            ("download_attempt", None), ("download", "finished"),
            ("setup", "setup_exe_launched"), ("setup", "setup_exe_exited")])
        report = self.services.requests("report")
        self.assertEqual(len(report), 1)
        query = urllib.parse.parse_qs(report[0]["query"])
        self.assertEqual(query["result"], ["success"])
        self.assertRegex(query["ui"][0], r"^[0-9A-F-]{36}$")
        self.assertIn("time", query)
        self.assertIn("download_time", query)

        # Success removes the values the setup no longer needs.
        for name in REGISTRY_VALUES:
            self.assertIsNone(h.reg_query(name), name)
        self.assertEqual(h.reg_query("lang"), "en")
        self.assertIsNotNone(h.reg_query("AbtConfigResourceFile"))
        # Only the data files handed to the setup stay: no package file, no
        # package copies, no background task results.
        self.assertEqual(self.new_temp_files(), [
            "abt_config_resource", "clids.xml", "clids_searchband.xml",
            "master_preferences"])

    def test_faults(self):
        tampered = bytearray(self.signed)
        tampered[len(tampered) // 2] ^= 0xFF
        cases = [
            # name, package, stub environment, expected exit code,
            # setup ran, report result
            ("tampered package", bytes(tampered), {}, 402, False, "failed"),
            ("setup exits 7", None, {"LITE_SETUP_STUB_EXIT_CODE": "7"}, 7,
             True, "failed"),
            ("setup exits 3", None, {"LITE_SETUP_STUB_EXIT_CODE": "3"}, 3,
             True, "success"),
        ]
        for name, package, env, code, ran, result in cases:
            with self.subTest(name):
                self.assertEqual(self.run_installer(package, env), code,
                                 h.read_log()[-3000:])
                self.assertEqual(self.setup_command_line() is not None, ran)
                report = self.services.requests("report")
                self.assertEqual(
                    urllib.parse.parse_qs(report[-1]["query"])["result"],
                    [result])
                if result == "failed":
                    # A failed lite installation keeps its registry values.
                    for value in REGISTRY_VALUES:
                        self.assertIsNotNone(h.reg_query(value), value)
                events = self.stat_events()
                if not ran:
                    self.assertIn(("verification", "error"), events)
                    self.assertNotIn(("setup", "setup_exe_launched"), events)
                self.assertEqual(
                    [n for n in self.new_temp_files() if n.startswith("zb")],
                    [])

    def test_background_hosts_never_hold_the_installer(self):
        seed = os.path.join(self.root, "content", SEED_PATH.lstrip("/"))
        os.makedirs(os.path.dirname(seed), exist_ok=True)
        with open(seed, "wb") as f:
            f.write(os.urandom(300000))
        cases = [
            ("variations stall in the body",
             {"content:" + SEED_PATH: {"stall": 120, "stall_after": 65536}}),
            # In memory at most 16 MiB are kept, then the task gives up.
            ("variations body never ends",
             {"content:" + SEED_PATH: {"endless": True}}),
            ("experiments headers trickle",
             {"experiments:/ab/get": {"trickle": 1.0}}),
            ("statistics host never answers",
             {"stats:/installstats/*": {"hang": 120}}),
        ]
        try:
            for name, faults in cases:
                with self.subTest(name):
                    code = self.run_installer(faults=faults)
                    elapsed = self.elapsed
                    print("%s: %.1f s" % (name, elapsed))
                    self.assertEqual(code, 0, h.read_log()[-3000:])
                    self.assertIsNotNone(self.setup_command_line())
                    # A whole run takes a few seconds; the hosts would hold
                    # it for minutes.
                    self.assertLess(elapsed, 30 * h.TIME_SCALE)
                    self.assertNotIn("terminate", h.read_log()[-5000:])
        finally:
            os.remove(seed)

    def test_download_failing_everywhere(self):
        code = self.run_installer(faults={"download:" + PACKAGE_PATH:
                                          {"status": 404}})
        self.assertEqual(code, 401)
        self.assertIsNone(self.setup_command_line())
        self.assertEqual(len(self.services.requests("download")), 6)
        self.assertEqual(
            [n for n in self.new_temp_files() if n.startswith("zb")], [])


class LongTemporaryDirectoryTest(unittest.TestCase):
    """A %TEMP% too long for temporary file names (GetTempFileNameW takes a
    folder of at most 246 characters), and one too long to be used at all
    (260 characters or more), in a prefix of their own: no package file is
    made, nothing is written relative to the current directory, and the
    installation ends before the download."""

    PREFIX = os.path.join(os.path.dirname(h.PREFIX), "wineprefix-long-temp")

    @classmethod
    def setUpClass(cls):
        cls.services = h.SetupPackageServices()
        cls.dir = tempfile.mkdtemp(prefix="lite-long-temp")
        cls.record = os.path.join(cls.dir, "setup_command_line.txt")

    @classmethod
    def tearDownClass(cls):
        cls.services.stop()
        shutil.rmtree(cls.dir, ignore_errors=True)

    def test_no_temporary_file_and_no_relative_paths(self):
        drive_c = os.path.join(self.PREFIX, "drive_c")
        cwd = os.path.join(drive_c, "lite-cwd")
        cases = [
            # name, folders of %TEMP% below C:\, where the log goes
            ("254 characters", ["x" * 250], "temp"),
            # No temporary directory: the log goes to the root of the
            # current drive.
            ("274 characters", ["x" * 200, "y" * 70], "drive root"),
        ]
        env = {"LITE_SETUP_STUB_RECORD_FILE": h.windows_path(self.record)}
        with h.other_prefix(self.PREFIX, env):
            for name, folders, log_place in cases:
                with self.subTest(name):
                    temp = os.path.join(drive_c, *folders)
                    os.makedirs(temp, exist_ok=True)
                    for variable in ("TEMP", "TMP"):
                        result = h.wine(["reg", "add", "HKCU\\Environment",
                                         "/v", variable, "/d",
                                         "C:\\" + "\\".join(folders), "/f"])
                        self.assertEqual(result.returncode, 0, result.stderr)
                    log = os.path.join(
                        temp if log_place == "temp" else drive_c,
                        "lite_installer.log")
                    for path in (log, self.record):
                        if os.path.exists(path):
                            os.remove(path)
                    shutil.rmtree(cwd, ignore_errors=True)
                    os.makedirs(cwd)

                    code, _ = h.run_installer(
                        "--silent", "--distr-info-params=a=1", cwd=cwd,
                        timeout=300)
                    text = h.read_log(log)
                    self.assertEqual(code, 400, text[-3000:])
                    self.assertIn("Cannot obtain temp file.", text)
                    self.assertFalse(os.path.exists(self.record))
                    self.assertEqual(os.listdir(cwd), [])
                    self.assertEqual([n for n in os.listdir(temp)
                                      if n.startswith("zb")], [])


class ForgedChainTest(unittest.TestCase):
    """The stand-in package re-signed by a home-made chain that copies the
    development CA's and signer's names and serial numbers (tools/pki,
    forger_*), in a prefix of its own where that chain's root was added to
    the user's trusted roots, as a program running as the user can do. The
    package's trusted list carries the signer's key: the forged package is
    refused and never runs, while the genuine one installs."""

    PREFIX = os.path.join(os.path.dirname(h.PREFIX), "wineprefix-forged-root")

    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.mkdtemp(prefix="lite-forged")
        cls.root = os.path.join(cls.dir, "root")
        cls.package = os.path.join(cls.root, PACKAGE_PATH.lstrip("/"))
        os.makedirs(os.path.dirname(cls.package))
        cls.genuine = os.path.join(os.path.dirname(h.INSTALLER),
                                   "browser-setup.arc")
        code_signing = os.path.join(h.PKI, "code_signing")
        unsigned = os.path.join(cls.dir, "unsigned.arc")
        cls.forged = os.path.join(cls.dir, "forged.arc")
        for args in (["remove-signature", "-in", cls.genuine, "-out",
                      unsigned],
                     ["sign", "-certs",
                      os.path.join(code_signing, "forger_signer_chain.pem"),
                      "-key", os.path.join(code_signing, "forger_signer.key"),
                      "-h", "sha256", "-in", unsigned, "-out", cls.forged]):
            result = subprocess.run(["osslsigncode"] + args,
                                    capture_output=True, text=True)
            assert result.returncode == 0, result.stdout + result.stderr
        cls.forger_root = os.path.join(code_signing, "forger_root.pem")
        cls.services = h.start_local_services(cls.root, cls.dir)
        cls.record = os.path.join(cls.dir, "setup_command_line.txt")

    @classmethod
    def tearDownClass(cls):
        cls.services.stop()
        shutil.rmtree(cls.dir, ignore_errors=True)

    def test_forged_chain_with_a_trusted_root_is_refused(self):
        env = {"LITE_SETUP_STUB_RECORD_FILE": h.windows_path(self.record)}
        with h.other_prefix(self.PREFIX, env):
            tool = os.environ.get("LITE_ADD_ROOT_CERT_EXE") or os.path.join(
                os.path.dirname(h.INSTALLER), "add_root_cert.exe")
            result = h.wine([tool, h.windows_path(self.forger_root)])
            self.assertEqual(result.returncode, 0,
                             result.stdout + result.stderr)
            cases = [
                # name, package, exit code, setup ran
                ("development chain", self.genuine, 0, True),
                ("forged chain, its root trusted", self.forged, 402, False),
            ]
            for name, package, code, ran in cases:
                with self.subTest(name):
                    shutil.copyfile(package, self.package)
                    for path in (self.record, h.log_path()):
                        if os.path.exists(path):
                            os.remove(path)
                    exit_code, _ = h.run_installer("--silent", timeout=300)
                    log = h.read_log()
                    self.assertEqual(exit_code, code, log[-3000:])
                    self.assertEqual(os.path.exists(self.record), ran)
                    if not ran:
                        self.assertIn("Public key is not match. ", log)


if __name__ == "__main__":
    h.exit_unless_wine_available()
    unittest.main(verbosity=2)
