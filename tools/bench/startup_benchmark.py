#!/usr/bin/env python3
"""Start-up time of the installer under Wine, and where a silent
installation spends its time.

  tools/bench/startup_benchmark.py [--quick] [--runs N] [--installs N]

1. Time to exit of `lite_installer.exe --check-the-interface` against two
   trivial programs of ours under the same Wine (Debian's wine32, started
   as `wine PROGRAM` in the build's prefix with its server already
   running): exit_with.exe, which imports only what any program does, and
   unsafe_imports.exe, which imports at load time the 14 system DLLs the
   installer delay-loads. The three run in turn, in an order that turns
   from round to round, after one warm-up round; the report gives median
   [min-max] of each and the ratios of the medians to the trivial
   program's.
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

# (name, the record's text starts with) in the order they happen, each on
# the thread of the package download (the background tasks connect on
# threads of their own).
PHASE_ENDS = [
    ("start -> download", "Try to download module:"),
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
    times, thread, index = [record_time(records[0])], None, 0
    for _, text in PHASE_ENDS:
        while index < len(records):
            record = records[index]
            index += 1
            if record["text"].startswith(text) and thread in (
                    None, record["tid"]):
                thread = record["tid"]
                times.append(record_time(record))
                break
        else:
            return "no '%s' line" % text.strip()
    times.append(record_time(records[-1]))
    names = [name for name, _ in PHASE_ENDS] + ["tail"]
    return {name: times[i + 1] - times[i] for i, name in enumerate(names)}


def start_up(rounds):
    # (name, command, exit code as Linux sees it: the low 8 bits); the
    # installer answers the probe with 701.
    programs = [
        ("lite_installer.exe --check-the-interface",
         [h.INSTALLER, "--check-the-interface"], 701 & 0xFF),
        ("trivial exe (exit_with.exe)", [h.HELPER], 0),
        ("trivial exe + 14 DLLs at load (unsafe_imports.exe)",
         [os.path.join(b.BUILD, "unsafe_imports.exe")], 0),
    ]
    times = {name: [] for name, _, _ in programs}
    # Round 0 is a warm-up, so that no program pays for a cold cache.
    for round_index in range(rounds + 1):
        shift = round_index % len(programs)
        for name, command, code in programs[shift:] + programs[:shift]:
            run = b.run_timed(b.wine_command(*command), START_TIMEOUT_S)
            if run.code != code:
                sys.exit("%s exited with %d, not %d" % (name, run.code, code))
            if round_index:
                times[name].append(run.seconds)
    trivial = statistics.median(times[programs[1][0]])
    print("Time to exit under Wine (%d interleaved "
          "rounds), seconds, median [min-max]:" % rounds)
    for name, _, _ in programs:
        per_round = [t / u for t, u in zip(times[name],
                                           times[programs[1][0]])]
        print("  %-52s %s  ratio %.2f (rounds %.2f-%.2f)" % (
            name, b.median_range(times[name], 1, 3),
            statistics.median(times[name]) / trivial, min(per_round),
            max(per_round)))


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
    print("(whole process: from the start of `wine run_and_report.exe "
          "lite_installer.exe --silent` to its exit; the shares are of its "
          "median)")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--quick", action="store_true",
                        help="5 rounds, 2 installations")
    parser.add_argument("--runs", type=int)
    parser.add_argument("--installs", type=int)
    args = parser.parse_args()
    rounds = args.runs or (5 if args.quick else 30)
    installs = args.installs or (2 if args.quick else 5)

    b.prepare_wine()
    print("machine: %s" % b.machine_load())
    start_up(rounds)
    installations(installs)
    print("machine: %s" % b.machine_load())


if __name__ == "__main__":
    main()
