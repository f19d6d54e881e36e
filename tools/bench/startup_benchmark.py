#!/usr/bin/env python3
"""Start-up time of the installer under Wine, and where a silent
installation spends its time.

  tools/bench/startup_benchmark.py [--quick] [--runs N] [--installs N]

1. Time to exit of `lite_installer.exe --check-the-interface` against two
   trivial programs of ours under the same Wine and the same launcher
   (tools/wine/run.sh): exit_with.exe, which imports only what any program
   does, and unsafe_imports.exe, which imports the 14 system DLLs the
   installer delay-loads. The three run in turn, in an order that turns from
   round to round; the report gives median [min-max] of each and the ratios
   of the medians to the trivial program's.
2. Silent installations against the local services serving the signed
   stand-in setup (as tools/run_main_job.py runs one), with the phases read
   from the log's times: start -> download, first connection (until the
   package's answer headers), body, verification, setup (until the setup
   process exits), tail (until the installer's last line), and the time
   outside the log (Wine starting the process, the exit after the last
   line). Median [min-max] of each over the installations.

Needs a built tree (tools/setup.sh --build). Every run is bounded (2 minutes
for a start, 10 for an installation).
"""

import argparse
import datetime
import os
import shutil
import statistics
import sys
import tempfile

import bench_util as b
from bench_util import h

START_TIMEOUT_S = 120
INSTALL_TIMEOUT_S = 600

# (name, the record's text starts with) in the order they happen; the
# connection is the one to the package's URL.
PHASE_ENDS = [
    ("start -> download", "Attempt to download module: "),
    ("first connection", "Connection established: "),
    ("body", "Module downloaded: "),
    ("verification", "Verification succeeded: "),
    ("setup", "Setup process exit with code: "),
]


def record_time(record):
    return datetime.datetime.strptime(record["date"],
                                      "%Y-%m-%d %H:%M:%S.%f").timestamp()


def phases(records):
    """Seconds per phase from the log records of one run (the installer's
    own process), or a message saying which line is missing."""
    records = [r for r in records if "text" in r]
    start = next((i for i, r in enumerate(records)
                  if r["text"].endswith("Start install.")), None)
    if start is None:
        return "no 'Start install.' line"
    pid = records[start]["pid"]
    records = [r for r in records[start:] if r["pid"] == pid]
    times, url, index = [record_time(records[0])], None, 0
    for name, text in PHASE_ENDS:
        while index < len(records):
            line = records[index]["text"]
            index += 1
            if line.startswith(text) and (
                    url is None or text != PHASE_ENDS[1][1] or
                    line[len(text):] == url):
                if text == PHASE_ENDS[0][1]:
                    url = line[len(text):]
                times.append(record_time(records[index - 1]))
                break
        else:
            return "no '%s' line" % text.strip()
    times.append(record_time(records[-1]))
    names = [name for name, _ in PHASE_ENDS] + ["tail"]
    return {name: times[i + 1] - times[i] for i, name in enumerate(names)}


def start_up(rounds):
    programs = [
        ("lite_installer.exe --check-the-interface",
         [h.INSTALLER, "--check-the-interface"]),
        ("trivial exe (exit_with.exe)", [h.HELPER]),
        ("trivial exe + 14 DLLs at load (unsafe_imports.exe)",
         [os.path.join(b.BUILD, "unsafe_imports.exe")]),
    ]
    # One start of each first, so that no program pays for a cold cache.
    for _, command in programs:
        b.run_timed(b.wine_command(*command), START_TIMEOUT_S)
    times = {name: [] for name, _ in programs}
    for round_index in range(rounds):
        shift = round_index % len(programs)
        for name, command in programs[shift:] + programs[:shift]:
            run = b.run_timed(b.wine_command(*command), START_TIMEOUT_S)
            times[name].append(run.seconds)
    trivial = statistics.median(times[programs[1][0]])
    print("Time to exit under Wine (tools/wine/run.sh, %d interleaved "
          "rounds), seconds, median [min-max]:" % rounds)
    for name, _ in programs:
        print("  %-52s %s  ratio %.2f" % (
            name, b.median_range(times[name], 1, 3),
            statistics.median(times[name]) / trivial))


def installations(count):
    work = tempfile.mkdtemp(prefix="lite-bench-install")
    try:
        package = os.path.join(work, "root", "browser", "zarvex",
                               "browser-setup.arc")
        os.makedirs(os.path.dirname(package))
        shutil.copy(os.path.join(b.BUILD, "browser-setup.arc"), package)
        services = h.start_local_services(os.path.join(work, "root"), work)
        record = os.path.join(work, "setup_command_line.txt")
        env = dict(os.environ,
                   LITE_SETUP_STUB_RECORD_FILE=h.windows_path(record))
        results, walls = [], []
        try:
            for _ in range(count):
                if os.path.exists(h.log_path()):
                    os.remove(h.log_path())
                run = b.run_timed(b.wine_command(h.LAUNCHER, h.windows_path(
                    h.INSTALLER), "--silent"), INSTALL_TIMEOUT_S, env=env)
                if "exit_code=0" not in run.stdout:
                    sys.exit("the installation failed: %s\n%s" %
                             (run.stdout, h.read_log()))
                result = phases(h.parse_lines(h.read_log()))
                if isinstance(result, str):
                    sys.exit("cannot read the phases: %s\n%s" %
                             (result, h.read_log()))
                results.append(result)
                walls.append(run.seconds)
        finally:
            services.stop()
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print("Silent installation (%d runs), seconds, median [min-max]:" % count)
    names = [name for name, _ in PHASE_ENDS] + ["tail"]
    in_log = [sum(r.values()) for r in results]
    outside = [w - s for w, s in zip(walls, in_log)]
    for name in names:
        values = [r[name] for r in results]
        share = statistics.median(values) / statistics.median(walls)
        print("  %-22s %s  %3.0f %%" % (name, b.median_range(values, 1, 3),
                                        100 * share))
    print("  %-22s %s  %3.0f %%" % (
        "outside the log", b.median_range(outside, 1, 3),
        100 * statistics.median(outside) / statistics.median(walls)))
    print("  %-22s %s" % ("whole process", b.median_range(walls, 1, 3)))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--quick", action="store_true",
                        help="5 rounds, 2 installations")
    parser.add_argument("--runs", type=int)
    parser.add_argument("--installs", type=int)
    args = parser.parse_args()
    rounds = args.runs or (5 if args.quick else 15)
    installs = args.installs or (2 if args.quick else 5)

    b.prepare_wine()
    print("machine: %s" % b.machine_load())
    start_up(rounds)
    installations(installs)
    print("machine: %s" % b.machine_load())


if __name__ == "__main__":
    main()
