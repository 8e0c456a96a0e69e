#!/usr/bin/env python3
"""Local stand-in for the decompilation service: HTTPS on 127.0.0.1 only.

POST /quorvel/submit.php with the form field "data" (Base64, "+" sent as %2B) answers a fresh
32-character job identifier when the package decodes to one byte or more, and a short failure
text otherwise. POST /quorvel/select.php with the form field "uuid" answers, in UTF-8 Chinese,
whether the job is unknown, queued, being worked on or finished (naming the package's size).
Jobs move on with time (--queue-seconds, --work-seconds); --delay slows every answer down.

Each request is logged as one line to stderr and, with --log, appended to a file:
  method=POST path=/quorvel/submit.php body=<bytes> package=<bytes or -> sha256=<hex or ->
  uuid=<identifier or -> status=<code>
The chosen port is printed alone on the first line of stdout (useful with --port 0).
--fault makes the service misbehave on purpose, for tests of the client's error handling.
Stops cleanly on Ctrl+C or SIGTERM, and optionally when its parent dies or after --lifetime.
Needs only Python 3 and the openssl command-line tool.
"""

import argparse
import binascii
import hashlib
import http.server
import os
import secrets
import shutil
import signal
import ssl
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse

SUBMIT_PATH = "/quorvel/submit.php"
SELECT_PATH = "/quorvel/select.php"
CHUNK = 4 << 20

FAULTS = {
    "garbage": "submit answers 100 random bytes",
    "invalid-utf8": "select answers bytes that are not UTF-8",
    "zero-bytes": "submit answers 32 bytes with a zero byte inside; select one with zeros",
    "silent": "both endpoints read the request and never answer",
    "error-status": "submit answers a 32-byte body with status 500",
}


class PackageDecoder:
    """Decodes the streamed value of the "data" field: form decoding, then strict Base64.

    Counts and hashes the decoded bytes without keeping them, so any size fits in memory.
    """

    def __init__(self):
        self.size = 0
        self.sha256 = hashlib.sha256()
        self.valid = True
        self._escape = b""  # a "%" or "%x" at the end of a chunk, completed by the next one
        self._group = b""  # an incomplete group of four Base64 characters
        self._padded = False  # a group with "=" was seen: nothing may follow it

    def feed(self, raw):
        if not self.valid:
            return
        if b"+" in raw:  # form decoding turns "+" into a space, never valid in Base64
            self.valid = False
            return
        data = self._escape + raw
        cut = data.rfind(b"%", max(len(data) - 2, 0))
        self._escape = b""
        if cut >= 0:
            data, self._escape = data[:cut], data[cut:]
        data = data.replace(b"%2B", b"+")
        if b"%" in data:  # any other escape: the general decoding
            data = urllib.parse.unquote_to_bytes(data)
        self._decode(data)

    def finish(self):
        """Ends the value; a cut-off escape or an incomplete group makes it invalid."""
        if self._escape or self._group:
            self.valid = False

    def _decode(self, data):
        if not self.valid:
            return
        data = self._group + data
        whole = len(data) - len(data) % 4
        self._group = data[whole:]
        block = data[:whole]
        if not block:
            return
        if self._padded:
            self.valid = False
            return
        self._padded = b"=" in block
        try:  # strict: only the alphabet, padding only at the end
            decoded = binascii.a2b_base64(block, strict_mode=True)
        except binascii.Error:
            self.valid = False
            return
        self.size += len(decoded)
        self.sha256.update(decoded)


class Jobs:
    """Accepted jobs and their progress: queued, then worked on, then finished."""

    def __init__(self, queue_seconds, work_seconds):
        self._lock = threading.Lock()
        self._jobs = {}
        self._queue_seconds = queue_seconds
        self._work_seconds = work_seconds

    def add(self, size):
        identifier = secrets.token_hex(16)
        with self._lock:
            self._jobs[identifier] = (time.monotonic(), size)
        return identifier

    def state(self, identifier):
        with self._lock:
            job = self._jobs.get(identifier)
        if job is None:
            return "任务不存在，请检查编号"
        started, size = job
        age = time.monotonic() - started
        if age < self._queue_seconds:
            return "正在排队中，请每隔30秒查询一次"
        if age < self._queue_seconds + self._work_seconds:
            return "正在反编译，请稍后再查询"
        return "反编译完成：包大小 %d 字节" % size


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "StandIn/1.0"

    def log_message(self, format, *args):  # the per-request line below replaces these
        pass

    def do_GET(self):
        self._answer(405, b"POST only\n", {})

    def do_POST(self):
        length = int(self.headers.get("Content-Length") or 0)
        if self.path == SUBMIT_PATH:
            self._submit(length)
        elif self.path == SELECT_PATH:
            self._select(length)
        else:
            self._skip(length)
            self._answer(404, b"not found\n", {"body": length})

    def _skip(self, length):
        for _ in self._chunks(length):
            pass

    def _chunks(self, length):
        while length > 0:
            chunk = self.rfile.read(min(CHUNK, length))
            if not chunk:
                return
            length -= len(chunk)
            yield chunk

    def _stream_field(self, length, wanted, sink):
        """Reads a form body of length bytes in chunks and feeds the value of the first field
        named wanted to sink, piece by piece. Returns whether that field was there."""
        name, in_value, feeding, found = b"", False, False, False
        for chunk in self._chunks(length):
            while chunk:
                if in_value:
                    end = chunk.find(b"&")
                    if feeding:
                        sink(chunk if end < 0 else chunk[:end])
                    if end < 0:
                        break
                    chunk, in_value, feeding = chunk[end + 1:], False, False
                    continue
                ends = [i for i in (chunk.find(b"="), chunk.find(b"&")) if i >= 0]
                if not ends:
                    name += chunk
                    break
                end = min(ends)
                name += chunk[:end]
                if chunk[end:end + 1] == b"=":
                    in_value = True
                    feeding = name == wanted and not found
                    found = found or feeding
                name, chunk = b"", chunk[end + 1:]
        return found

    def _submit(self, length):
        decoder = PackageDecoder()
        found = self._stream_field(length, b"data", decoder.feed)
        decoder.finish()
        fields = {"body": length}
        fault = self.server.fault
        if fault == "silent":
            return self._stay_silent(fields)
        if not found or not decoder.valid:
            return self._answer(200, b"error: not a Base64 package", fields)
        fields.update(package=decoder.size, sha256=decoder.sha256.hexdigest())
        if decoder.size == 0:
            return self._answer(200, b"error: empty package", fields)
        identifier = self.server.jobs.add(decoder.size)
        fields["uuid"] = identifier
        if fault == "garbage":
            return self._answer(200, os.urandom(100), fields)
        if fault == "zero-bytes":
            damaged = identifier[:10] + "\0" + identifier[11:]
            return self._answer(200, damaged.encode(), fields)
        if fault == "error-status":
            return self._answer(500, identifier.encode(), fields)
        self._answer(200, identifier.encode(), fields)

    def _select(self, length):
        body = b"".join(self._chunks(length))
        form = urllib.parse.parse_qs(body.decode("latin-1"), keep_blank_values=True)
        identifier = (form.get("uuid") or [""])[0]
        fields = {"body": length, "uuid": identifier or "-"}
        fault = self.server.fault
        if fault == "silent":
            return self._stay_silent(fields)
        if fault == "invalid-utf8":
            return self._answer(200, b"\xe4\xbb\xbb\xff\xfe\xe5\x8a", fields)
        if fault == "zero-bytes":
            return self._answer(200, "任务".encode() + b"\0" + "完成".encode(), fields)
        self._answer(200, self.server.jobs.state(identifier).encode("utf-8"), fields)

    def _stay_silent(self, fields):
        self._log(dict(fields, status="-"))
        time.sleep(self.server.lifetime or 3600)
        self.close_connection = True

    def _answer(self, status, body, fields):
        self._log(dict(fields, status=status))
        if self.server.delay > 0:
            time.sleep(self.server.delay)
        self.send_response(status)
        self.send_header("Content-Type", "text/plain; charset=utf-8")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def _log(self, fields):
        fields = dict(fields, method=self.command, path=self.path)
        self.server.log(" ".join("%s=%s" % (key, fields.get(key, "-")) for key in
                                 ("method", "path", "body", "package", "sha256", "uuid",
                                  "status")))


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def __init__(self, port, context, jobs, fault, delay, log_path, lifetime):
        super().__init__(("127.0.0.1", port), Handler)
        self.socket = context.wrap_socket(self.socket, server_side=True,
                                          do_handshake_on_connect=False)
        self.jobs = jobs
        self.fault = fault
        self.delay = delay
        self.lifetime = lifetime
        self._log_lock = threading.Lock()
        self._log_path = log_path

    def log(self, line):
        with self._log_lock:
            print(line, file=sys.stderr, flush=True)
            if self._log_path:
                with open(self._log_path, "a", encoding="utf-8") as log:
                    log.write(line + "\n")

    def handle_error(self, request, client_address):
        # A client that hangs up mid-request is no reason for a traceback.
        kind = sys.exc_info()[0]
        name = kind.__name__ if kind else "error"
        print("connection from %s:%d ended: %s" % (client_address + (name,)), file=sys.stderr)


def make_certificate(folder):
    """A fresh self-signed certificate for 127.0.0.1; returns (certificate, key) paths."""
    certificate = os.path.join(folder, "certificate.pem")
    key = os.path.join(folder, "key.pem")
    subprocess.run(
        ["openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
         "-nodes", "-keyout", key, "-out", certificate, "-days", "2", "-subj", "/CN=127.0.0.1",
         "-addext", "subjectAltName=IP:127.0.0.1"],
        check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return certificate, key


def parse_arguments():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--port", type=int, default=8443, help="0 picks a free port")
    parser.add_argument("--queue-seconds", type=float, default=10.0,
                        help="how long a new job stays queued")
    parser.add_argument("--work-seconds", type=float, default=20.0,
                        help="how long a job is worked on after the queue")
    parser.add_argument("--delay", type=float, default=0,
                        help="wait this many seconds before each answer (a slow service)")
    parser.add_argument("--log", help="also append the request lines to this file")
    parser.add_argument("--fault", choices=sorted(FAULTS),
                        help="misbehave on purpose: " + "; ".join(
                            "%s: %s" % item for item in sorted(FAULTS.items())))
    parser.add_argument("--exit-with-parent", action="store_true",
                        help="stop when the process that started this one ends")
    parser.add_argument("--lifetime", type=float, default=0,
                        help="stop after this many seconds (0: run until stopped)")
    return parser.parse_args()


def main():
    arguments = parse_arguments()
    stop = threading.Event()
    for signal_number in (signal.SIGINT, signal.SIGTERM):
        signal.signal(signal_number, lambda *_: stop.set())

    folder = tempfile.mkdtemp(prefix="stand-in-service-")
    try:
        certificate, key = make_certificate(folder)
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(certificate, key)
        jobs = Jobs(arguments.queue_seconds, arguments.work_seconds)
        server = Server(arguments.port, context, jobs, arguments.fault, arguments.delay,
                        arguments.log, arguments.lifetime)
    except OSError as error:
        print("cannot listen on 127.0.0.1:%d: %s" % (arguments.port, error.strerror or error),
              file=sys.stderr)
        return 1
    finally:
        shutil.rmtree(folder, ignore_errors=True)  # the context keeps what it loaded

    port = server.server_address[1]
    print(port, flush=True)
    print("stand-in service on https://127.0.0.1:%d%s" %
          (port, " (fault: %s)" % arguments.fault if arguments.fault else ""), file=sys.stderr,
          flush=True)
    serving = threading.Thread(target=server.serve_forever, kwargs={"poll_interval": 0.2},
                               daemon=True)
    serving.start()

    parent = os.getppid()
    deadline = time.monotonic() + arguments.lifetime if arguments.lifetime > 0 else None
    while not stop.wait(0.25):
        if arguments.exit_with_parent and os.getppid() != parent:
            break
        if deadline is not None and time.monotonic() >= deadline:
            break
    server.shutdown()
    server.server_close()
    print("stand-in service stopped", file=sys.stderr, flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
