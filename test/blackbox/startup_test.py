"""Black-box tests of the installer's start-up under Wine."""

import hashlib
import os
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import wine_harness as h  # noqa: E402


class StartupTest(unittest.TestCase):

    def setUp(self):
        # An instance left over by an earlier run would turn every start
        # into a second instance.
        h.wine(["taskkill", "/f", "/im", "lite_installer.exe"])
        for name in ("lite_installer.log", "lite_installer_old.log"):
            try:
                os.remove(os.path.join(h.temp_directory(), name))
            except FileNotFoundError:
                pass

    def records(self):
        records = h.parse_lines(h.read_log())
        broken = [r["raw"] for r in records if "raw" in r]
        self.assertEqual(broken, [], "lines outside the log format")
        return records

    def texts(self, pid=None):
        return [r["text"] for r in self.records()
                if pid is None or int(r["pid"]) == pid]

    def test_interface_probe_answers_and_exits(self):
        for args in (["--check-the-interface"],
                     ["/CHECK-THE-INTERFACE", "--silent", "--brand-name=x"]):
            code, pid = h.run_installer(*args)
            # Wine has none of the internal association interfaces.
            self.assertEqual(code, 701)
            texts = self.texts(pid)
            self.assertEqual(texts, [
                "-------------------------------------- Start install.",
                "Handled non install cmd line option by win10 default browser "
                "helper, ret code: %d" % code])
            functions = {r["function"] for r in self.records()}
            self.assertEqual(functions, {"wWinMain"})

    def test_silent_run_follows_the_sequence(self):
        code, pid = h.run_installer("--silent", "--brand-name=partner")
        self.assertEqual(code, 0)
        texts = self.texts(pid)
        self.assertEqual(texts[:4], [
            "-------------------------------------- Start install.",
            "Runned in secure environment.",
            "Lite installer mode.",
            "Installer process id: %d" % pid])
        self.assertTrue(texts[4].startswith("Temporary path is: C:\\"))
        self.assertTrue(texts[4].endswith("\\"))
        self.assertIn("Installing in silent mode.", texts)
        self.assertEqual(texts[-1], "Installer exit with code: 0")

    def test_malformed_command_lines_do_not_crash(self):
        for args in (["--silent", "", "   ", "--=", "-", "/", "noprefix"],
                     ["--silent", '"unterminated'],
                     ["--semi-silent", "--x=1", "--x=2"]):
            code, _ = h.run_installer(*args)
            self.assertEqual(code, 0, args)

    def test_log_rotates_at_one_mebibyte(self):
        path = h.log_path()
        filler = ("x" * 1023 + "\n").encode() * 1024  # exactly 1 MiB
        with open(path, "wb") as f:
            f.write(filler)
        code, pid = h.run_installer("--silent")
        self.assertEqual(code, 0)
        with open(os.path.join(h.temp_directory(), "lite_installer_old.log"),
                  "rb") as f:
            self.assertEqual(f.read(), filler)
        texts = self.texts()
        self.assertEqual(texts[0],
                         "-------------------------------------- Start install.")
        self.assertEqual(texts[-1], "Installer exit with code: 0")

    def test_held_log_mutex_gives_one_lock_failure_notice(self):
        # The mutex name is derived from the log path as the program sees it.
        code, pid = h.run_installer("--silent")
        temp = next(t[len("Temporary path is: "):] for t in self.texts(pid)
                    if t.startswith("Temporary path is: "))
        windows_log = temp + "\\lite_installer.log"
        name = "relupdater log " + hashlib.md5(
            windows_log.encode("utf-8")).hexdigest()
        os.remove(h.log_path())

        holder = subprocess.Popen(
            [h.WINE_RUN, "--prefix", h.PREFIX, h.HELPER,
             "--hold-mutex=" + name,
             "--hold-ms=%d" % (6000 * h.TIME_SCALE)],
            stdout=subprocess.PIPE, text=True)
        self.assertEqual(holder.stdout.readline().strip(), "held")
        code, pid = h.run_installer("--check-the-interface")
        holder.wait(timeout=60)
        self.assertEqual(code, 701)
        content = h.read_log()
        notice = "LOGGING: Failed to lock log file " + windows_log
        self.assertEqual(content.count(notice), 1, content)
        self.assertLess(content.index(notice),
                        content.index("Start install."))
        self.assertIn("ret code: %d" % code, content)

    @unittest.skipUnless(os.environ.get("DISPLAY"),
                         "needs an X display (the test run starts Xvfb)")
    def test_second_instance_exits_with_600(self):
        first = h.Run(h.INSTALLER, [])
        self.assertIsNotNone(first.pid)
        self.addCleanup(first.kill)
        self.assertTrue(h.wait_for(
            lambda: "Installer process id: %d" % first.pid in h.read_log()),
            h.read_log())
        code, second_pid = h.run_installer("--brand-name=other")
        self.assertEqual(code, 600)
        second = self.texts(second_pid)
        self.assertEqual(second[-2:], [
            "Another installer instance is already running.",
            "Master installer process id: %d" % first.pid])
        self.assertNotIn("Temporary path is: ", "".join(second))

        # Closing the first instance's window cancels it.
        h.wine(["taskkill", "/pid", str(first.pid)])
        self.assertEqual(first.wait(timeout=60), 500)
        texts = self.texts(first.pid)
        self.assertIn("User cancelled installation.", texts)
        self.assertEqual(texts[-1], "Installer exit with code: 500")
        pids = {int(r["pid"]) for r in self.records()}
        self.assertEqual(pids, {first.pid, second_pid})


# The silent runs download the setup package: the local services serve it.
setUpModule = h.serve_setup_package
tearDownModule = h.stop_serving_setup_package


if __name__ == "__main__":
    h.exit_unless_wine_available()
    unittest.main(verbosity=2)
