"""Starts the local services for a test and reads what they recorded.

    import client
    services = client.start(root, record, faults, cert, key)
    services.set_faults({"download:/pkg.bin": {"cut_after": 1000, "times": 1}})
    url = services.url("download", "/pkg.bin")
    ...
    print(services.requests("stats"))
    services.stop()

With cert and key both None the services speak plain HTTP.

The services end when the thread that started them ends (Linux's parent
death signal follows the thread), so start them from a thread that lives as
long as the test: the main thread, or setUpClass.
"""

import json
import os
import runpy
import subprocess
import sys
import tempfile
import threading
import time

SERVER = os.path.join(os.path.dirname(os.path.abspath(__file__)),
                      "local_services.py")
DEFAULT_PORTS = runpy.run_path(SERVER)["DEFAULT_PORTS"]


class Services:
    def __init__(self, process, relay, record, faults, ports, scheme):
        self.process = process
        self.relay = relay
        self.record = record
        self.faults = faults
        self.ports = ports
        self.scheme = scheme

    def url(self, role, path="/"):
        return "%s://localhost:%d%s" % (self.scheme, self.ports[role], path)

    def requests(self, role=None, settle=0.1):
        """The recorded requests, oldest first, of one role or of all.

        A request is recorded just after its answer has gone out, so a
        client can see the answer a moment before the record has it: this
        waits until the record has not grown for `settle` seconds."""
        text, since = None, time.monotonic()
        deadline = since + 5
        while time.monotonic() < deadline:
            try:
                with open(self.record, encoding="utf-8") as f:
                    now = f.read()
            except FileNotFoundError:
                now = ""
            if now != text:
                text, since = now, time.monotonic()
            elif time.monotonic() - since >= settle:
                break
            time.sleep(0.02)
        lines = text.splitlines()
        entries = [json.loads(line) for line in lines if line.strip()]
        return [e for e in entries if role is None or e["role"] == role]

    def clear_requests(self):
        # The server appends, so it carries on at the new end.
        open(self.record, "w").close()

    def set_faults(self, faults):
        """Replaces the faults (and restarts their `times` counts)."""
        folder = os.path.dirname(os.path.abspath(self.faults))
        fd, temp = tempfile.mkstemp(dir=folder, prefix=".faults")
        with os.fdopen(fd, "w", encoding="utf-8") as f:
            json.dump(faults, f)
        os.replace(temp, self.faults)

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        self.relay.join(5)
        self.process.stdout.close()
        self.process.stderr.close()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stop()


def start(root, record, faults, cert, key, port_offset=0, timeout=20):
    """Starts the services as a child process and returns once every port
    listens. Raises RuntimeError with the server's message when it cannot
    start (a port in use, for one)."""
    command = [sys.executable, SERVER, "--root", root, "--record", record,
               "--faults", faults, "--port-offset", str(port_offset)]
    if cert is None and key is None:
        command.append("--plain")
        scheme = "http"
    else:
        command += ["--cert", cert, "--key", key]
        scheme = "https"
    process = subprocess.Popen(command, stdout=subprocess.PIPE,
                               stderr=subprocess.PIPE, text=True)
    errors = []

    def relay_errors():
        for line in process.stderr:
            errors.append(line)
            sys.stderr.write(line)

    relay = threading.Thread(target=relay_errors, daemon=True)
    relay.start()
    line = [None]
    reader = threading.Thread(
        target=lambda: line.__setitem__(0, process.stdout.readline()),
        daemon=True)
    reader.start()
    reader.join(timeout)
    if line[0] != "ready\n":
        if process.poll() is None:
            process.kill()
        process.wait()
        relay.join(5)
        process.stdout.close()
        process.stderr.close()
        raise RuntimeError("local services did not start (exit %s): %s"
                           % (process.returncode, "".join(errors).strip()))
    ports = {role: port + port_offset for role, port in DEFAULT_PORTS.items()}
    return Services(process, relay, record, faults, ports, scheme)
