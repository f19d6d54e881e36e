#!/usr/bin/env python3
"""The installer's main job here: a silent installation under Wine against
the local services, which serve the signed stand-in setup package and play
the statistics host. Prints the exit code, where the log went and what the
services received. Run by tools/setup.sh after the build."""

import os
import shutil
import sys
import tempfile

REPO = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
BUILD = os.path.join(REPO, "build")
os.environ.update({
    "LITE_WINE_RUN": os.path.join(REPO, "tools", "wine", "run.sh"),
    "LITE_WINEPREFIX": os.path.join(BUILD, "wineprefix"),
    "LITE_INSTALLER_EXE": os.path.join(BUILD, "lite_installer.exe"),
    "LITE_LAUNCHER_EXE": os.path.join(BUILD, "run_and_report.exe"),
})
sys.path.insert(0, os.path.join(REPO, "test", "blackbox"))
import wine_harness as h  # noqa: E402


def main():
    check = h.subprocess.run([h.WINE_RUN, "--check"], capture_output=True,
                             text=True)
    if check.returncode != 0:
        print("Wine cannot run programs here: " + check.stdout.strip())
        return 0
    # The prefix, its server, and the development roots it trusts.
    h.subprocess.run([h.WINE_RUN, "--prefix", h.PREFIX, "--init"], check=True)
    h.wine([os.path.join(BUILD, "add_root_cert.exe"),
            h.windows_path(os.path.join(h.PKI, "code_signing", "root.pem")),
            h.windows_path(h.TLS_CA)])

    work = tempfile.mkdtemp(prefix="lite-main-job")
    try:
        package = os.path.join(work, "root", "browser", "zarvex",
                               "browser-setup.arc")
        os.makedirs(os.path.dirname(package))
        shutil.copy(os.path.join(BUILD, "browser-setup.arc"), package)
        services = h.start_local_services(os.path.join(work, "root"), work)
        # The stand-in setup records its command line here.
        record = os.path.join(BUILD, "setup_command_line.txt")
        if os.path.exists(record):
            os.remove(record)
        h.EXTRA_ENV["LITE_SETUP_STUB_RECORD_FILE"] = h.windows_path(record)
        try:
            print("Running lite_installer.exe --silent under Wine (prefix %s)"
                  % h.PREFIX)
            code, _ = h.run_installer("--silent", timeout=600)
            services.requests()  # lets the last requests be recorded
        finally:
            services.stop()
        print("exit_code=%d" % code)
        log = h.log_path()
        print("Log file: " + log)
        with open(log, "rb") as f:
            lines = f.read().decode("utf-8", "replace").splitlines()
        print("\n".join(lines[-15:]))
        if os.path.exists(record):
            print("The setup ran with the command line recorded in " + record)
            with open(record, encoding="utf-8", errors="replace") as f:
                print("  " + f.read().strip())
        else:
            print("The setup did not run.")
        print("The local services received:")
        for request in services.requests():
            print("  %-8s %s %s -> %d" % (request["role"], request["method"],
                                          request["raw_path"][:110],
                                          request["status"]))
    finally:
        shutil.rmtree(work, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
