#!/usr/bin/env python3
"""Local services: the installer's internet hosts, played on loopback.

One process, one listening port per role (download, legal, content,
experiments, webntp, stats, report, crash, config), all on 127.0.0.1. The
download host serves files from --root with Range support; the other hosts
accept anything, and serve a file from --root/<role>/ on GET when there is
one. Every request is appended to the --record file as one JSON line, and
faults read from the --faults file (re-read on every request) let a test make
a host misbehave. Prints "ready" once every port listens; stops when its
parent process ends, or on SIGTERM/SIGINT.

See the README's "Local services" section for the formats.
"""

import argparse
import ctypes
import http.server
import io
import json
import os
import signal
import socket
import socketserver
import ssl
import sys
import threading
import time
import urllib.parse

ROLES = ("download", "legal", "content", "experiments", "webntp", "stats",
         "report", "crash", "config")
DEFAULT_PORTS = {role: 18441 + i for i, role in enumerate(ROLES)}
CHUNK = 256 * 1024
IDLE_TIMEOUT = 120  # seconds a connection may stay silent
NO_BODY_STATUSES = (204, 304)


def warn(message):
    print("local_services: " + message, file=sys.stderr, flush=True)


class Faults:
    """The faults file, looked up per request, with the `times` counters.

    Counters are per key and live in memory; they start again from zero when
    the file is replaced by a new one (a test writing new faults)."""

    def __init__(self, path):
        self.path = path
        self.lock = threading.Lock()
        self.identity = None
        self.counts = {}

    def _load(self):
        try:
            st = os.stat(self.path)
            with open(self.path, encoding="utf-8") as f:
                table = json.load(f)
        except FileNotFoundError:
            return None, {}
        except (OSError, ValueError) as e:
            warn("faults file ignored: %s" % e)
            return None, {}
        if not isinstance(table, dict):
            warn("faults file ignored: not a JSON object")
            return None, {}
        return (st.st_ino, st.st_mtime_ns, st.st_size), table

    def match(self, role, path):
        """Returns (key, fault) for the request, or (None, {})."""
        if not self.path:
            return None, {}
        identity, table = self._load()
        key = None
        for candidate in (role + ":" + path, "*:" + path):
            if candidate in table:
                key = candidate
                break
        if key is None:
            # Keys whose path ends with "*" match by prefix, longest first.
            best = -1
            for candidate in table:
                who, _, pattern = candidate.partition(":")
                if (who in (role, "*") and pattern.endswith("*")
                        and path.startswith(pattern[:-1])
                        and len(pattern) > best):
                    key, best = candidate, len(pattern)
        if key is None:
            return None, {}
        entry = table[key]
        with self.lock:
            if identity != self.identity:
                self.identity = identity
                self.counts = {}
        return key, entry

    def use(self, key, entry, ranged=False):
        """The fault that applies to this request: `entry` itself, or the
        first fault of a list whose `if_range` (when given) says whether the
        request asked for a range and whose `times` is not spent. Counts one
        use of the fault it returns; {} when none applies."""
        faults = entry if isinstance(entry, list) else [entry]
        with self.lock:
            for index, fault in enumerate(faults):
                if not isinstance(fault, dict):
                    continue
                if "if_range" in fault and bool(fault["if_range"]) != ranged:
                    continue
                if "times" in fault:
                    used = self.counts.get((key, index), 0)
                    if used >= int(fault["times"]):
                        continue
                    self.counts[(key, index)] = used + 1
                return fault
        return {}


class Recorder:
    def __init__(self, path):
        self.lock = threading.Lock()
        self.file = open(path, "a", encoding="utf-8") if path else None

    def write(self, entry):
        if self.file is None:
            return
        line = json.dumps(entry, ensure_ascii=True) + "\n"
        with self.lock:
            self.file.write(line)
            self.file.flush()


def resolve(base, path):
    """The regular file under `base` that the decoded URL `path` names, or
    None (missing, a directory, or outside `base`)."""
    if "\0" in path:
        return None
    base = os.path.realpath(base)
    full = os.path.realpath(os.path.join(base, path.lstrip("/")))
    if os.path.commonpath([base, full]) != base or not os.path.isfile(full):
        return None
    return full


def parse_range(header, size):
    """(start, end inclusive) for a single `bytes=` range, "unsatisfiable",
    or None when the header is absent or not one we honour (then the whole
    file is served)."""
    if not header or not header.strip().startswith("bytes="):
        return None
    wanted = header.strip()[len("bytes="):].strip()
    if "," in wanted or "-" not in wanted:
        return None
    first, _, last = (s.strip() for s in wanted.partition("-"))
    try:
        if first == "":  # bytes=-N: the last N bytes
            suffix = int(last)
            if suffix <= 0:
                return "unsatisfiable"
            return max(0, size - suffix), size - 1
        start = int(first)
        end = int(last) if last else size - 1
    except ValueError:
        return None
    if start >= size:
        return "unsatisfiable"
    if end < start:
        return None
    return start, min(end, size - 1)


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "LocalServices/1"
    timeout = IDLE_TIMEOUT

    def __getattr__(self, name):
        # Every method (GET, POST, PUT, OPTIONS, ...) is served by one place.
        if name.startswith("do_"):
            return self.serve
        raise AttributeError(name)

    def log_message(self, format, *args):
        pass

    def version_string(self):
        return self.server_version

    def send_response(self, code, message=None):
        self.status_sent = code
        super().send_response(code, message)

    def flush_headers(self):
        trickle = getattr(self, "trickle", 0)
        if not trickle or not getattr(self, "_headers_buffer", None):
            return super().flush_headers()
        # One byte of the status line and headers at a time.
        data = b"".join(self._headers_buffer)
        self._headers_buffer = []
        for i in range(len(data)):
            self.wfile.write(data[i:i + 1])
            self.wfile.flush()
            time.sleep(trickle)

    # -- one request --------------------------------------------------------

    def serve(self):
        received = time.time()
        self.status_sent = 0
        self.bytes_sent = 0
        # The target exactly as received (self.path may have been tidied up).
        raw_path = self.requestline.split()[1]
        target = raw_path
        if not target.startswith("/") and "://" in target:
            parts = urllib.parse.urlsplit(target)
            target = parts.path + ("?" + parts.query if parts.query else "")
        path_raw, _, query = target.partition("?")
        path = urllib.parse.unquote(path_raw, errors="replace")
        body_size = 0
        try:
            body_size = self.read_body()
            self.respond(path, path_raw, query)
        finally:
            self.server.recorder.write({
                "time": received,
                "role": self.server.role,
                "method": self.command,
                "path": path,
                "query": query,
                "raw_path": raw_path,
                "headers": self.header_dict(),
                "body_size": body_size,
                "status": self.status_sent,
                "bytes_sent": self.bytes_sent,
            })

    def header_dict(self):
        headers = {}
        for name, value in self.headers.items():
            headers[name] = headers[name] + ", " + value if name in headers \
                else value
        return headers

    def read_body(self):
        """Reads the request body (Content-Length or chunked) and returns its
        size."""
        if "chunked" in self.headers.get("Transfer-Encoding", "").lower():
            total = 0
            while True:
                line = self.rfile.readline(65537)
                if not line:
                    raise ConnectionError("request body cut short")
                size = int(line.split(b";")[0].strip() or b"0", 16)
                if size == 0:
                    while self.rfile.readline(65537) not in (b"\r\n", b"\n",
                                                             b""):
                        pass  # trailer lines
                    return total
                total += self.discard(size)
                self.rfile.readline(65537)
        length = int(self.headers.get("Content-Length") or 0)
        return self.discard(length)

    def discard(self, count):
        left = count
        while left:
            data = self.rfile.read(min(left, CHUNK))
            if not data:
                raise ConnectionError("request body cut short")
            left -= len(data)
        return count

    def respond(self, path, path_raw, query):
        faults = self.server.faults
        key, entry = faults.match(self.server.role, path)
        fault = entry if isinstance(entry, dict) else {}
        params = [p for p in query.split("&") if p] if query else []
        hops = [p[4:] for p in params if p.startswith("hop=")]
        chain = int(fault.get("redirect_chain", 0))
        if chain and hops and hops[-1].isdigit():
            # A later step of a redirect chain: keeps the fault it started
            # with and is not counted again.
            hop = int(hops[-1])
        else:
            fault = faults.use(key, entry, "Range" in self.headers)
            chain = int(fault.get("redirect_chain", 0))
            hop = 0
        if fault.get("no_answer"):
            # The connection ends without a byte of answer.
            self.close_connection = True
            self.was_cut = True
            return
        hang = float(fault.get("hang", 0))
        if hang > 0:
            # The request was read, and no answer comes.
            self.close_connection = True
            time.sleep(hang)
            return
        if hop < chain:
            kept = [p for p in params if not p.startswith("hop=")]
            location = path_raw + "?" + "&".join(kept + ["hop=%d" % (hop + 1)])
            return self.send_small(302, fault, {"Location": location})
        if "redirect" in fault:
            return self.send_small(int(fault.get("status", 302)), fault,
                                   {"Location": fault["redirect"]})
        if "status" in fault:
            return self.send_small(int(fault["status"]), fault)

        role = self.server.role
        reading = self.command in ("GET", "HEAD")
        if role == "download":
            if not reading:
                return self.send_small(405, fault, {"Allow": "GET, HEAD"})
            found = resolve(self.server.root, path)
            if found is None:
                return self.send_small(404, fault)
            return self.send_file(found, fault)
        found = resolve(os.path.join(self.server.root, role), path) \
            if reading else None
        if found is not None:
            return self.send_file(found, fault)
        return self.send_small(200, fault, body=b"" if reading else b"ok\n")

    # -- answers -------------------------------------------------------------

    def send_small(self, status, fault, headers=None, body=None):
        if body is None:
            body = ("%d %s\n" % (status, self.responses.get(
                status, ("",))[0])).encode()
        if status in NO_BODY_STATUSES:
            body = b""
        headers = dict(headers or {})
        headers["Content-Type"] = "text/plain"
        self.send_body(status, io.BytesIO(body), 0, len(body), headers, fault)

    def send_file(self, file_path, fault):
        size = os.path.getsize(file_path)
        wanted = None
        if not fault.get("ignore_range"):
            wanted = parse_range(self.headers.get("Range"), size)
        if wanted == "unsatisfiable":
            return self.send_small(416, fault,
                                   {"Content-Range": "bytes */%d" % size})
        headers = {"Content-Type": "application/octet-stream",
                   "Accept-Ranges": "bytes"}
        status, start, count = 200, 0, size
        if wanted is not None:
            start, end = wanted
            # A server that answers a range from another place than asked.
            start = max(0, start - int(fault.get("range_shift", 0)))
            status, count = 206, end - start + 1
            headers["Content-Range"] = "bytes %d-%d/%d" % (start, end, size)
        with open(file_path, "rb", buffering=0) as f:
            self.send_body(status, f, start, count, headers, fault)

    def send_body(self, status, source, start, count, headers, fault):
        """Sends status, headers and `count` bytes of `source` from `start`,
        misbehaving as `fault` says."""
        self.trickle = float(fault.get("trickle", 0))
        self.send_response(status)
        headers = dict(headers)
        extra = fault.get("headers")
        if isinstance(extra, dict):
            headers.update((str(k), str(v)) for k, v in extra.items())
        for name in fault.get("drop_headers", []):
            headers.pop(name, None)
        for name, value in headers.items():
            self.send_header(name, value)
        filler = int(fault.get("header_bytes", 0))
        if filler > 0:
            # Header lines of 1000 bytes each until there are `filler`
            # bytes of them, sent as they are made.
            self.flush_headers()
            line_number = 0
            while filler > 0:
                value = "x" * max(1, min(filler, 1000) - 20)
                line = "X-Filler-%d: %s\r\n" % (line_number, value)
                self.wfile.write(line.encode())
                filler -= len(line)
                line_number += 1
        if fault.get("endless"):
            # 200 with no length and a body that never ends.
            self.send_header("Connection", "close")
            self.close_connection = True
            self.end_headers()
            chunk = bytes(CHUNK)
            while True:
                self.connection.sendall(chunk)
                self.bytes_sent += len(chunk)
        if fault.get("chunked"):
            return self.send_chunked(source, start, count, fault)
        length = fault.get("content_length")
        if length == "missing":
            self.send_header("Connection", "close")
            self.close_connection = True
        else:
            self.send_header("Content-Length",
                             str(count if length is None else int(length)))
            if length is not None:
                # The real body follows a wrong length; close after it so
                # the client is not left to mistake it for the next answer.
                self.close_connection = True
        self.end_headers()
        if self.command == "HEAD" or status in NO_BODY_STATUSES:
            return
        cut = fault.get("cut_after")
        limit = count if cut is None else min(count, int(cut))
        stall = float(fault.get("stall", 0))
        stall_at = min(int(fault.get("stall_after", 0)), limit)
        source.seek(start)
        if stall > 0:
            self.send_from(source, stall_at)
            time.sleep(stall)
            self.send_from(source, limit - stall_at)
        else:
            self.send_from(source, limit)
        if cut is not None:
            self.cut_connection()

    def cut_connection(self):
        """Ends the connection at once: a TCP FIN with no TLS close_notify, as
        when a network path breaks mid-answer."""
        self.close_connection = True
        self.was_cut = True
        try:
            socket.socket.shutdown(self.connection, socket.SHUT_RDWR)
        except OSError:
            pass

    def send_chunked(self, source, start, count, fault):
        """The body in chunks of up to CHUNK bytes; `cut_after` ends the
        connection after that many body bytes, inside a chunk."""
        self.send_header("Transfer-Encoding", "chunked")
        self.end_headers()
        if self.command == "HEAD":
            return
        cut = fault.get("cut_after")
        source.seek(start)
        left, sent = count, 0
        while left > 0:
            size = min(left, CHUNK)
            data = source.read(size)
            self.connection.sendall(b"%x\r\n" % size)
            if cut is not None and sent + size > int(cut):
                self.connection.sendall(data[:int(cut) - sent])
                self.bytes_sent += int(cut) - sent
                self.cut_connection()
                return
            self.connection.sendall(data + b"\r\n")
            self.bytes_sent += size
            sent += size
            left -= size
        self.connection.sendall(b"0\r\n\r\n")

    def send_from(self, source, count):
        view = memoryview(bytearray(CHUNK))
        while count > 0:
            n = source.readinto(view[:min(count, CHUNK)])
            if not n:
                raise OSError("file shorter than expected")
            self.connection.sendall(view[:n])
            self.bytes_sent += n
            count -= n


class RoleServer(socketserver.ThreadingMixIn, http.server.HTTPServer):
    """One role's listening port; a thread per connection."""
    daemon_threads = True
    request_queue_size = 128

    def __init__(self, role, port, root, tls, faults, recorder):
        self.role, self.root, self.tls = role, root, tls
        self.faults, self.recorder = faults, recorder
        super().__init__(("127.0.0.1", port), Handler)

    def finish_request(self, request, client_address):
        # Runs in the connection's own thread, so a slow TLS handshake holds
        # up nobody else.
        conn, handler = request, None
        try:
            request.settimeout(IDLE_TIMEOUT)
            if self.tls is not None:
                try:
                    conn = self.tls.wrap_socket(request, server_side=True)
                except (ssl.SSLEOFError, ssl.SSLZeroReturnError):
                    return  # gone before a word: a port probe
                except ssl.SSLError as e:
                    warn("%s: TLS handshake with %s:%d failed: %s"
                         % (self.role, client_address[0], client_address[1],
                            e))
                    return
            handler = self.RequestHandlerClass(conn, client_address, self)
        except OSError:
            pass  # the client went away
        finally:
            self.end_connection(conn, getattr(handler, "was_cut", False))

    def end_connection(self, conn, was_cut):
        if isinstance(conn, ssl.SSLSocket) and not was_cut:
            try:
                conn.settimeout(1)
                conn.unwrap()  # close_notify: a clean end of the body
            except (OSError, ValueError):
                pass
        try:
            conn.close()
        except OSError:
            pass

    def shutdown_request(self, request):
        pass  # end_connection has closed it

    def handle_error(self, request, client_address):
        kind = sys.exc_info()[0]
        if kind is not None and not issubclass(kind, OSError):
            super().handle_error(request, client_address)  # a bug: show it


def parse_ports(text, offset):
    ports = {role: port + offset for role, port in DEFAULT_PORTS.items()}
    for item in filter(None, (text or "").split(",")):
        role, sep, port = item.partition("=")
        role = role.strip()
        if not sep or role not in ROLES or not port.strip().isdigit():
            raise ValueError("bad --ports entry %r (roles: %s)"
                             % (item, ", ".join(ROLES)))
        ports[role] = int(port)
    return ports


def die_with_parent():
    parent = os.getppid()
    try:
        libc = ctypes.CDLL(None, use_errno=True)
        libc.prctl(1, signal.SIGTERM, 0, 0, 0)  # PR_SET_PDEATHSIG
    except (OSError, AttributeError):
        pass

    def watch():
        while os.getppid() == parent:
            time.sleep(0.5)
        os.kill(os.getpid(), signal.SIGTERM)

    if parent == 1:
        return  # started by init: nothing to watch
    threading.Thread(target=watch, daemon=True).start()


def main(argv=None):
    parser = argparse.ArgumentParser(
        description="Plays the installer's internet hosts on loopback.")
    parser.add_argument("--root", required=True,
                        help="folder whose files the hosts serve")
    parser.add_argument("--cert", help="TLS certificate (PEM)")
    parser.add_argument("--key", help="TLS private key (PEM)")
    parser.add_argument("--plain", action="store_true",
                        help="serve plain HTTP instead of HTTPS")
    parser.add_argument("--ports", help="role=port,... to override defaults")
    parser.add_argument("--port-offset", type=int, default=0,
                        help="added to every default port")
    parser.add_argument("--record", help="append one JSON line per request")
    parser.add_argument("--faults", help="JSON file of faults per path")
    args = parser.parse_args(argv)

    def fail(message):
        warn(message)
        return 2

    if not os.path.isdir(args.root):
        return fail("--root %s is not a folder" % args.root)
    tls = None
    if not args.plain:
        if not (args.cert and args.key):
            return fail("--cert and --key are needed (or --plain)")
        tls = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        tls.minimum_version = ssl.TLSVersion.TLSv1_2
        try:
            tls.load_cert_chain(args.cert, args.key)
        except (OSError, ssl.SSLError) as e:
            return fail("cannot load the certificate or key: %s" % e)
    try:
        ports = parse_ports(args.ports, args.port_offset)
        recorder = Recorder(args.record)
    except (ValueError, OSError) as e:
        return fail(str(e))
    faults = Faults(args.faults)

    stop = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: stop.set())
    signal.signal(signal.SIGINT, lambda *_: stop.set())
    die_with_parent()

    servers = []
    for role, port in ports.items():
        try:
            servers.append(RoleServer(role, port, args.root, tls, faults,
                                      recorder))
        except OSError as e:
            for server in servers:
                server.server_close()
            return fail("%s: cannot listen on 127.0.0.1:%d: %s"
                        % (role, port, e.strerror or e))
    for server in servers:
        threading.Thread(target=server.serve_forever, args=(0.2,),
                         daemon=True).start()
    print("ready", flush=True)

    while not stop.wait(0.5):
        pass
    for server in servers:
        server.server_close()
    sys.stderr.flush()
    # Connection threads may be asleep in a stall: do not wait for them.
    os._exit(0)


if __name__ == "__main__":
    sys.exit(main())
