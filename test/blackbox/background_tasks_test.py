"""The variations task through the installer's own code (download_tool.exe)
under Wine, over HTTPS from the local services on ports of its own: the
seed's body and headers as saved for the setup, and an answer without a
signature."""

import base64
import json
import os
import random
import shutil
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import wine_harness as h  # noqa: E402

TOOL = os.environ.get("LITE_DOWNLOAD_TOOL_EXE", "")
SEED_PATH = "/content/get/experiments/browser.proto"


class VariationsTaskTest(unittest.TestCase):

    @classmethod
    def setUpClass(cls):
        sys.path.insert(0, os.path.join(h.REPO, "tools", "local_services"))
        import client  # noqa: E402
        cls.dir = tempfile.mkdtemp(prefix="lite-tasks")
        root = os.path.join(cls.dir, "root")
        cls.seed = os.urandom(70000) + b"\0"
        target = os.path.join(root, "content", SEED_PATH.lstrip("/"))
        os.makedirs(os.path.dirname(target))
        with open(target, "wb") as f:
            f.write(cls.seed)
        h.trust_development_roots()
        # Ports of our own: the build's fixed ports belong to other tests.
        error = None
        for _ in range(10):
            try:
                cls.services = client.start(
                    root, os.path.join(cls.dir, "requests.jsonl"),
                    os.path.join(cls.dir, "faults.json"), h.TLS_CERT,
                    h.TLS_KEY, port_offset=random.randrange(2000, 14000, 10))
                break
            except RuntimeError as e:
                error = e
        else:
            raise error
        cls.saved = os.path.join(cls.dir, "variations.json")

    @classmethod
    def tearDownClass(cls):
        cls.services.stop()
        shutil.rmtree(cls.dir, ignore_errors=True)

    def setUp(self):
        self.services.set_faults({})
        self.services.clear_requests()

    def run_task(self):
        if os.path.exists(self.saved):
            os.remove(self.saved)
        url = self.services.url("content", SEED_PATH) + "?brand=b&uid=1"
        result = h.wine([TOOL, "variations", url,
                         h.windows_path(self.saved)], timeout=120)
        self.assertIn("result=", result.stdout, result.stderr)
        return result.returncode

    def test_seed_and_headers_are_saved(self):
        headers = {"X-Seed-Signature": "MEQCIF/+sig==",
                   "Last-Modified": "Mon, 07 Dec 2026 08:00:00 GMT"}
        cases = [
            # extra headers, expected country
            (dict(headers, **{"X-Country": "nl"}), "nl"),
            (headers, ""),
        ]
        for extra, country in cases:
            with self.subTest(headers=extra):
                self.services.set_faults(
                    {"content:" + SEED_PATH: {"headers": extra}})
                self.assertEqual(self.run_task(), 0)
                with open(self.saved, "rb") as f:
                    text = f.read().decode()
                self.assertEqual(list(json.loads(text).items()), [
                    ("variations_seed_base64",
                     base64.b64encode(self.seed).decode()),
                    ("variations_seed_signature", "MEQCIF/+sig=="),
                    ("variations_last_modified_time",
                     "Mon, 07 Dec 2026 08:00:00 GMT"),
                    ("variations_country", country)])
                self.assertTrue(text.startswith(
                    '{"variations_seed_base64": "'))
        self.assertEqual(
            [r["raw_path"] for r in self.services.requests("content")],
            [SEED_PATH + "?brand=b&uid=1"] * 2)

    def test_no_file_without_signature_or_body(self):
        cases = [
            {"content:" + SEED_PATH: {"headers": {"X-Country": "nl"}}},
            {"content:" + SEED_PATH: {
                "status": 503, "headers": {"X-Seed-Signature": "s"}}},
        ]
        for faults in cases:
            with self.subTest(faults=faults):
                self.services.set_faults(faults)
                self.assertEqual(self.run_task(), 1)
                self.assertFalse(os.path.exists(self.saved))


if __name__ == "__main__":
    h.exit_unless_wine_available()
    unittest.main(verbosity=2)
