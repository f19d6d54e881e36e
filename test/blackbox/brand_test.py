"""The brand record of the real installer under Wine: the default package
from its resources, and automatic detection for a Ukrainian user with a
Russian interface."""

import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import wine_harness as h  # noqa: E402

# The default package as built (res/brand/brand_config in a cabinet).
DEFAULT_PACKAGE = os.path.join(os.path.dirname(h.INSTALLER), "gen", "res",
                               "brand_package.cab")

LOG_BRAND_INFO_LABELS = [
    "Brand id: ", "Brand name: ", "Setup url: ", "Versioned setup url: ",
    "Setup url64: ", "Versioned setup url64: ", "Setup url32: ",
    "Default language: ", "Vessa install scenarios url: ",
    "Install slide url by default: ",
    "Install slide url if tagged installer: ", "Show international title: ",
    "Send browser's statistics: ", "Make browser default after import: ",
    "Preloaded wallpapers url: ", "Vessa taskbar shortcut promt: "]


def texts_of(pid):
    return [r["text"] for r in h.parse_lines(h.read_log())
            if "pid" in r and int(r["pid"]) == pid]


class BrandTest(unittest.TestCase):

    def clean(self):
        h.wine(["taskkill", "/f", "/im", "lite_installer.exe"])
        for name in ("lite_installer.log", "BrandFile", "PartnerFile"):
            path = os.path.join(h.temp_directory(), name)
            if os.path.exists(path):
                os.remove(path)

    @unittest.skipUnless(os.environ.get("DISPLAY"),
                         "needs an X display (the test run starts Xvfb)")
    def test_default_package_without_switches(self):
        self.clean()
        run = h.Run(h.INSTALLER, [])
        self.addCleanup(run.kill)
        self.assertIsNotNone(run.pid)
        # The record is logged after the package is read and once more
        # after the defaults; then the window waits.
        last = LOG_BRAND_INFO_LABELS[-1]
        self.assertTrue(h.wait_for(lambda: sum(
            t.startswith(last) for t in texts_of(run.pid)) == 2),
            h.read_log())
        records = [r for r in h.parse_lines(h.read_log())
                   if int(r["pid"]) == run.pid]
        final = [r["text"] for r in records
                 if r["function"] == "LogBrandInfo"][-16:]
        self.assertEqual([t[:len(label)] for t, label in
                          zip(final, LOG_BRAND_INFO_LABELS)],
                         LOG_BRAND_INFO_LABELS)
        self.assertEqual(final[0], "Brand id: zarvex")
        self.assertEqual(final[1], "Brand name: zarvex")
        self.assertRegex(final[2], r"^Setup url: https://[^/]+/browser/"
                                   r"zarvex/browser-setup\.arc$")
        texts = [r["text"] for r in records]
        self.assertIn("Fetching default package", texts)
        with open(DEFAULT_PACKAGE, "rb") as f:
            expected = f.read()
        with open(os.path.join(h.temp_directory(), "BrandFile"), "rb") as f:
            self.assertEqual(f.read(), expected)

    def test_auto_in_ukraine_with_a_russian_interface(self):
        prefix = h.PREFIX + "-ua-ru"
        with h.other_prefix(prefix, {"LC_ALL": "ru_RU.UTF-8"}):
            # Wine takes the interface language from the locale and resets
            # the region when the locale changes, so the region is set
            # after a first start in this locale.
            h.wine(["cmd", "/c", "exit"])
            h.wine(["reg", "add", "HKCU\\Control Panel\\International\\Geo",
                    "/v", "Nation", "/d", "241", "/f"])
            self.clean()
            code, pid = h.run_installer("--silent", "--brand-name=auto")
            self.assertEqual(code, 0, h.read_log()[-2000:])
            texts = texts_of(pid)
        for line in ("User region: UA", "User locale: ru",
                     "Detected brand-name: ua_ru",
                     "Fetching autodetected UA_RU package",
                     "Fetching default package"):
            self.assertIn(line, texts)
        self.assertLess(texts.index("Fetching autodetected UA_RU package"),
                        texts.index("Fetching default package"))
        self.assertIn("Brand id: zarvex", texts)
        self.assertIn("Default language: ru", texts)


# The silent runs download the setup package: the local services serve it.
setUpModule = h.serve_setup_package
tearDownModule = h.stop_serving_setup_package


if __name__ == "__main__":
    h.exit_unless_wine_available()
    unittest.main(verbosity=2)
