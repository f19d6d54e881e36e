"""Runs the real installer under the project's Wine and reads what it left.

Paths come from the environment CTest sets: LITE_WINE_RUN (tools/wine/run.sh),
LITE_WINEPREFIX, LITE_INSTALLER_EXE, LITE_LAUNCHER_EXE and LITE_HELPER_EXE.
Exit codes are read in full through the launcher, which prints the 32-bit
code that Linux would cut to its low 8 bits.
"""

import contextlib
import glob
import shutil
import tempfile
import os
import re
import subprocess
import sys
import time

WINE_RUN = os.environ.get("LITE_WINE_RUN", "")


def _emulated():
    """Whether 32-bit programs run under the user-mode emulator here
    (tools/wine/i386_emulation.sh)."""
    return os.path.exists("/proc/sys/fs/binfmt_misc/lite-qemu-i386")


# The tests' wall-clock bounds on work done by Windows programs are
# multiplied by this: under the emulator every program runs several times
# slower than natively. Bounds the program itself keeps (time-outs, pauses)
# are not scaled.
TIME_SCALE = float(os.environ.get("LITE_TEST_TIME_SCALE") or
                   (4 if _emulated() else 1))
PREFIX = os.environ.get("LITE_WINEPREFIX", "")
INSTALLER = os.environ.get("LITE_INSTALLER_EXE", "")
LAUNCHER = os.environ.get("LITE_LAUNCHER_EXE", "")
HELPER = os.environ.get("LITE_HELPER_EXE", "")

LINE_RE = re.compile(
    r"^(?P<date>\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\.\d{3}) "
    r"(?P<pid>\d{2,}):(?P<tid>\d{2,}) (?P<severity>INFO|ERROR|WARNING): "
    r"(?P<text>.*) \((?P<function>~?\w+|operator\(\)):(?P<line>\d+)\)$",
    re.S)
HEADER_RE = re.compile(r"^\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\.\d{3} \d")


REPO = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
# The development PKI of the build (tools/pki): the local services' TLS
# certificate and the CA the test prefix trusts.
PKI = os.environ.get("LITE_PKI_DIR",
                     os.path.join(os.path.dirname(INSTALLER or "."), "pki"))
TLS_CA = os.path.join(PKI, "tls", "ca.pem")
TLS_CERT = os.path.join(PKI, "tls", "localhost.pem")
TLS_KEY = os.path.join(PKI, "tls", "localhost.key")


def trust_development_roots():
    """Makes the development code-signing root and the local services' CA
    trusted roots of the current prefix (nothing changes when they are)."""
    tool = os.environ.get("LITE_ADD_ROOT_CERT_EXE") or os.path.join(
        os.path.dirname(INSTALLER or "."), "add_root_cert.exe")
    result = wine([tool, windows_path(os.path.join(PKI, "code_signing",
                                                   "root.pem")),
                   windows_path(TLS_CA)])
    if result.returncode != 0:
        raise AssertionError("add_root_cert failed: " + result.stdout +
                             result.stderr)


class SetupPackageServices:
    """The local services serving the signed stand-in setup package where
    the installer looks for it, for tests whose installer runs download."""

    def __init__(self):
        self.dir = tempfile.mkdtemp(prefix="lite-services")
        package = os.path.join(os.path.dirname(INSTALLER), "browser-setup.arc")
        for path in ("browser/zarvex/browser-setup.arc",
                     "browser-partners/_xp_builds/browser-setup.arc"):
            target = os.path.join(self.dir, "root", path)
            os.makedirs(os.path.dirname(target), exist_ok=True)
            shutil.copy(package, target)
        self.services = start_local_services(os.path.join(self.dir, "root"),
                                             self.dir)

    def stop(self):
        self.services.stop()
        shutil.rmtree(self.dir, ignore_errors=True)


_package_services = None


def serve_setup_package():
    """setUpModule of tests whose silent runs download the package."""
    global _package_services
    _package_services = SetupPackageServices()


def stop_serving_setup_package():
    """The matching tearDownModule."""
    _package_services.stop()


def stat_fields(raw_path):
    """The fields of a statistics request as sent: "-name=value" items
    joined by commas (names and values never contain , - or =)."""
    start = raw_path.index("/vars=") + len("/vars=")
    fields = {}
    for item in raw_path[start:raw_path.rindex("/*")].split(","):
        name, value = item[1:].split("=", 1)
        fields[name] = value
    return fields


def start_local_services(root, work_dir):
    """The local services on the build's ports (the hosts the program was
    built for), serving `root`, recording into `work_dir`."""
    sys.path.insert(0, os.path.join(REPO, "tools", "local_services"))
    import client  # noqa: E402
    return client.start(root, os.path.join(work_dir, "requests.jsonl"),
                        os.path.join(work_dir, "faults.json"), TLS_CERT,
                        TLS_KEY)


def exit_unless_wine_available():
    """Exits with CTest's skip code when Wine cannot run programs here."""
    check = subprocess.run([WINE_RUN, "--check"], capture_output=True,
                           text=True)
    if check.returncode != 0:
        print(check.stdout.strip() or check.stderr.strip())
        sys.exit(125)


def windows_path(unix_path):
    """The Z: drive maps the Linux root."""
    return "Z:" + os.path.abspath(unix_path).replace("/", "\\")


# Extra environment of every Windows process (see other_prefix).
EXTRA_ENV = {}


def _env():
    return dict(os.environ, **EXTRA_ENV) if EXTRA_ENV else None


@contextlib.contextmanager
def other_prefix(prefix, env=None, trust_roots=True):
    """Runs everything inside the block in `prefix` (created on first use)
    with `env` added to the environment; stops its wineserver afterwards.
    With `trust_roots` the development roots are trusted there first."""
    global PREFIX, EXTRA_ENV
    saved = PREFIX, EXTRA_ENV
    PREFIX, EXTRA_ENV = prefix, dict(env or {})
    try:
        if trust_roots:
            trust_development_roots()
        yield
    finally:
        wine(["-k"], tool="wineserver")
        PREFIX, EXTRA_ENV = saved


def wine(args, timeout=120, tool=None, **kwargs):
    timeout *= TIME_SCALE
    command = [WINE_RUN, "--prefix", PREFIX]
    if tool:
        command += ["--tool", tool]
    return subprocess.run(command + list(args), capture_output=True,
                          text=True, errors="replace", timeout=timeout,
                          env=_env(), **kwargs)


class Run:
    """One launch of a Windows program through the launcher."""

    def __init__(self, program, args, cwd=None):
        """`cwd` (a Linux directory) becomes the program's current
        directory; inside the prefix's drive_c Wine shows it on C:."""
        command = [WINE_RUN, "--prefix", PREFIX, LAUNCHER,
                   windows_path(program)] + list(args)
        self.process = subprocess.Popen(command, stdout=subprocess.PIPE,
                                        stderr=subprocess.PIPE, text=True,
                                        errors="replace",
                                        env=_env(), cwd=cwd)
        self.pid = None
        line = self.process.stdout.readline()
        match = re.match(r"pid=(\d+)", line)
        if match:
            self.pid = int(match.group(1))
        self._first = line

    def wait(self, timeout=120):
        out, err = self.process.communicate(timeout=timeout * TIME_SCALE)
        match = re.search(r"exit_code=(-?\d+)", self._first + out)
        if not match:
            raise AssertionError("no exit code: %r %r" % (self._first + out,
                                                          err))
        return int(match.group(1))

    def kill(self):
        """Ends the Windows process (if still running) and the launcher."""
        if self.process.poll() is None:
            if self.pid:
                wine(["taskkill", "/f", "/pid", str(self.pid)])
            try:
                self.process.communicate(timeout=30 * TIME_SCALE)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.communicate()


def run_installer(*args, timeout=120, program=None, cwd=None):
    run = Run(program or INSTALLER, args, cwd)
    return run.wait(timeout), run.pid


INSTALLER_KEY = "HKCU\\Software\\Zarvex\\ZarvexBrowser"


def reg_query(value, key=INSTALLER_KEY):
    """A registry value's data as text (32-bit view), or None if absent."""
    result = wine(["reg", "query", key, "/v", value, "/reg:32"])
    for line in result.stdout.splitlines():
        parts = line.strip().split(None, 2)
        if len(parts) >= 2 and parts[0] == value and parts[1].startswith(
                "REG_"):
            return parts[2] if len(parts) == 3 else ""
    return None


def reg_delete(value, key=INSTALLER_KEY):
    wine(["reg", "delete", key, "/v", value, "/f", "/reg:32"])


def reg_delete_values(values, key=INSTALLER_KEY):
    """Deletes several values of `key` with one Windows process (each
    process start costs seconds under the emulator)."""
    root = {"HKCU": "HKEY_CURRENT_USER", "HKLM": "HKEY_LOCAL_MACHINE"}
    head, _, rest = key.partition("\\")
    lines = ["REGEDIT4", "", "[%s\\%s]" % (root.get(head, head), rest)]
    lines += ['"%s"=-' % value for value in values]
    with tempfile.NamedTemporaryFile("w", suffix=".reg", delete=False,
                                     encoding="ascii") as f:
        f.write("\r\n".join(lines) + "\r\n")
    try:
        wine(["regedit", "/S", windows_path(f.name)])
    finally:
        os.remove(f.name)


def temp_directory():
    """The Windows user's temporary directory inside the prefix."""
    # Wine 8 keeps it in the profile, newer Wine under AppData\Local.
    users = os.path.join(PREFIX, "drive_c", "users")
    candidates = [d for pattern in ("*/Temp", "*/AppData/Local/Temp")
                  for d in glob.glob(os.path.join(users, pattern))
                  if "/Public/" not in d]
    if not candidates:
        raise AssertionError("no temporary directory in " + PREFIX)
    return candidates[0]


def log_path():
    return os.path.join(temp_directory(), "lite_installer.log")


def read_log(path=None):
    try:
        with open(path or log_path(), "rb") as f:
            return f.read().decode("utf-8")
    except FileNotFoundError:
        return ""


def parse_lines(text):
    """Log records as dicts; a record that breaks the format comes back as
    {"raw": ...}. System error texts bring their own line break, so a line
    without a header continues the record before it."""
    chunks = []
    for line in text.split("\n")[:-1]:
        if HEADER_RE.match(line) or not chunks:
            chunks.append(line)
        else:
            chunks[-1] += "\n" + line
    records = []
    for chunk in chunks:
        match = LINE_RE.match(chunk)
        records.append(match.groupdict() if match else {"raw": chunk})
    return records


def wait_for(predicate, timeout=60, interval=0.2):
    deadline = time.time() + timeout * TIME_SCALE
    while time.time() < deadline:
        value = predicate()
        if value:
            return value
        time.sleep(interval)
    return None
