"""What the benchmarks share: the build's Wine set-up, timed child processes
with their memory peak, and medians with ranges."""

import os
import statistics
import subprocess
import sys
import tempfile
import time

REPO = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
BUILD = os.path.join(REPO, "build")
os.environ.setdefault("LITE_WINE_RUN", os.path.join(REPO, "tools", "wine",
                                                    "run.sh"))
os.environ.setdefault("LITE_WINEPREFIX", os.path.join(BUILD, "wineprefix"))
os.environ.setdefault("LITE_INSTALLER_EXE",
                      os.path.join(BUILD, "lite_installer.exe"))
os.environ.setdefault("LITE_LAUNCHER_EXE",
                      os.path.join(BUILD, "run_and_report.exe"))
os.environ.setdefault("LITE_HELPER_EXE", os.path.join(BUILD, "exit_with.exe"))
sys.path.insert(0, os.path.join(REPO, "test", "blackbox"))
import wine_harness as h  # noqa: E402,F401


def prepare_wine():
    """Exits with a message when Wine cannot run programs here; otherwise
    starts the prefix's server and makes the development roots trusted."""
    h.exit_unless_wine_available()
    subprocess.run([h.WINE_RUN, "--prefix", h.PREFIX, "--init"], check=True)
    h.trust_development_roots()
    if not os.environ.get("DISPLAY"):
        os.environ["DISPLAY"] = subprocess.run(
            [os.path.join(REPO, "tools", "xvfb.sh")], capture_output=True,
            text=True, check=True).stdout.strip()


class Timed:
    """One finished child: wall seconds, exit code, output and its Linux
    peak resident set in bytes (VmHWM, sampled while it runs: the kernel's
    own maximum would include the benchmark's Python, which it was forked
    from)."""

    def __init__(self, seconds, code, stdout, max_rss):
        self.seconds, self.code = seconds, code
        self.stdout, self.max_rss = stdout, max_rss

    def values(self):
        """The program's key=value lines as a dict."""
        return dict(line.split("=", 1) for line in self.stdout.splitlines()
                    if "=" in line)


def _high_water_mark(pid):
    """The process's peak resident set so far in bytes (0 if unreadable)."""
    try:
        with open("/proc/%d/status" % pid) as f:
            for line in f:
                if line.startswith("VmHWM:"):
                    return int(line.split()[1]) * 1024
    except OSError:
        pass
    return 0


def run_timed(command, timeout, env=None):
    """Runs `command` to its end, at most `timeout` seconds (then it is
    killed and this raises), polling its exit and memory every 5 ms."""
    with tempfile.TemporaryFile() as out:
        start = time.monotonic()
        process = subprocess.Popen(command, stdout=out,
                                   stderr=subprocess.DEVNULL,
                                   stdin=subprocess.DEVNULL, env=env)
        deadline = start + timeout
        peak = 0
        while True:
            peak = max(peak, _high_water_mark(process.pid))
            pid, status, _ = os.wait4(process.pid, os.WNOHANG)
            if pid:
                break
            if time.monotonic() > deadline:
                process.kill()
                os.wait4(process.pid, 0)
                process.returncode = -9
                raise RuntimeError("%s took more than %d s" %
                                   (command[0], timeout))
            time.sleep(0.005)
        seconds = time.monotonic() - start
        process.returncode = os.waitstatus_to_exitcode(status)
        out.seek(0)
        return Timed(seconds, process.returncode,
                     out.read().decode("utf-8", "replace"),
                     peak)


def _system_wine():
    return subprocess.run(["/usr/lib/wine/wine", "--version"],
                          capture_output=True).returncode == 0


SYSTEM_WINE = os.path.exists("/usr/lib/wine/wine") and _system_wine()


def wine_command(program, *args):
    """The command that runs a Windows program in the build's prefix: with
    Debian's Wine, `wine` itself with tools/wine/run.sh's environment (the
    server is already up, so nothing but Wine's own start-up is timed);
    otherwise through run.sh."""
    if SYSTEM_WINE:
        return ["env", "WINEPREFIX=" + os.path.abspath(h.PREFIX),
                "WINEDEBUG=-all", "WINEDLLOVERRIDES=mscoree,mshtml=", "wine",
                program] + list(args)
    return [h.WINE_RUN, "--prefix", h.PREFIX, program] + list(args)


def median_range(values, scale=1.0, digits=1):
    """ "median [min-max]" of `values` times `scale`."""
    form = "%%.%df" % digits
    return (form + " [" + form + "-" + form + "]") % (
        statistics.median(values) * scale, min(values) * scale,
        max(values) * scale)


def machine_load():
    """The 1-minute load average and the core count, for the report."""
    return "load average %.2f on %d cores" % (os.getloadavg()[0],
                                               os.cpu_count())
