#!/usr/bin/python3
"""A release server that misbehaves on purpose, for scripts/faults.

Serves a tree published by vxrelease the way `vxrelease serve` does, except
that the requests named by --mode go wrong in one chosen way. Binds to
127.0.0.1 only, prints "Listening on http://127.0.0.1:PORT" once bound, writes
one line per request to stderr, and runs until it receives SIGTERM.
"""
import argparse
import json
import os
import posixpath
import random
import signal
import socket
import struct
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

# What each mode does to the requests it hits. "files" modes hit packages
# (/files/<md5>), "version" modes hit version documents (/version/...).
MODES = {
    "normal": (None, "serve the tree unchanged"),
    "stall-body": ("files", "status and headers, then no byte of the body"),
    "stall-silent": ("files", "accept the connection, never answer"),
    "stall-version": ("version", "accept the connection, never answer"),
    "reset": ("files", "read the request, then reset the connection"),
    "slow": ("files", "the body in small pieces with pauses"),
    "wrong-size": ("files", "a longer body than the document lists, with its own Content-Length"),
    "short-body": ("files", "the listed Content-Length, then half the body and a close"),
    "garbage-body": ("files", "random bytes of the listed length"),
    "garbage-version": ("version", "random bytes as the version document"),
    "huge-version": ("version", "a version document of --huge-bytes bytes"),
    "endless-body": ("files", "no Content-Length, then a body that never ends"),
    "endless-unsized": ("any", "version documents without sizes, package bodies that never end"),
    "trickle": ("files", "the listed Content-Length, then 12 bytes every 10 s"),
}


def parse_args():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("tree", help="a tree published by vxrelease")
    parser.add_argument("--mode", choices=sorted(MODES), default="normal")
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--slow-rate", type=int, default=256 * 1024, help="bytes per second in slow mode")
    parser.add_argument("--huge-bytes", type=int, default=512 << 20)
    parser.add_argument("--seed", type=int, default=1)
    return parser.parse_args()


def content_type(path):
    if path.startswith("/files/"):
        return "application/zip"
    if path.startswith("/version/"):
        return "application/json"
    return "text/plain"


class FaultHandler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "faultserver"
    sys_version = ""

    def log_message(self, fmt, *args):
        sys.stderr.write("%.3f %s %s\n" % (time.monotonic(), self.server.mode, fmt % args))
        sys.stderr.flush()

    def do_GET(self):
        path = self.path.split("?", 1)[0]
        target = self.local_file(path)
        if target is None:
            return self.answer(404, b"not found\n", "text/plain")
        hit = MODES[self.server.mode][0]
        kind = "files" if path.startswith("/files/") else "version" if path.startswith("/version/") else None
        with open(target, "rb") as f:
            body = f.read()
        if hit is None or (hit != kind and not (hit == "any" and kind)):
            return self.answer(200, body, content_type(path))
        self.log_request(200)
        getattr(self, "fault_" + self.server.mode.replace("-", "_"))(body, path)

    def local_file(self, path):
        parts = [p for p in posixpath.normpath(path).split("/") if p]
        if not parts or any(p.startswith(".") for p in parts):
            return None
        full = os.path.join(self.server.tree, *parts)
        return full if os.path.isfile(full) else None

    def answer(self, status, body, ctype, length=None):
        self.send_response(status)
        self.send_header("Content-Type", ctype)
        self.send_header("Content-Length", str(len(body) if length is None else length))
        self.end_headers()
        self.wfile.write(body)
        self.wfile.flush()

    def headers_only(self, length, ctype):
        self.send_response_only(200)
        self.send_header("Content-Type", ctype)
        self.send_header("Content-Length", str(length))
        self.end_headers()
        self.wfile.flush()

    def hang(self):
        # Holds the connection open until the client gives up or the server ends.
        while self.rfile.read(1):
            pass
        self.close_connection = True

    def fault_stall_body(self, body, path):
        self.headers_only(len(body), content_type(path))
        self.hang()

    def fault_stall_silent(self, body, path):
        self.hang()

    fault_stall_version = fault_stall_silent

    def fault_reset(self, body, path):
        # SO_LINGER with a zero time-out turns close() into a reset; the
        # socket closes only once its file objects are closed too.
        self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        self.close_connection = True
        self.rfile.close()
        self.wfile.close()
        self.connection.close()

    def fault_slow(self, body, path):
        self.headers_only(len(body), content_type(path))
        piece = max(1, self.server.slow_rate // 20)
        for start in range(0, len(body), piece):
            self.wfile.write(body[start:start + piece])
            self.wfile.flush()
            time.sleep(0.05)

    def fault_wrong_size(self, body, path):
        self.answer(200, body + bytes(4096), content_type(path))

    def fault_short_body(self, body, path):
        self.headers_only(len(body), content_type(path))
        self.wfile.write(body[: len(body) // 2])
        self.wfile.flush()
        self.close_connection = True

    def fault_garbage_body(self, body, path):
        self.answer(200, self.server.random_bytes(len(body)), content_type(path))

    def fault_garbage_version(self, body, path):
        self.answer(200, self.server.random_bytes(4096), content_type(path))

    def fault_huge_version(self, body, path):
        # A document that starts like a real one and never seems to end.
        total = self.server.huge_bytes
        self.headers_only(total, content_type(path))
        head = b'{"major": 1, "minor": 0, "changes": ["'
        self.wfile.write(head)
        block = b"x" * (1 << 20)
        sent = len(head)
        while sent < total:
            chunk = block[: min(len(block), total - sent)]
            self.wfile.write(chunk)
            sent += len(chunk)
        self.wfile.flush()


    def fault_endless_body(self, body, path):
        self.send_response_only(200)
        self.send_header("Content-Type", content_type(path))
        self.send_header("Connection", "close")
        self.end_headers()
        block = body or b"\0"
        try:
            while True:
                self.wfile.write(block)
        except OSError:
            self.close_connection = True

    def fault_endless_unsized(self, body, path):
        if not path.startswith("/version/"):
            return self.fault_endless_body(body, path)
        document = json.loads(body)
        for entry in document.get("files", []):
            if isinstance(entry, dict):
                entry.pop("size", None)
        self.answer(200, json.dumps(document).encode(), content_type(path))

    def fault_trickle(self, body, path):
        self.headers_only(len(body), content_type(path))
        try:
            for start in range(0, len(body), 12):
                self.wfile.write(body[start:start + 12])
                self.wfile.flush()
                time.sleep(10)
        except OSError:
            self.close_connection = True


class FaultServer(ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True

    def __init__(self, args):
        super().__init__(("127.0.0.1", args.port), FaultHandler)
        self.tree = os.path.abspath(args.tree)
        self.mode = args.mode
        self.slow_rate = args.slow_rate
        self.huge_bytes = args.huge_bytes
        self.rng = random.Random(args.seed)
        self.rng_lock = threading.Lock()

    def random_bytes(self, n):
        with self.rng_lock:
            return self.rng.randbytes(n)

    def handle_error(self, request, client_address):
        # A client that gave up mid-answer is part of the experiment, not an error.
        exc = sys.exc_info()[1]
        if isinstance(exc, (BrokenPipeError, ConnectionResetError, TimeoutError, ValueError)):
            return
        super().handle_error(request, client_address)


def main():
    args = parse_args()
    server = FaultServer(args)
    signal.signal(signal.SIGTERM, lambda *_: threading.Thread(target=server.shutdown, daemon=True).start())
    print("Listening on http://127.0.0.1:%d" % server.server_address[1], flush=True)
    server.serve_forever(poll_interval=0.1)
    server.server_close()


if __name__ == "__main__":
    main()
