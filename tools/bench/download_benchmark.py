#!/usr/bin/env python3
"""Download throughput of the installer's downloader against curl.

  tools/bench/download_benchmark.py [--size-mib 200] [--runs 3]

Serves a file of the given size from the local services (HTTPS, the test
run's development certificate), downloads it through InternetDownloader
under Wine (download_tool.exe file ...) and with curl, in the same run, and
prints both throughputs, their ratio and the Windows process's peak working
set. Needs a built tree (tools/setup.sh --build).
"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

REPO = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
sys.path.insert(0, os.path.join(REPO, "test", "blackbox"))
BUILD = os.path.join(REPO, "build")
os.environ.setdefault("LITE_WINE_RUN", os.path.join(REPO, "tools", "wine",
                                                    "run.sh"))
os.environ.setdefault("LITE_WINEPREFIX", os.path.join(BUILD, "wineprefix"))
import wine_harness as h  # noqa: E402


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--size-mib", type=int, default=200)
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--plain", action="store_true",
                        help="plain HTTP on other ports: the downloader "
                             "without Wine's TLS")
    args = parser.parse_args()

    h.exit_unless_wine_available()
    h.wine(["cmd", "/c", "exit"])  # the prefix and its server are up
    work = tempfile.mkdtemp(prefix="lite-bench")
    try:
        root = os.path.join(work, "root")
        os.makedirs(root)
        size = args.size_mib * 1024 * 1024
        with open(os.path.join(root, "big.bin"), "wb") as f:
            chunk = os.urandom(1024 * 1024)
            for _ in range(args.size_mib):
                f.write(chunk)
        if args.plain:
            sys.path.insert(0, os.path.join(REPO, "tools", "local_services"))
            import client  # noqa: E402
            services = client.start(root, os.path.join(work, "r.jsonl"),
                                    os.path.join(work, "f.json"), None, None,
                                    port_offset=100)
        else:
            services = h.start_local_services(root, work)
        try:
            url = services.url("download", "/big.bin")
            target = os.path.join(h.temp_directory(), "bench.bin")
            tool = os.path.join(BUILD, "download_tool.exe")
            ours, theirs = [], []
            for _ in range(args.runs):
                start = time.monotonic()
                result = h.wine([tool, "file", url, h.windows_path(target)],
                                timeout=600)
                elapsed = time.monotonic() - start
                if "result=1" not in result.stdout or \
                        os.path.getsize(target) != size:
                    sys.exit("download_tool failed: " + result.stdout)
                os.remove(target)
                ours.append(size / elapsed)
                peak = max([int(line.split("=")[1]) for line in
                            result.stdout.splitlines()
                            if line.startswith("peak_working_set=")] + [0])

                start = time.monotonic()
                subprocess.run(["curl", "-s", "-o", os.devnull, "--cacert",
                                h.TLS_CA, url], check=True,
                               env=dict(os.environ, no_proxy="*"))
                theirs.append(size / (time.monotonic() - start))
        finally:
            services.stop()
        best_ours, best_theirs = max(ours), max(theirs)
        mib = 1024 * 1024
        print("size: %d MiB, runs: %d (best of each), %s" % (
            args.size_mib, args.runs, "plain HTTP" if args.plain else "HTTPS"))
        print("InternetDownloader under Wine: %.1f MiB/s" % (best_ours / mib))
        print("curl:                          %.1f MiB/s" % (best_theirs / mib))
        print("ratio: %.2f" % (best_ours / best_theirs))
        print("peak working set of the Windows process: %.1f MiB" %
              (peak / mib))
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
