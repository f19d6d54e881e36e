"""The elevation handshake between two real processes under Wine: a first
installer (test/helpers/elevation_parent.cc, which drives the controller's
own operations) starts the real installer's elevated copy, writes the
delayed parameters block and hands the setup's run over; the copy's log,
its exit code and the setup's recorded command line are checked, for
success and for each fault. Wine has no elevation prompt: "runas" starts
the program, and its user is in the Administrators group."""

import os
import re
import shutil
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import wine_harness as h  # noqa: E402
from install_test import parse_switches  # noqa: E402

PARENT = os.path.join(os.path.dirname(h.INSTALLER), "elevation_parent.exe")
PACKAGE_PATH = "/browser/zarvex/browser-setup.arc"


def results(line):
    return dict(part.split("=", 1) for part in line.split())


class ElevationTest(unittest.TestCase):

    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.mkdtemp(prefix="lite-elevation")
        cls.archive = os.path.join(cls.dir, "zb1234.tmp")
        shutil.copy(os.path.join(os.path.dirname(h.INSTALLER),
                                 "browser-setup.arc"), cls.archive)
        cls.record = os.path.join(cls.dir, "setup_command_line.txt")

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.dir, ignore_errors=True)

    def setUp(self):
        h.wine(["taskkill", "/f", "/im", "lite_installer.exe"])
        if os.path.exists(self.record):
            os.remove(self.record)
        with open(h.log_path(), "wb"):
            pass
        h.EXTRA_ENV.clear()
        h.EXTRA_ENV["LITE_SETUP_STUB_RECORD_FILE"] = h.windows_path(
            self.record)

    def tearDown(self):
        h.EXTRA_ENV.clear()

    def run_parent(self, mode, archive=None, stop_ms=None, timeout=180):
        args = [h.windows_path(h.INSTALLER), mode]
        if archive is not None:
            args.append(archive)
        if stop_ms is not None:
            args.append(str(stop_ms))
        result = h.wine([h.LAUNCHER, h.windows_path(PARENT)] + args,
                        timeout=timeout)
        match = re.search(r"need=.*", result.stdout)
        self.assertIsNotNone(match, result.stdout + result.stderr)
        code = re.search(r"exit_code=(-?\d+)", result.stdout)
        return results(match.group(0)), int(code.group(1)) if code else None

    def copy_log(self, timeout=None, until=None):
        """The copy's records (it logs as ExecuteAsAdmin and below)."""
        def ready():
            text = h.read_log()
            return until is None or until in text
        h.wait_for(ready, timeout=timeout or 60)
        return [r for r in h.parse_lines(h.read_log()) if "text" in r]

    def texts(self, records):
        return [r["text"] for r in records]

    def test_the_copy_runs_the_setup_with_the_blocks_values(self):
        out, code = self.run_parent("run", h.windows_path(self.archive))
        self.assertEqual(code, 0)
        self.assertEqual(out["need"], "1")
        self.assertEqual(out["started"], "1")
        self.assertEqual(out["run"], "1", h.read_log()[-3000:])
        self.assertIn("40", out["progress"].split(","))
        self.assertEqual(out["cancel_visible"], "0")
        self.assertEqual(out["failure_reason"], "0")
        texts = self.texts(self.copy_log(until="RunModule results"))
        self.assertIn("Start installer as admin", texts)
        self.assertIn("RunModule results: success=1", texts)
        with open(self.record, encoding="utf-8") as f:
            command_line = f.read().strip()
        self.assertTrue(command_line.startswith(
            '"%s"' % h.windows_path(self.archive)), command_line)
        switches = parse_switches(command_line)
        self.assertIn("send-statistics", switches)
        self.assertEqual(switches["install-start-time-no-uac"], "123456789")
        self.assertEqual(switches["histogram-download-time"], "3")
        self.assertEqual(switches["source"], "lite")
        self.assertNotEqual(switches.get("progress-window", "0"), "0")
        self.assertNotIn("fake_browser_arc", command_line)
        self.assertNotIn("run-as-admin", switches)

    def test_faults(self):
        missing = h.windows_path(os.path.join(self.dir, "absent.arc"))
        cases = [
            # (mode, archive, stub env, expected parent results, copy line)
            ("run", h.windows_path(self.archive),
             {"LITE_SETUP_STUB_EXIT_CODE": "7"},
             {"run": "0", "failure_reason": "5"},
             "RunModule results: success=0"),
            ("run", missing, {}, {"run": "0"},
             "Browser archive %s does not exist" % missing),
            ("abort", None, {}, {},
             "Installer started as admin has been unexpectedly synced, wr=1"),
        ]
        for mode, archive, env, expected, line in cases:
            with self.subTest(mode=mode, archive=archive, env=env):
                self.setUp()
                h.EXTRA_ENV.update(env)
                out, code = self.run_parent(mode, archive)
                self.assertEqual(code, 0)
                for key, value in expected.items():
                    self.assertEqual(out[key], value, out)
                self.assertIn(line, self.texts(self.copy_log(until=line)))
                if mode == "abort":
                    self.assertLess(int(out["destroy_ms"]), 25000)

    def test_the_first_installer_dies_while_the_copy_waits(self):
        parent = h.Run(PARENT, [h.windows_path(h.INSTALLER), "hold"])
        try:
            # Once the copy waits, the first installer is killed.
            self.copy_log(until="Start installer as admin", timeout=60)
            time.sleep(1 * h.TIME_SCALE)
        finally:
            parent.kill()
        line = "Installer started as admin has been unexpectedly synced, wr=2"
        self.assertIn(line, self.texts(self.copy_log(
            until=line, timeout=30)))

    def test_a_copy_without_a_first_installer(self):
        code, _ = h.run_installer("--run-as-admin",
                                  "--parent-installer-process-id=abc",
                                  "--setup-cmd-line=fake_browser_arc")
        self.assertEqual(code, -1)
        texts = self.texts(self.copy_log(until="unexpectedly synced"))
        self.assertIn("Suspicious process id=abc", texts)
        self.assertIn("Installer started as admin has been unexpectedly "
                      "synced, wr=4294967295", texts)

    def test_a_copy_that_hangs_is_terminated_after_the_grace_period(self):
        # The setup takes two minutes; the first installer stops waiting
        # after three seconds, then waits 30 s for its copy.
        h.EXTRA_ENV["LITE_SETUP_STUB_DELAY_MS"] = "120000"
        out, code = self.run_parent("stop", h.windows_path(self.archive),
                                    stop_ms=3000)
        self.assertEqual(out["run"], "0")
        self.assertGreaterEqual(int(out["destroy_ms"]), 29000)
        self.assertLess(int(out["destroy_ms"]), 30000 + 15000 * h.TIME_SCALE)
        h.wine(["taskkill", "/f", "/im", "zb1234.tmp"])


if __name__ == "__main__":
    h.exit_unless_wine_available()
    unittest.main()
