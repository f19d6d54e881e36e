"""The stand-in setup program does what its environment asks: records its
command line, posts the registered messages to the window named by
--progress-window, leaves the browser's message window behind for a while
and exits with the code it was given. setup_stub_probe.exe plays the
installer's window."""

import os
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(__file__))
import wine_harness as harness  # noqa: E402

SETUP_PACKAGE = os.environ.get("LITE_SETUP_PACKAGE", "")
PROBE = os.environ.get("LITE_SETUP_STUB_PROBE_EXE", "")


def probe(env, *args):
    """Runs the signed stand-in under the probe; returns (messages, exit
    code, whether the browser window exists) and the seconds it took."""
    start = time.time()
    result = subprocess.run(
        [harness.WINE_RUN, "--prefix", harness.PREFIX, PROBE,
         harness.windows_path(SETUP_PACKAGE)] + list(args),
        capture_output=True, text=True, timeout=120,
        env=dict(os.environ, **env))
    seconds = time.time() - start
    messages, exit_code, browser = [], None, None
    for line in result.stdout.splitlines():
        if line.startswith("message "):
            _, name, wparam = line.split()
            messages.append((name, int(wparam)))
        elif line.startswith("exit_code="):
            exit_code = int(line.split("=", 1)[1])
        elif line.startswith("browser_window="):
            browser = line.endswith("1")
    if exit_code is None:
        raise AssertionError(result.stdout + result.stderr)
    return (messages, exit_code, browser), seconds


class SetupStubTest(unittest.TestCase):

    @classmethod
    def setUpClass(cls):
        harness.exit_unless_wine_available()

    def test_scenario_from_the_environment(self):
        record = os.path.join(tempfile.mkdtemp(prefix="stub"), "record.txt")
        env = {
            "LITE_SETUP_STUB_RECORD_FILE": harness.windows_path(record),
            "LITE_SETUP_STUB_DELAY_MS": "700",
            "LITE_SETUP_STUB_MESSAGES":
                "zarvex.lite.set_install_progress:5,"
                "zarvex.lite.set_install_progress:7,"
                "zarvex.lite.set_import_progress:50,"
                "zarvex.lite.close_window",
            "LITE_SETUP_STUB_BROWSER_WINDOW_SECONDS": "4",
            "LITE_SETUP_STUB_EXIT_CODE": "1234567",
        }
        outcome, seconds = probe(env, "--verbose-logging",
                                 "--brand-name=zarvex test")
        self.assertEqual(outcome, ([
            ("zarvex.lite.set_install_progress", 5),
            ("zarvex.lite.set_install_progress", 7),
            ("zarvex.lite.set_import_progress", 50),
            ("zarvex.lite.close_window", 0)], 1234567, True))
        self.assertGreaterEqual(seconds, 0.7)
        with open(record, encoding="utf-8") as f:
            lines = f.read().splitlines()
        self.assertEqual(len(lines), 1, lines)
        self.assertIn('--verbose-logging "--brand-name=zarvex test" '
                      '--progress-window=', lines[0])

        # The browser's window outlives the setup, then goes away.
        time.sleep(5)
        outcome, _ = probe({"LITE_SETUP_STUB_EXIT_CODE": "-7"})
        self.assertEqual(outcome, ([], -7, False))


if __name__ == "__main__":
    unittest.main()
