"""Tests of the local services (tools/local_services) over HTTPS with a
throw-away CA made here, driven by curl and http.client."""

import http.client
import os
import random
import shutil
import socket
import ssl
import subprocess
import sys
import tempfile
import time
import unittest

REPO = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
sys.path.insert(0, os.path.join(REPO, "tools", "local_services"))
import client  # noqa: E402

PKG = random.Random(7).randbytes(300 * 1024)
SMALL = b"small file\n"
SETTINGS = b'{"setting": 1}\n'


def openssl(*args):
    done = subprocess.run(["openssl"] + list(args), capture_output=True,
                          text=True)
    assert done.returncode == 0, done.stderr


def make_pki(folder):
    """A CA and a certificate for localhost signed by it."""
    ca_key, ca = os.path.join(folder, "ca.key"), os.path.join(folder, "ca.pem")
    key, csr = os.path.join(folder, "host.key"), os.path.join(folder, "h.csr")
    cert, ext = os.path.join(folder, "host.pem"), os.path.join(folder, "ext")
    openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
            "-subj", "/CN=Local Services Test CA", "-keyout", ca_key,
            "-out", ca, "-addext", "basicConstraints=critical,CA:TRUE",
            "-addext", "keyUsage=critical,keyCertSign,cRLSign")
    openssl("req", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=localhost",
            "-keyout", key, "-out", csr)
    with open(ext, "w") as f:
        f.write("subjectAltName=DNS:localhost\nextendedKeyUsage=serverAuth\n")
    openssl("x509", "-req", "-in", csr, "-CA", ca, "-CAkey", ca_key,
            "-CAcreateserial", "-days", "2", "-extfile", ext, "-out", cert)
    return ca, cert, key


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def start_services(folder, cert, key):
    """Starts the services on ports no one else here uses."""
    for _ in range(10):
        try:
            return client.start(
                os.path.join(folder, "root"), os.path.join(folder, "rec"),
                os.path.join(folder, "faults.json"), cert, key,
                port_offset=random.randrange(1000, 14000, 10))
        except RuntimeError as e:
            error = e
    raise error


def port_listens(port):
    with socket.socket() as s:
        return s.connect_ex(("127.0.0.1", port)) == 0


def alive(pid):
    """Whether the process runs (a zombie left to init does not count)."""
    try:
        with open("/proc/%d/stat" % pid) as f:
            return f.read().rsplit(")", 1)[1].split()[0] != "Z"
    except FileNotFoundError:
        return False


class LocalServicesTest(unittest.TestCase):

    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.mkdtemp(prefix="local_services")
        cls.ca, cls.cert, cls.key = make_pki(cls.dir)
        root = os.path.join(cls.dir, "root")
        write(os.path.join(root, "pkg.bin"), PKG)
        write(os.path.join(root, "sub", "small.txt"), SMALL)
        write(os.path.join(root, "config", "settings.json"), SETTINGS)
        write(os.path.join(cls.dir, "secret.txt"), b"outside the root")
        cls.services = start_services(cls.dir, cls.cert, cls.key)
        cls.tls = ssl.create_default_context(cafile=cls.ca)

    @classmethod
    def tearDownClass(cls):
        cls.services.stop()
        shutil.rmtree(cls.dir, ignore_errors=True)

    def setUp(self):
        self.services.set_faults({})
        self.services.clear_requests()

    def connect(self, role="download"):
        return http.client.HTTPSConnection(
            "localhost", self.services.ports[role], context=self.tls,
            timeout=20)

    def curl(self, url, *options, resume=False):
        """Runs curl (verifying the server with the test CA); returns its
        exit code, HTTP status and the body. With `resume`, curl carries on
        from the end of what the last call received."""
        out = os.path.join(self.dir, "curl.out")
        if os.path.exists(out) and not resume:
            os.remove(out)
        done = subprocess.run(
            ["curl", "-s", "--cacert", self.ca, "-o", out, "-w",
             "%{http_code}", "--max-time", "30"] + list(options) + [url],
            capture_output=True, text=True, timeout=60)
        body = b""
        if os.path.exists(out):
            with open(out, "rb") as f:
                body = f.read()
        return done.returncode, int(done.stdout or 0), body

    def test_ranges_on_one_keep_alive_connection(self):
        n = len(PKG)
        cases = [
            # method, Range, fault, status, body, Content-Range
            ("GET", None, {}, 200, PKG, None),
            ("GET", "bytes=1000-", {}, 206, PKG[1000:],
             "bytes 1000-%d/%d" % (n - 1, n)),
            ("GET", "bytes=10-19", {}, 206, PKG[10:20], "bytes 10-19/%d" % n),
            ("GET", "bytes=%d-%d" % (n - 5, n + 50), {}, 206, PKG[-5:],
             "bytes %d-%d/%d" % (n - 5, n - 1, n)),
            ("GET", "bytes=-7", {}, 206, PKG[-7:],
             "bytes %d-%d/%d" % (n - 7, n - 1, n)),
            ("GET", "bytes=%d-" % n, {}, 416, None, "bytes */%d" % n),
            ("GET", "bytes=1000-", {"ignore_range": True}, 200, PKG, None),
            ("HEAD", "bytes=1000-", {}, 206, b"",
             "bytes 1000-%d/%d" % (n - 1, n)),
        ]
        conn = self.connect()
        conn.connect()
        socket_used = conn.sock
        for method, wanted, fault, status, body, content_range in cases:
            with self.subTest(method=method, range=wanted, fault=fault):
                self.services.set_faults({"download:/pkg.bin": fault})
                conn.request(method, "/pkg.bin",
                             headers={"Range": wanted} if wanted else {})
                answer = conn.getresponse()
                data = answer.read()
                self.assertEqual(answer.status, status)
                self.assertEqual(answer.getheader("Content-Range"),
                                 content_range)
                if body is not None:
                    self.assertEqual(data, body)
                if status != 416:
                    self.assertEqual(answer.getheader("Accept-Ranges"),
                                     "bytes")
        self.assertIs(conn.sock, socket_used)  # kept alive throughout
        conn.close()
        self.assertEqual(
            [(r["method"], r["status"]) for r in self.services.requests()],
            [(c[0], c[3]) for c in cases])
        self.assertEqual(
            [r["bytes_sent"] for r in self.services.requests()
             if r["status"] != 416],
            [len(c[4]) for c in cases if c[3] != 416])

    def test_cut_download_resumes_to_the_whole_file(self):
        url = self.services.url("download", "/pkg.bin")
        self.services.set_faults(
            {"download:/pkg.bin": {"cut_after": 100000, "times": 1}})
        code, status, body = self.curl(url)
        self.assertEqual((code, status), (18, 200))  # 18: partial file
        self.assertEqual(body, PKG[:100000])
        code, status, body = self.curl(url, "-C", "-", resume=True)
        self.assertEqual((code, status, body), (0, 206, PKG))
        first, second = self.services.requests()
        self.assertEqual(first["bytes_sent"], 100000)
        self.assertEqual(second["headers"]["Range"], "bytes=100000-")
        self.assertEqual(second["bytes_sent"], len(PKG) - 100000)

    def test_content_length_faults(self):
        url = self.services.url("download", "/pkg.bin")
        cases = [
            # fault, curl exit code, body curl gets
            ({"content_length": "missing"}, 0, PKG),
            ({"content_length": len(PKG) + 100}, 18, PKG),
            ({"content_length": 10}, 0, PKG[:10]),
        ]
        for fault, code, body in cases:
            with self.subTest(fault=fault):
                self.services.set_faults({"download:/pkg.bin": fault})
                self.assertEqual(self.curl(url), (code, 200, body))
        conn = self.connect()
        self.services.set_faults(
            {"download:/pkg.bin": {"content_length": "missing"}})
        conn.request("GET", "/pkg.bin")
        answer = conn.getresponse()
        self.assertIsNone(answer.getheader("Content-Length"))
        self.assertEqual(answer.read(), PKG)

    def test_status_faults_and_times(self):
        cases = [
            # faults, role, path, statuses of successive requests
            ({}, "download", "/missing.bin", [404]),
            ({"download:/pkg.bin": {"status": 500}}, "download", "/pkg.bin",
             [500, 500, 500]),
            ({"download:/pkg.bin": {"status": 503, "times": 2}}, "download",
             "/pkg.bin", [503, 503, 200, 200]),
            ({"*:/pkg.bin": {"status": 404, "times": 1}}, "download",
             "/pkg.bin", [404, 200]),
            ({"stats:/installstats/*": {"status": 500}}, "stats",
             "/installstats/send/a=1/*", [500]),
            ({"stats:/other": {"status": 500}}, "stats", "/installstats/x",
             [200]),
        ]
        for faults, role, path, statuses in cases:
            with self.subTest(faults=faults, path=path):
                self.services.set_faults(faults)
                got = []
                for _ in statuses:
                    code, status, _ = self.curl(self.services.url(role, path))
                    got.append(status)
                self.assertEqual(got, statuses)
        # Writing the faults again starts their counts again.
        self.services.set_faults(
            {"download:/pkg.bin": {"status": 503, "times": 1}})
        self.assertEqual(
            self.curl(self.services.url("download", "/pkg.bin"))[1], 503)

    def test_redirects(self):
        config_url = self.services.url("config", "/settings.json")
        chain = [("download", "/pkg.bin", q, 302) for q in
                 ("", "hop=1", "hop=2", "hop=3")]
        cases = [
            # fault, body, (role, path, query, status) of each request
            ({"redirect": "/sub/small.txt"}, SMALL,
             [("download", "/pkg.bin", "", 302),
              ("download", "/sub/small.txt", "", 200)]),
            ({"redirect": config_url, "status": 307}, SETTINGS,
             [("download", "/pkg.bin", "", 307),
              ("config", "/settings.json", "", 200)]),
            ({"redirect_chain": 3}, PKG,
             chain[:3] + [("download", "/pkg.bin", "hop=3", 200)]),
            ({"redirect_chain": 3, "redirect": "/sub/small.txt"}, SMALL,
             chain + [("download", "/sub/small.txt", "", 200)]),
        ]
        url = self.services.url("download", "/pkg.bin")
        for fault, body, requested in cases:
            with self.subTest(fault=fault):
                self.services.clear_requests()
                self.services.set_faults({"download:/pkg.bin": fault})
                done = subprocess.run(
                    ["curl", "-s", "-L", "--cacert", self.ca, "-o", "-",
                     "-w", "%{num_redirects}", url],
                    capture_output=True, timeout=60)
                self.assertEqual(done.returncode, 0)
                self.assertEqual(done.stdout,
                                 body + str(len(requested) - 1).encode())
                self.assertEqual(
                    [(r["role"], r["path"], r["query"], r["status"])
                     for r in self.services.requests()], requested)

    def test_extra_headers(self):
        seed = {"X-Seed-Signature": "c2ln+/==",
                "Last-Modified": "Mon, 07 Dec 2026 08:00:00 GMT",
                "X-Country": "nl"}
        self.services.set_faults({
            "content:/settings.json": {"headers": seed, "times": 1},
            "config:/configs/*": {"status": 404,
                                  "headers": {"Content-Type": "x/y"}}})
        cases = [
            # role, path, status, body, headers expected (None: absent)
            ("content", "/settings.json", 200, SETTINGS, seed),
            ("content", "/settings.json", 200, SETTINGS,
             dict.fromkeys(seed)),
            ("config", "/configs/all_zip", 404, None,
             {"Content-Type": "x/y"}),
        ]
        write(os.path.join(self.dir, "root", "content", "settings.json"),
              SETTINGS)
        for role, path, status, body, headers in cases:
            with self.subTest(role=role, path=path):
                conn = self.connect(role)
                conn.request("GET", path)
                answer = conn.getresponse()
                data = answer.read()
                conn.close()
                self.assertEqual(answer.status, status)
                if body is not None:
                    self.assertEqual(data, body)
                for name, value in headers.items():
                    self.assertEqual(answer.getheader(name), value)
                # One value per header, even where the fault replaces one.
                self.assertEqual(len(answer.headers.get_all("Content-Type")),
                                 1)

    def test_stall_holds_one_answer_only(self):
        url = self.services.url("download", "/pkg.bin")
        cases = [
            # fault, curl exit code, bytes received, least seconds taken
            ({"stall": 1.0, "stall_after": 5000}, 0, len(PKG), 1.0),
            ({"stall": 0.5, "cut_after": 2000, "stall_after": 2000}, 18,
             2000, 0.5),
        ]
        for fault, code, size, least in cases:
            with self.subTest(fault=fault):
                self.services.set_faults({"download:/pkg.bin": fault})
                began = time.monotonic()
                slow = subprocess.Popen(
                    ["curl", "-s", "--cacert", self.ca, "-o",
                     os.path.join(self.dir, "slow.out"), url])
                time.sleep(0.2)
                quick = time.monotonic()
                self.assertEqual(self.curl(self.services.url(
                    "download", "/sub/small.txt"))[2], SMALL)
                self.assertLess(time.monotonic() - quick, least / 2)
                self.assertEqual(slow.wait(30), code)
                self.assertGreaterEqual(time.monotonic() - began, least)
                with open(os.path.join(self.dir, "slow.out"), "rb") as f:
                    self.assertEqual(f.read(), PKG[:size])

    def test_recording_keeps_the_request_as_sent(self):
        stats_path = ("/installstats/send/dtype=stred/pid=457/cid=72992/"
                      "path=extended_stat/vars=-a=1%2C2,-b=x%20y,-c=%2A/*")
        conn = self.connect("stats")
        conn.request("POST", stats_path + "?k=v&w=%3D", body=b"x" * 1234,
                     headers={"X-Probe": "one"})
        self.assertEqual(conn.getresponse().read(), b"ok\n")
        conn.request("PUT", "//double//slash", body=iter([b"ab", b"cde"]),
                     encode_chunked=True)
        conn.getresponse().read()
        conn.close()
        conn = self.connect("config")
        for path, body in (("/settings.json", SETTINGS), ("/absent", b"")):
            conn.request("GET", path)
            self.assertEqual(conn.getresponse().read(), body)
        conn.close()
        post, chunked, config, absent = self.services.requests()
        self.assertEqual(post["raw_path"], stats_path + "?k=v&w=%3D")
        self.assertEqual(post["path"], stats_path.replace("%2C", ",")
                         .replace("%20", " ").replace("%2A", "*"))
        self.assertEqual(post["query"], "k=v&w=%3D")
        self.assertEqual(
            {k: post[k] for k in ("role", "method", "body_size", "status",
                                  "bytes_sent")},
            {"role": "stats", "method": "POST", "body_size": 1234,
             "status": 200, "bytes_sent": 3})
        self.assertEqual(post["headers"]["X-Probe"], "one")
        self.assertEqual(post["headers"]["Content-Length"], "1234")
        self.assertIsInstance(post["time"], float)
        self.assertEqual((chunked["raw_path"], chunked["body_size"]),
                         ("//double//slash", 5))
        self.assertEqual((config["role"], config["status"],
                          config["bytes_sent"]),
                         ("config", 200, len(SETTINGS)))
        self.assertEqual((absent["status"], absent["bytes_sent"]), (200, 0))

    def test_paths_outside_the_root_are_refused(self):
        cases = [
            # role, path, status
            ("download", "/../secret.txt", 404),
            ("download", "/%2e%2e/secret.txt", 404),
            ("download", "/sub/../../secret.txt", 404),
            ("download", "/sub/", 404),
            ("download", "/sub/%2e%2e/pkg.bin", 200),
            ("config", "/../pkg.bin", 200),  # root/config/../pkg.bin
        ]
        for role, path, status in cases:
            with self.subTest(role=role, path=path):
                conn = self.connect(role)
                conn.request("GET", path)
                answer = conn.getresponse()
                data = answer.read()
                conn.close()
                self.assertEqual(answer.status, status)
                self.assertNotIn(b"outside the root", data)
                if role == "config":
                    self.assertEqual(data, b"")

    def test_start_errors_and_stopping(self):
        # A port in use: exit code 2, no "ready", and the ports opened before
        # it are closed again.
        offset = random.randrange(1000, 14000, 10) + 5
        done = subprocess.run(
            [sys.executable, client.SERVER, "--root", self.dir, "--plain",
             "--port-offset", str(offset),
             "--ports=stats=%d" % self.services.ports["stats"]],
            capture_output=True, text=True, timeout=30)
        self.assertEqual((done.returncode, done.stdout), (2, ""))
        self.assertIn("stats: cannot listen", done.stderr)
        # A leader that is already a zombie may still have threads ending
        # (and holding the sockets) for a moment.
        port = client.DEFAULT_PORTS["download"] + offset
        while port_listens(port) and time.monotonic() < deadline:
            time.sleep(0.1)
        self.assertFalse(port_listens(port))
        # SIGTERM stops it.
        folder = tempfile.mkdtemp(dir=self.dir)
        os.mkdir(os.path.join(folder, "root"))
        other = start_services(folder, None, None)
        self.assertTrue(port_listens(other.ports["crash"]))
        other.stop()
        self.assertEqual(other.process.returncode, 0)
        self.assertFalse(port_listens(other.ports["crash"]))

    def test_stops_when_its_parent_ends(self):
        folder = tempfile.mkdtemp(dir=self.dir)
        os.mkdir(os.path.join(folder, "root"))
        # A short-lived parent: starts the services, reports, exits.
        parent = (
            "import random, subprocess, sys\n"
            "for _ in range(10):\n"
            "    offset = random.randrange(1000, 14000, 10)\n"
            "    p = subprocess.Popen([sys.executable, sys.argv[1], '--root',"
            " sys.argv[2], '--plain', '--port-offset', str(offset)],"
            " stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)\n"
            "    if p.stdout.readline() == 'ready\\n':\n"
            "        print(p.pid, offset, flush=True)\n"
            "        break\n")
        done = subprocess.run(
            [sys.executable, "-c", parent, client.SERVER,
             os.path.join(folder, "root")],
            capture_output=True, text=True, timeout=60)
        pid, offset = map(int, done.stdout.split())
        deadline = time.monotonic() + 10
        while alive(pid) and time.monotonic() < deadline:
            time.sleep(0.1)
        if alive(pid):
            os.kill(pid, 9)
            self.fail("the services outlived their parent")
        # A leader that is already a zombie may still have threads ending
        # (and holding the sockets) for a moment.
        port = client.DEFAULT_PORTS["download"] + offset
        while port_listens(port) and time.monotonic() < deadline:
            time.sleep(0.1)
        self.assertFalse(port_listens(port))

if __name__ == "__main__":
    unittest.main(verbosity=2)
