#!/usr/bin/env python3
"""A small HTTP server on 127.0.0.1 that answers well or badly on purpose, for tests of HTTP clients.

Usage as a program (runs until SIGTERM or Ctrl-C):
    fault_server.py [--port N]... [--ready-file FILE] [--log FILE] [--rewrite PATH=MODEPATH]...
Each --port adds a listening port (0, the default, picks a free one). Once every port listens, one line
"fault_server: listening on 127.0.0.1:N" per port goes to stdout and, with --ready-file, the ports are
written to FILE (one a line), so a caller can wait for the file. --log appends every request head to FILE.
--rewrite serves the mode path MODEPATH for requests of exactly PATH, for clients whose path is fixed
(the installer asks for /veltaragame/client/VeltaraClient.zip); rewrites can be changed while serving.

Usage as a module (from a test driver):
    from fault_server import FaultServer
    with FaultServer(ports=[0]) as srv:      # srv.ports lists the bound ports, srv.requests the request heads
        srv.rewrites["/some/fixed/path.zip"] = "/cut/1000/500"
        ...

The request target may be the origin form ("GET /normal/10 HTTP/1.1") or the absolute form that a client
sends to an explicit proxy ("GET http://127.0.0.1/normal/10 HTTP/1.1"); both are served alike, so the
server can stand in for a proxy. Every answer closes the connection afterwards.

Modes, chosen by the path (sizes in bytes, times in milliseconds; extra trailing segments are ignored, so
"/normal/1000/package.zip" works too). Body byte i is i % 251 unless said otherwise.
    /normal/<n>                200 with Content-Length n; honours "Range: bytes=a-" with 206 (but not If-Range,
                               as some simple servers do); ETag "pattern-<n>", a fixed Last-Modified
    /norange/<n>               like /normal, but every answer is a 200 with the whole body (Range ignored)
    /shiftrange/<n>/<k>        like /normal, but a range request for a- is answered with bytes a+k- and a
                               Content-Range that says so
    /othertotal/<n>/<total>    like /normal, but a 206 names <total> as the resource's length
    /partial/<n>               206 with "Content-Range: bytes 0-<n-1>/<n>" to every request, range or not
    /long/<declared>/<sent>    Content-Length declared, but <sent> bytes follow (more than declared)
    /404[/<n>]                 404 with an HTML page of exactly n bytes (default 300) and its Content-Length
    /gzip/<n>                  the gzip-compressed body of n bytes, "Content-Encoding: gzip", compressed length
    /noclen/<n>                200 without Content-Length; the body ends when the connection closes
    /cut/<declared>/<sent>     Content-Length declared, only <sent> bytes, then the connection is closed
    /stall/<ms>/<n>[/<at>]     Content-Length n; <at> bytes (default n/2), then nothing for ms, then the rest
    /stallhead/<ms>/<n>        nothing at all for ms, then an ordinary answer of n bytes
    /splithead/<ms>/<n>        the status line, nothing for ms, then the header lines and n body bytes
    /trickle/<n>/<chunk>/<ms>  Content-Length n, sent <chunk> bytes at a time with a pause of ms between
    /chunked/<n>               chunked transfer coding, 4096-byte chunks
    /chunkcut/<n>/<sent>       chunked, but the connection closes after <sent> bytes without the last chunk
    /echo                      200, text/plain: the request head as received (request line, headers, empty
                               line) followed by the request body, if any
    /drop                      no answer at all: the connection is closed right after the request
    /connections/<port>        200, text/plain: how many connections the server has accepted on that port
    /file/<name>               the bytes of the file the owner registered under <name> (FaultServer.files,
                               name -> path; read at each request), with an ETag and a Last-Modified from
                               its size and time; honours Range (206) and If-Range (a range only while the
                               validator still holds), as nginx does
    /plan/<name>/<a0>/<a1>/... the registered file, answer k to that path (counted per path) as <ak> says,
                               answers beyond the list as "ok". An answer is "ok" (as /file) or faults joined
                               by "+": cut<P> (the connection closes once the body reached P percent of the
                               file), norange (a 200 with the whole file, Range ignored), shift (a range
                               granted 1000 bytes later than asked, said so in Content-Range), total (a 206
                               naming another length), partial (a 206 to a request without a range), newtag
                               (from now on the file has changed: every byte XOR 0x5A, another ETag and
                               Last-Modified, and If-Range is ignored), long (Content-Length 1000 short of the
                               bytes sent), stall<ms> (half the body, then nothing for ms, then the rest)
The owner's bytes_sent counts every body byte sent, per request path.
"""
import argparse
import email.utils
import gzip
import os
import signal
import socket
import sys
import threading
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

PATTERN_PERIOD = 251
_BLOCK = bytes(range(PATTERN_PERIOD)) * 4096  # about 1 MB, a whole number of periods
_CHANGED = bytes(b ^ 0x5A for b in range(256))  # a changed file's bytes (/plan "newtag")


def pattern(start, n):
    """Body bytes start .. start+n-1 of the pattern (byte i is i % 251)."""
    out = bytearray()
    pos = start
    while len(out) < n:
        off = pos % PATTERN_PERIOD
        take = min(n - len(out), len(_BLOCK) - off)
        out += _BLOCK[off:off + take]
        pos += take
    return bytes(out)


def _not_found_page(n):
    head = b"<html><head><title>404 Not Found</title></head><body><h1>Not Found</h1><p>"
    tail = b"</p></body></html>\n"
    fill = max(0, n - len(head) - len(tail))
    page = head + b"." * fill + tail
    return page[:n] if len(page) > n else page


class _Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "FaultServer/1.0"
    sys_version = ""

    def log_message(self, fmt, *args):  # quiet: the owner keeps the request heads instead
        pass

    # --- plumbing -------------------------------------------------------------------------------------
    def _head_text(self):
        return self.raw_requestline.decode("latin-1") + "".join(
            "%s: %s\r\n" % (k, v) for k, v in self.headers.items())

    def _path_parts(self):
        target = self.path
        for scheme in ("http://", "https://"):
            if target.lower().startswith(scheme):
                rest = target[len(scheme):]
                slash = rest.find("/")
                target = rest[slash:] if slash >= 0 else "/"
                break
        target = target.split("?", 1)[0]
        target = self.server.owner.rewrites.get(target, target)
        return [p for p in target.split("/") if p]

    def _stopping(self, seconds):
        """Sleeps, but returns True at once when the server is being stopped."""
        return self.server.owner.stop_event.wait(seconds)

    def _start(self, code, headers):
        self.send_response(code)
        for k, v in headers:
            self.send_header(k, v)
        self.send_header("Connection", "close")
        self.end_headers()
        self.close_connection = True

    def _send(self, data, body=True):
        self.wfile.write(data)
        self.wfile.flush()
        if body:
            self.server.owner.count_sent(self.path_key, len(data))

    def _cut(self):
        """Ends the connection at once, without a proper end of the body."""
        self.wfile.flush()
        try:
            self.connection.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass
        self.close_connection = True

    # --- dispatch -------------------------------------------------------------------------------------
    def do_GET(self):
        self._serve(body_allowed=True)

    def do_POST(self):
        length = int(self.headers.get("Content-Length") or 0)
        self._posted = self.rfile.read(length) if length > 0 else b""
        self._serve(body_allowed=True)

    def do_DELETE(self):
        self._serve(body_allowed=True)

    def do_HEAD(self):
        self._serve(body_allowed=False)

    def _serve(self, body_allowed):
        self.server.owner.record(self._head_text())
        parts = self._path_parts()
        self.path_key = "/" + "/".join(parts)
        mode = parts[0] if parts else ""
        args = parts[1:]
        try:
            handler = getattr(self, "_mode_" + mode, None)
            if handler is None:
                self._simple(404, _not_found_page(300), "text/html", body_allowed)
                return
            handler(args, body_allowed)
        except (BrokenPipeError, ConnectionResetError, ConnectionAbortedError):
            self.close_connection = True
        except (ValueError, IndexError):
            self._simple(400, b"bad arguments\n", "text/plain", body_allowed)

    def _simple(self, code, body, ctype, body_allowed, extra=()):
        self._start(code, [("Content-Type", ctype), ("Content-Length", str(len(body)))] + list(extra))
        if body_allowed:
            self._send(body)

    @staticmethod
    def _num(args, i, default=None):
        if i < len(args) and args[i].isdigit():
            return int(args[i])
        if default is None:
            raise ValueError("missing number")
        return default

    def _stream(self, start, n, chunk=1 << 20, pause=0.0):
        sent = 0
        while sent < n:
            take = min(chunk, n - sent)
            self._send(pattern(start + sent, take))
            sent += take
            if pause and sent < n and self._stopping(pause):
                self._cut()
                return False
        return True

    # --- modes ----------------------------------------------------------------------------------------
    def _mode_normal(self, args, body_allowed):
        n = self._num(args, 0)
        start = 0
        rng = self.headers.get("Range", "")
        if rng.startswith("bytes=") and rng.endswith("-") and rng[6:-1].isdigit():
            start = int(rng[6:-1])
            if start >= n:
                self._simple(416, b"", "text/plain", body_allowed, [("Content-Range", "bytes */%d" % n)])
                return
        self._ranged_pattern(n, start, body_allowed)

    def _ranged_pattern(self, n, start, body_allowed, shown_start=None, shown_total=None, status=None):
        """Bytes start.. of the pattern resource of n bytes: a 206 from a start above 0, else a 200."""
        headers = [("Content-Type", "application/octet-stream"), ("Content-Length", str(n - start)),
                   ("Last-Modified", "Mon, 01 Jan 2024 00:00:00 GMT"), ("ETag", '"pattern-%d"' % n)]
        status = status or (206 if start else 200)
        if status == 206:
            first = start if shown_start is None else shown_start
            headers.append(("Content-Range", "bytes %d-%d/%d" % (first, n - 1, n if shown_total is None
                                                                   else shown_total)))
        self._start(status, headers)
        if body_allowed:
            self._stream(start, n - start)

    def _asked_start(self):
        """The a of "Range: bytes=a-", or 0."""
        rng = self.headers.get("Range", "")
        if rng.startswith("bytes=") and rng.endswith("-") and rng[6:-1].isdigit():
            return int(rng[6:-1])
        return 0

    def _mode_norange(self, args, body_allowed):
        self._ranged_pattern(self._num(args, 0), 0, body_allowed)

    def _mode_shiftrange(self, args, body_allowed):
        n, k = self._num(args, 0), self._num(args, 1)
        start = self._asked_start()
        if start == 0:
            self._ranged_pattern(n, 0, body_allowed)
        else:
            self._ranged_pattern(n, min(start + k, n - 1), body_allowed)

    def _mode_othertotal(self, args, body_allowed):
        n, total = self._num(args, 0), self._num(args, 1)
        start = min(self._asked_start(), n - 1)
        self._ranged_pattern(n, start, body_allowed, shown_total=total if start else None)

    def _mode_partial(self, args, body_allowed):
        n = self._num(args, 0)
        self._ranged_pattern(n, 0, body_allowed, status=206)

    def _mode_long(self, args, body_allowed):
        declared, sent = self._num(args, 0), self._num(args, 1)
        self._start(200, [("Content-Type", "application/octet-stream"), ("Content-Length", str(declared))])
        if body_allowed:
            self._stream(0, sent)
        self._cut()

    def _mode_404(self, args, body_allowed):
        self._simple(404, _not_found_page(self._num(args, 0, 300)), "text/html", body_allowed)

    def _mode_gzip(self, args, body_allowed):
        body = gzip.compress(pattern(0, self._num(args, 0)), mtime=0)
        self._simple(200, body, "application/octet-stream", body_allowed, [("Content-Encoding", "gzip")])

    def _mode_noclen(self, args, body_allowed):
        n = self._num(args, 0)
        self._start(200, [("Content-Type", "application/octet-stream")])
        if body_allowed:
            self._stream(0, n)

    def _mode_cut(self, args, body_allowed):
        declared, sent = self._num(args, 0), self._num(args, 1)
        self._start(200, [("Content-Type", "application/octet-stream"), ("Content-Length", str(declared))])
        if body_allowed:
            self._stream(0, min(sent, declared))
        self._cut()

    def _mode_stall(self, args, body_allowed):
        ms, n = self._num(args, 0), self._num(args, 1)
        at = min(self._num(args, 2, n // 2), n)
        self._start(200, [("Content-Type", "application/octet-stream"), ("Content-Length", str(n))])
        if not body_allowed:
            return
        self._stream(0, at)
        if self._stopping(ms / 1000.0):
            self._cut()
            return
        self._stream(at, n - at)

    def _mode_stallhead(self, args, body_allowed):
        ms, n = self._num(args, 0), self._num(args, 1)
        if self._stopping(ms / 1000.0):
            self._cut()
            return
        self._mode_normal([str(n)], body_allowed)

    def _mode_splithead(self, args, body_allowed):
        ms, n = self._num(args, 0), self._num(args, 1)
        self._send(b"HTTP/1.1 200 OK\r\n", body=False)
        if self._stopping(ms / 1000.0):
            self._cut()
            return
        self._send(b"Content-Type: application/octet-stream\r\nContent-Length: %d\r\nConnection: close\r\n\r\n" % n,
                   body=False)
        self.close_connection = True
        if body_allowed:
            self._stream(0, n)

    def _mode_trickle(self, args, body_allowed):
        n, chunk, ms = self._num(args, 0), max(1, self._num(args, 1)), self._num(args, 2)
        self._start(200, [("Content-Type", "application/octet-stream"), ("Content-Length", str(n))])
        if body_allowed:
            self._stream(0, n, chunk=chunk, pause=ms / 1000.0)

    def _chunked(self, n, sent_limit):
        self._start(200, [("Content-Type", "application/octet-stream"), ("Transfer-Encoding", "chunked")])
        pos = 0
        while pos < n:
            take = min(4096, n - pos)
            data = pattern(pos, take)
            if pos + take > sent_limit:
                self._send(b"%x\r\n" % take + data[:sent_limit - pos])
                self._cut()
                return
            self._send(b"%x\r\n" % take + data + b"\r\n")
            pos += take
        self._send(b"0\r\n\r\n")

    def _mode_chunked(self, args, body_allowed):
        n = self._num(args, 0)
        if body_allowed:
            self._chunked(n, n)
        else:
            self._start(200, [("Transfer-Encoding", "chunked")])

    def _mode_chunkcut(self, args, body_allowed):
        n, sent = self._num(args, 0), self._num(args, 1)
        if body_allowed:
            self._chunked(n, min(sent, n - 1))
        else:
            self._start(200, [("Transfer-Encoding", "chunked")])

    def _mode_connections(self, args, body_allowed):
        count = self.server.owner.accepted.get(self._num(args, 0), 0)
        self._simple(200, b"%d" % count, "text/plain", body_allowed)

    def _mode_file(self, args, body_allowed):
        self._serve_file(args[0] if args else None, "ok", body_allowed)

    def _mode_plan(self, args, body_allowed):
        name, plan = (args[0] if args else None), args[1:]
        k = self.server.owner.count_hit(self.path_key)
        self._serve_file(name, plan[k] if k < len(plan) else "ok", body_allowed)

    def _serve_file(self, name, answer, body_allowed):
        """The registered file, answered as answer says (see /plan)."""
        owner = self.server.owner
        path = owner.files.get(name) if name else None
        if path is None or not os.path.isfile(path):
            self._simple(404, _not_found_page(300), "text/html", body_allowed)
            return
        faults = set(answer.split("+"))
        st = os.stat(path)
        n = st.st_size
        if "newtag" in faults:
            owner.changed.add(name)
        changed = name in owner.changed
        version = "%x-%x%s" % (n, int(st.st_mtime), "-changed" if changed else "")
        etag = '"%s"' % version
        modified = email.utils.formatdate(st.st_mtime + (86400 if changed else 0), usegmt=True)
        start = self._asked_start()
        if_range = self.headers.get("If-Range")
        if if_range is not None and if_range not in (etag, modified) and not changed:
            start = 0  # the validator no longer holds: the whole new file
        if "norange" in faults or start >= n:
            start = 0
        shown_start, shown_total, status = start, n, 206 if start else 200
        if "shift" in faults and start:
            start = min(start + 1000, n - 1)
            shown_start = start
        if "total" in faults and start:
            shown_total = n + 1
        if "partial" in faults:
            status = 206
        length = n - start
        headers = [("Content-Type", "application/octet-stream"), ("ETag", etag), ("Last-Modified", modified),
                   ("Accept-Ranges", "bytes"), ("Content-Length", str(length - 1000 if "long" in faults else length))]
        if status == 206:
            headers.append(("Content-Range", "bytes %d-%d/%d" % (shown_start, n - 1, shown_total)))
        self._start(status, headers)
        if not body_allowed:
            return
        end = n
        for f in faults:
            if f.startswith("cut") and f[3:].isdigit():
                end = max(start, min(n, n * int(f[3:]) // 100))
        stall = [int(f[5:]) for f in faults if f.startswith("stall") and f[5:].isdigit()]
        with open(path, "rb") as f:
            f.seek(start)
            pos = start
            half = start + (end - start) // 2
            while pos < end:
                take = min(1 << 20, end - pos, (half - pos) if stall and pos < half else end - pos)
                data = f.read(take)
                if not data:
                    break
                if changed:
                    data = data.translate(_CHANGED)
                self._send(data)
                pos += len(data)
                if stall and pos == half and self._stopping(stall[0] / 1000.0):
                    self._cut()
                    return
        if end < n:
            self._cut()

    def _mode_drop(self, _args, _body_allowed):
        self._cut()

    def _mode_echo(self, _args, body_allowed):
        body = self._head_text().encode("latin-1") + b"\r\n" + getattr(self, "_posted", b"")
        self._simple(200, body, "text/plain", body_allowed)


class _Server(ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True
    request_queue_size = 64

    def get_request(self):
        conn, addr = super().get_request()
        self.owner.count_connection(self.server_address[1])
        return conn, addr


class FaultServer:
    """Listens on 127.0.0.1 on the given ports (0 picks a free one) and serves the fault modes."""

    def __init__(self, ports=(0,), host="127.0.0.1", log_path=None, rewrites=None, files=None):
        self.host = host
        self.rewrites = dict(rewrites or {})  # request path -> mode path
        self.files = dict(files or {})  # name -> path of a file served by /file/<name>
        self.stop_event = threading.Event()
        self.requests = []
        self.accepted = {}  # port -> connections accepted (also those that never sent a valid request)
        self.bytes_sent = {}  # request path (after rewrites) -> body bytes sent
        self.hits = {}  # request path -> answers given (for /plan)
        self.changed = set()  # names of files that /plan has changed ("newtag")
        self._lock = threading.Lock()
        self._log_path = log_path
        self._servers = []
        self._threads = []
        for port in ports:
            srv = _Server((host, port), _Handler)
            srv.owner = self
            self._servers.append(srv)
        self.ports = [s.server_address[1] for s in self._servers]

    def record(self, head):
        with self._lock:
            self.requests.append(head)
            if self._log_path:
                with open(self._log_path, "a", encoding="latin-1") as f:
                    f.write(head + "\r\n")

    def count_sent(self, key, n):
        with self._lock:
            self.bytes_sent[key] = self.bytes_sent.get(key, 0) + n

    def count_hit(self, key):
        """The number of earlier answers to this path; counts this one."""
        with self._lock:
            k = self.hits.get(key, 0)
            self.hits[key] = k + 1
            return k

    def count_connection(self, port):
        with self._lock:
            self.accepted[port] = self.accepted.get(port, 0) + 1

    def start(self):
        for srv in self._servers:
            t = threading.Thread(target=srv.serve_forever, kwargs={"poll_interval": 0.1}, daemon=True)
            t.start()
            self._threads.append(t)
        return self

    def stop(self):
        self.stop_event.set()
        for srv in self._servers:
            srv.shutdown()
            srv.server_close()
        for t in self._threads:
            t.join(timeout=5)

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()


def main():
    ap = argparse.ArgumentParser(description="HTTP server with deliberate faults, on 127.0.0.1")
    ap.add_argument("--port", type=int, action="append", help="port to listen on (0: a free one); repeatable")
    ap.add_argument("--ready-file", help="write the bound ports here once listening")
    ap.add_argument("--log", help="append every request head to this file")
    ap.add_argument("--rewrite", action="append", default=[], help="PATH=MODEPATH: serve MODEPATH for PATH")
    opts = ap.parse_args()
    rewrites = {}
    for item in opts.rewrite:
        path, sep, mode = item.partition("=")
        if not sep or not path.startswith("/") or not mode.startswith("/"):
            ap.error("--rewrite needs PATH=MODEPATH, both starting with /")
        rewrites[path] = mode
    srv = FaultServer(ports=opts.port or [0], log_path=opts.log, rewrites=rewrites).start()
    done = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: done.set())
    signal.signal(signal.SIGINT, lambda *_: done.set())
    for p in srv.ports:
        print("fault_server: listening on %s:%d" % (srv.host, p), flush=True)
    if opts.ready_file:
        tmp = opts.ready_file + ".tmp"
        with open(tmp, "w") as f:
            f.write("".join("%d\n" % p for p in srv.ports))
        os.replace(tmp, opts.ready_file)
    while not done.wait(0.5):
        pass
    srv.stop()
    return 0


if __name__ == "__main__":
    sys.exit(main())
