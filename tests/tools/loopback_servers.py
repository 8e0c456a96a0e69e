#!/usr/bin/env python3
"""Loopback HTTP, HTTPS and proxy servers for the request-object tests and the POST benchmark.

Prints one line of "name=port" pairs once every listener is up, then serves until its standard
input reaches end of file (the test that started it is gone) or its lifetime runs out.
Python 3 standard library plus the openssl command (for --tls) only.
"""
import argparse
import base64
import os
import select
import shutil
import socket
import ssl
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse

MAX_HEAD = 1 << 20
SOCKET_TIMEOUT = 60


class Request:
    def __init__(self, head, method, target, headers, body):
        self.head = head          # the request line and header lines as received
        self.method = method
        self.target = target
        self.headers = headers    # [(name, value)] in order
        self.body = body

    def header(self, name):
        for key, value in self.headers:
            if key.lower() == name.lower():
                return value
        return None

    def count(self, name):
        return sum(1 for key, _ in self.headers if key.lower() == name.lower())


class Connection:
    """A socket with a read-ahead buffer."""

    def __init__(self, sock):
        self.sock = sock
        self.buffer = b""

    def read_head(self):
        while b"\r\n\r\n" not in self.buffer:
            if len(self.buffer) > MAX_HEAD:
                return None
            data = self.sock.recv(65536)
            if not data:
                return None
            self.buffer += data
        head, self.buffer = self.buffer.split(b"\r\n\r\n", 1)
        return head

    def read_exact(self, count, keep=True):
        """Reads count bytes; keeps them only when keep is true (a sink counts, never stores)."""
        parts = [self.buffer[:count]] if keep else []
        got = min(len(self.buffer), count)
        self.buffer = self.buffer[count:]
        chunk = bytearray(4 << 20)
        view = memoryview(chunk)
        while got < count:
            n = self.sock.recv_into(view, min(len(chunk), count - got))
            if n == 0:
                raise ConnectionError("closed inside the body")
            if keep:
                parts.append(bytes(view[:n]))
            got += n
        return b"".join(parts)


def parse_head(head):
    lines = head.split(b"\r\n")
    parts = lines[0].decode("latin-1").split(" ")
    if len(parts) != 3:
        raise ValueError("bad request line")
    headers = []
    for line in lines[1:]:
        name, _, value = line.decode("latin-1").partition(":")
        headers.append((name.strip(), value.strip()))
    return parts[0], parts[1], headers


def read_request(conn, keep_body=True):
    head = conn.read_head()
    if head is None:
        return None
    method, target, headers = parse_head(head)
    request = Request(head, method, target, headers, b"")
    request.body_length = 0
    if (request.header("Expect") or "").lower() == "100-continue":
        conn.sock.sendall(b"HTTP/1.1 100 Continue\r\n\r\n")
    if target.startswith("/deaf"):
        return request  # the body stays unread: the sender's buffers fill up
    length = int(request.header("Content-Length") or 0)
    request.body = conn.read_exact(length, keep_body)
    request.body_length = length
    return request


def respond(sock, status, body=b"", headers=(), head_only=False):
    lines = ["HTTP/1.1 %d Test" % status, "Content-Length: %d" % len(body)]
    lines += ["%s: %s" % pair for pair in headers]
    data = ("\r\n".join(lines) + "\r\n\r\n").encode("latin-1")
    sock.sendall(data if head_only else data + body)


def reset(sock):
    """Closes with a TCP reset instead of an orderly end."""
    sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, b"\x01\x00\x00\x00\x00\x00\x00\x00")
    sock.close()


def handle_request(sock, request):
    """Answers one request; returns False when the connection is to end."""
    path, _, query = request.target.partition("?")
    params = urllib.parse.parse_qs(query)
    number = lambda name, default: float(params.get(name, [default])[0])
    head_only = request.method == "HEAD"
    if path == "/echo":
        headers = [("Set-Cookie", value) for value in params.get("cookie", [])]
        headers += [tuple(value.split(":", 1)) for value in params.get("header", [])]
        echo = request.head + b"\r\n\r\n" + request.body
        respond(sock, int(number("status", 200)), echo, headers, head_only)
    elif path.startswith("/redirect/"):
        left = int(path[len("/redirect/"):])
        if left > 0:
            respond(sock, 302, b"moving on", [("Location", "/redirect/%d" % (left - 1))])
        else:
            respond(sock, 200, b"arrived", [("X-Final", "yes")])
    elif path == "/late-body":
        sock.sendall(b"HTTP/1.1 200 Test\r\nContent-Length: 5\r\n\r\n")
        time.sleep(0.2)
        sock.sendall(b"later")
    elif path == "/loop":
        respond(sock, 302, b"again", [("Location", "/loop")])
    elif path == "/goto":
        respond(sock, int(number("code", 302)), b"elsewhere", [("Location", params["url"][0])])
    elif path == "/interim":
        sock.sendall(b"HTTP/1.1 100 Continue\r\nX-Interim: yes\r\n\r\n")
        respond(sock, 200, b"final", [("X-Final", "yes")])
    elif path == "/slow":
        time.sleep(min(number("seconds", 5), 30))
        respond(sock, 200, b"late")
    elif path == "/trickle":
        count, interval = int(number("bytes", 5)), min(number("interval", 0.3), 5)
        sock.sendall(b"HTTP/1.1 200 Test\r\nContent-Length: %d\r\n\r\n" % count)
        for _ in range(count):
            time.sleep(interval)
            sock.sendall(b"t")
    elif path == "/stall":
        sock.sendall(b"HTTP/1.1 200 Test\r\nContent-Length: 100\r\n\r\n0123456789")
        time.sleep(30)
        return False
    elif path == "/garbage":
        sock.sendall(b"\x16\x03\x01 this is no HTTP answer\r\n\r\n" + os.urandom(4096))
        return False
    elif path == "/reset":
        sock.sendall(b"HTTP/1.1 200 Test\r\nContent-Length: 100000\r\n\r\n" + b"r" * 1000)
        time.sleep(0.2)
        reset(sock)
        return False
    elif path == "/flood":
        sock.sendall(b"HTTP/1.1 200 Test\r\n")
        line = b"X-Flood: " + b"f" * 1000 + b"\r\n"
        for _ in range(64 * 1024):  # at most 64 MiB, or until the client hangs up
            sock.sendall(line * 16)
        return False
    elif path == "/deaf":
        time.sleep(30)
        return False
    elif path == "/sink":
        respond(sock, 200, b"received %d" % request.body_length)
    else:
        respond(sock, 404, b"no such path")
    return (request.header("Connection") or "").lower() != "close"


def serve_connection(sock, wrap=None):
    try:
        sock.settimeout(SOCKET_TIMEOUT)
        if wrap is not None:
            sock = wrap(sock)
        conn = Connection(sock)
        while True:
            request = read_request(conn, keep_body=True)
            if request is None or not handle_request(sock, request):
                break
    except (OSError, ValueError, ConnectionError):
        pass
    finally:
        try:
            sock.close()
        except OSError:
            pass


def pipe(a, b):
    """Relays bytes both ways until either side ends."""
    sockets = [a, b]
    while True:
        readable, _, _ = select.select(sockets, [], [], SOCKET_TIMEOUT)
        if not readable:
            return
        for source in readable:
            data = source.recv(1 << 16)
            if not data:
                return
            (b if source is a else a).sendall(data)


def serve_proxy_connection(sock, credentials):
    upstream = None
    try:
        sock.settimeout(SOCKET_TIMEOUT)
        conn = Connection(sock)
        request = read_request(conn)
        if request is None:
            return
        if request.count("Proxy-Authorization") > 1:
            respond(sock, 400, b"more than one Proxy-Authorization")
            return
        if request.header("Proxy-Authorization") != credentials:
            respond(sock, 407, b"", [("Proxy-Authenticate", 'Basic realm="loopback"')])
            return
        if request.method == "CONNECT":
            host, _, port = request.target.rpartition(":")
            upstream = socket.create_connection((host, int(port)), timeout=SOCKET_TIMEOUT)
            sock.sendall(b"HTTP/1.1 200 Connection established\r\n\r\n")
            if conn.buffer:
                upstream.sendall(conn.buffer)
            pipe(sock, upstream)
            return
        url = urllib.parse.urlsplit(request.target)
        upstream = socket.create_connection((url.hostname, url.port or 80), timeout=SOCKET_TIMEOUT)
        dropped = ("proxy-authorization", "proxy-connection", "connection")
        lines = ["%s %s HTTP/1.1" % (request.method, url.path + ("?" + url.query if url.query else ""))]
        lines += ["%s: %s" % (k, v) for k, v in request.headers if k.lower() not in dropped]
        lines += ["Connection: close", "Via: 1.1 loopback-proxy"]
        upstream.sendall(("\r\n".join(lines) + "\r\n\r\n").encode("latin-1") + request.body)
        while True:
            data = upstream.recv(1 << 16)
            if not data:
                break
            sock.sendall(data)
    except (OSError, ValueError, ConnectionError):
        pass
    finally:
        for s in (sock, upstream):
            if s is not None:
                s.close()


def listen(serve):
    """A loopback listener on a free port; each connection is served on its own thread."""
    server = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    server.bind(("127.0.0.1", 0))
    server.listen(64)

    def accept_loop():
        while True:
            client, _ = server.accept()
            client.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4 << 20)
            threading.Thread(target=serve, args=(client,), daemon=True).start()

    threading.Thread(target=accept_loop, daemon=True).start()
    return server.getsockname()[1]


def openssl(*args, cwd):
    subprocess.run(["openssl", *args], cwd=cwd, check=True, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)


def make_certificates(directory):
    """A CA and leaf certificates for 127.0.0.1, each with one fault or none.

    Returns {name: (chain file, key file)}; the chain holds the leaf and then the CA.
    """
    curve = ["-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"]
    openssl("req", "-x509", *curve, "-keyout", "ca.key", "-out", "ca.pem", "-days", "2",
            "-subj", "/CN=quorvel loopback CA", "-addext", "basicConstraints=critical,CA:TRUE",
            "-addext", "keyUsage=critical,keyCertSign", cwd=directory)
    leaves = {  # name: (days, subjectAltName, extendedKeyUsage)
        "valid": ("2", "IP:127.0.0.1", "serverAuth"),
        "expired": ("-1", "IP:127.0.0.1", "serverAuth"),
        "wrongname": ("2", "DNS:wrong.example", "serverAuth"),
        "wrongusage": ("2", "IP:127.0.0.1", "clientAuth"),
    }
    result = {}
    for name, (days, alt_name, usage) in leaves.items():
        with open(os.path.join(directory, name + ".ext"), "w") as ext:
            ext.write("basicConstraints=CA:FALSE\nkeyUsage=digitalSignature\n"
                      "extendedKeyUsage=%s\nsubjectAltName=%s\n" % (usage, alt_name))
        openssl("req", "-new", *curve, "-keyout", name + ".key", "-out", name + ".csr",
                "-subj", "/CN=127.0.0.1", cwd=directory)
        openssl("x509", "-req", "-in", name + ".csr", "-CA", "ca.pem", "-CAkey", "ca.key",
                "-CAcreateserial", "-days", days, "-extfile", name + ".ext", "-out",
                name + ".pem", cwd=directory)
        result[name] = name + ".pem"
    # The valid certificate with one bit of its signature flipped.
    with open(os.path.join(directory, "valid.pem")) as pem:
        der = bytearray(ssl.PEM_cert_to_DER_cert(pem.read()))
    der[-1] ^= 0x01
    with open(os.path.join(directory, "badsig.pem"), "w") as pem:
        pem.write(ssl.DER_cert_to_PEM_cert(bytes(der)))
    shutil.copy(os.path.join(directory, "valid.key"), os.path.join(directory, "badsig.key"))
    result["badsig"] = "badsig.pem"
    openssl("req", "-x509", *curve, "-keyout", "selfsigned.key", "-out", "selfsigned.pem",
            "-days", "2", "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1",
            cwd=directory)

    chains = {"selfsigned": (os.path.join(directory, "selfsigned.pem"),
                             os.path.join(directory, "selfsigned.key"))}
    with open(os.path.join(directory, "ca.pem")) as ca:
        ca_pem = ca.read()
    for name, pem_name in result.items():
        chain = os.path.join(directory, name + ".chain")
        with open(os.path.join(directory, pem_name)) as leaf, open(chain, "w") as out:
            out.write(leaf.read() + ca_pem)
        chains[name] = (chain, os.path.join(directory, name + ".key"))
    return chains


def tls_wrapper(chain, key):
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(chain, key)
    return lambda sock: context.wrap_socket(sock, server_side=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--tls", action="store_true", help="also serve HTTPS, one port per certificate")
    parser.add_argument("--proxy-user", default="user")
    parser.add_argument("--proxy-password", default="secret")
    parser.add_argument("--lifetime", type=float, default=120, help="seconds before it stops by itself")
    args = parser.parse_args()

    ports = {"http": listen(serve_connection)}
    token = base64.b64encode(("%s:%s" % (args.proxy_user, args.proxy_password)).encode()).decode()
    ports["proxy"] = listen(lambda sock: serve_proxy_connection(sock, "Basic " + token))
    if args.tls:
        directory = tempfile.mkdtemp(prefix="quorvel-certs-")
        try:
            for name, (chain, key) in make_certificates(directory).items():
                wrap = tls_wrapper(chain, key)
                ports["https-" + name] = listen(lambda sock, wrap=wrap: serve_connection(sock, wrap))
        finally:
            shutil.rmtree(directory, ignore_errors=True)

    print(" ".join("%s=%d" % pair for pair in ports.items()), flush=True)
    # Standard input ends when the parent goes away, however it ends.
    threading.Thread(target=lambda: (sys.stdin.buffer.read(), os._exit(0)), daemon=True).start()
    time.sleep(args.lifetime)
    os._exit(0)


if __name__ == "__main__":
    main()
