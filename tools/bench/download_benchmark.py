#!/usr/bin/env python3
"""Download speed of the installer's downloader, of a bare WinINet loop and
of curl, on one file from the local services.

  tools/bench/download_benchmark.py [--quick] [--plain] [--size-mib N]
                                    [--runs N]

Each round downloads the file once with each program, in an order that
turns from round to round (the machine may be busy with other work), and
every program writes a file into the same directory (the Wine prefix's
temporary folder):

  ours     download_tool.exe timed: InternetDownloader's Open, Read loop and
           Finalize, under Wine
  WinINet  wininet_loop.exe: InternetOpenUrl and InternetReadFile with the
           same 32 KiB buffer, under Wine
  curl     curl -o FILE on Linux

For each it reports, as median [min-max] over the rounds: the first
connection's set-up (connection, TLS, answer headers: until Open or
InternetOpenUrl returns, curl's time to the first byte), the body's speed
after that in MiB/s, the whole process's wall time, and its memory peak (the
Windows peak working set, and the Linux peak resident set). Then the
ratios "ours / WinINet" (our code against the platform) and "WinINet / curl"
(the platform against curl), from the medians, with the range of the
rounds' own ratios.

Needs a built tree (tools/setup.sh --build). Every program run is bounded
(10 minutes).
"""

import argparse
import os
import shutil
import statistics
import sys
import tempfile

import bench_util as b
from bench_util import h

MIB = 1024 * 1024
RUN_TIMEOUT_S = 600


def run_ours(url, target):
    run = b.run_timed(b.wine_command(os.path.join(b.BUILD,
                                                  "download_tool.exe"),
                                     "timed", url, h.windows_path(target)),
                      RUN_TIMEOUT_S)
    return run, run.values()


def run_wininet(url, target):
    run = b.run_timed(b.wine_command(os.path.join(b.BUILD, "wininet_loop.exe"),
                                     url, h.windows_path(target)),
                      RUN_TIMEOUT_S)
    return run, run.values()


def run_curl(url, target):
    run = b.run_timed(
        ["curl", "-s", "-S", "-o", target, "--cacert", h.TLS_CA,
         "--max-time", str(RUN_TIMEOUT_S), "-w",
         "result=1\\nopen_ms=%{time_starttransfer}\\nall_ms=%{time_total}\\n",
         url], RUN_TIMEOUT_S + 10, env=dict(os.environ, no_proxy="*"))
    values = run.values()
    if run.code != 0:
        values["result"] = "0"
    else:
        open_s, all_s = float(values["open_ms"]), float(values["all_ms"])
        values["open_ms"] = str(open_s * 1000)
        values["body_ms"] = str((all_s - open_s) * 1000)
    return run, values


PROGRAMS = [("ours", "our downloader (Wine)", run_ours),
            ("wininet", "bare WinINet loop (Wine)", run_wininet),
            ("curl", "curl (Linux)", run_curl)]


def main():
    parser = argparse.ArgumentParser(
        description=__doc__.split("\n\n")[0])
    parser.add_argument("--quick", action="store_true",
                        help="32 MiB, 2 rounds (about half a minute)")
    parser.add_argument("--size-mib", type=int)
    parser.add_argument("--runs", type=int)
    parser.add_argument("--plain", action="store_true",
                        help="plain HTTP on other ports: no TLS")
    args = parser.parse_args()
    size_mib = args.size_mib or (32 if args.quick else 200)
    rounds = args.runs or (2 if args.quick else 5)

    b.prepare_wine()
    work = tempfile.mkdtemp(prefix="lite-bench")
    target_dir = h.temp_directory()
    try:
        root = os.path.join(work, "root")
        os.makedirs(root)
        size = size_mib * MIB
        with open(os.path.join(root, "big.bin"), "wb") as f:
            chunk = os.urandom(MIB)
            for _ in range(size_mib):
                f.write(chunk)
        if args.plain:
            sys.path.insert(0, os.path.join(b.REPO, "tools", "local_services"))
            import client  # noqa: E402
            services = client.start(root, os.path.join(work, "r.jsonl"),
                                    os.path.join(work, "f.json"), None, None,
                                    port_offset=100)
        else:
            services = h.start_local_services(root, work)
        load_before = b.machine_load()
        results = {key: [] for key, _, _ in PROGRAMS}
        try:
            url = services.url("download", "/big.bin")
            for round_index in range(rounds):
                shift = round_index % len(PROGRAMS)
                for key, name, runner in PROGRAMS[shift:] + PROGRAMS[:shift]:
                    target = os.path.join(target_dir, "bench-%s.bin" % key)
                    run, values = runner(url, target)
                    written = (os.path.getsize(target)
                               if os.path.exists(target) else -1)
                    if os.path.exists(target):
                        os.remove(target)
                    if values.get("result") != "1" or written != size:
                        sys.exit("%s failed (%d of %d bytes): %s" %
                                 (name, written, size, run.stdout))
                    results[key].append({
                        "open_s": float(values["open_ms"]) / 1000,
                        "body_s": float(values["body_ms"]) / 1000,
                        "wall_s": run.seconds,
                        "peak_ws": int(values.get("peak_working_set", 0)),
                        "max_rss": run.max_rss,
                    })
        finally:
            services.stop()
        load_after = b.machine_load()
    finally:
        shutil.rmtree(work, ignore_errors=True)

    print("%d MiB over %s from the local services, %d interleaved rounds; "
          "medians [min-max]" % (size_mib, "plain HTTP" if args.plain
                                 else "HTTPS", rounds))
    print("machine: %s before, %s after" % (load_before, load_after))
    print()
    print("%-26s %-22s %-22s %-20s %-18s %s" % (
        "", "body MiB/s", "first connection ms", "whole process s",
        "peak working set MiB", "Linux peak RSS MiB"))
    speeds = {}
    for key, name, _ in PROGRAMS:
        runs = results[key]
        speeds[key] = [size / r["body_s"] / MIB for r in runs]
        peak = ("%.1f" % (max(r["peak_ws"] for r in runs) / MIB)
                if key != "curl" else "-")
        print("%-26s %-22s %-22s %-20s %-20s %.1f" % (
            name, b.median_range(speeds[key]),
            b.median_range([r["open_s"] for r in runs], 1000, 0),
            b.median_range([r["wall_s"] for r in runs], 1, 2), peak,
            max(r["max_rss"] for r in runs) / MIB))
    print()
    for top, bottom, label in (("ours", "wininet",
                                "our code vs the platform"),
                               ("wininet", "curl", "the platform vs curl"),
                               ("ours", "curl", "our code vs curl")):
        per_round = [a / c for a, c in zip(speeds[top], speeds[bottom])]
        print("body speed, %-26s %.2f (rounds %.2f-%.2f)" % (
            label + ":", statistics.median(speeds[top]) /
            statistics.median(speeds[bottom]), min(per_round),
            max(per_round)))


if __name__ == "__main__":
    main()
