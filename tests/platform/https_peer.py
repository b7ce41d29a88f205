#!/usr/bin/python3
"""HTTPS server on loopback for the platform tests of PerformHttps.

Serves with the fixture's localhost certificate (signed by the per-run test
CA), so a client that trusts $POSTERN_TEST_CA validates it like any real
server. Routes:

  GET  /ok        200 "hello" (Content-Length)
  GET  /missing   404 "no such page"
  POST /echo      200 "CONTENT-TYPE|BODY"
  GET  /chunked   200, chunked transfer coding (three chunks and a trailer)
  GET  /unframed  200, no length: the body ends when the connection closes
  GET  /big       200, 1,000,000 bytes: byte i is i % 251
  GET  /slow      200 "slow" after 3 seconds
  GET  /bad-chunk    200, chunked, then a chunk size that is not hex
  GET  /huge-header  200 with 100 KB of header lines (beyond any sane limit)

Usage: https_peer.py --certs DIR --port PORT [--pidfile FILE] [--ready FILE]
Every connection times out after IDLE_SECONDS; the process exits by itself
after --max-lifetime seconds.
"""

import argparse
import http.server
import os
import socketserver
import ssl
import sys
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from peer_process import mark_ready, wait_until_stopped, write_pidfile  # noqa: E402

IDLE_SECONDS = 10.0
MAX_BODY = 1024 * 1024


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "PosternTestHttps/1.0"

    def log_message(self, format, *args):  # noqa: A002 - the base class's name
        pass

    def reply(self, status, body, content_type="text/plain"):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def do_GET(self):  # noqa: N802 - http.server's naming
        if self.path == "/ok":
            self.reply(200, b"hello")
        elif self.path == "/chunked":
            self.send_response(200)
            self.send_header("Content-Type", "text/plain")
            self.send_header("Transfer-Encoding", "chunked")
            self.end_headers()
            for piece in (b"first piece, ", b"second;", b" and the end"):
                self.wfile.write(b"%x;ext=1\r\n%s\r\n" % (len(piece), piece))
                self.wfile.flush()
            self.wfile.write(b"0\r\nX-Trailer: yes\r\n\r\n")
        elif self.path == "/unframed":
            self.send_response(200)
            self.send_header("Content-Type", "text/plain")
            self.send_header("Connection", "close")
            self.end_headers()
            self.wfile.write(b"until the end")
            self.close_connection = True
        elif self.path == "/big":
            self.reply(200, bytes(i % 251 for i in range(1000000)), "application/octet-stream")
        elif self.path == "/bad-chunk":
            self.send_response(200)
            self.send_header("Transfer-Encoding", "chunked")
            self.end_headers()
            self.wfile.write(b"5\r\nhello\r\nzz\r\nrest\r\n0\r\n\r\n")
        elif self.path == "/huge-header":
            self.send_response(200)
            for i in range(1000):
                self.send_header("X-Filler-%d" % i, "f" * 100)
            self.send_header("Content-Length", "2")
            self.end_headers()
            self.wfile.write(b"ok")
        elif self.path == "/slow":
            time.sleep(3)
            self.reply(200, b"slow")
        else:
            self.reply(404, b"no such page")

    def do_POST(self):  # noqa: N802
        length = int(self.headers.get("Content-Length") or "0")
        if length > MAX_BODY:
            self.reply(413, b"too large")
            return
        body = self.rfile.read(length) if length else b""
        if self.path == "/echo":
            content_type = (self.headers.get("Content-Type") or "").encode()
            self.reply(200, content_type + b"|" + body)
        else:
            self.reply(404, b"no such page")


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True

    def __init__(self, address, context):
        self.context = context
        super().__init__(address, Handler)

    def finish_request(self, request, client_address):
        # The handshake runs here, in the connection's own thread, so a
        # client that stalls in it cannot hold up the others.
        request.settimeout(IDLE_SECONDS)
        try:
            tls = self.context.wrap_socket(request, server_side=True)
        except (OSError, ssl.SSLError):
            return
        try:
            self.RequestHandlerClass(tls, client_address, self)
        finally:
            try:
                tls.close()
            except OSError:
                pass

    def handle_error(self, request, client_address):
        pass  # clients going away mid-request are expected in these tests


def main():
    p = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    p.add_argument("--certs", default=os.path.join(os.environ.get("POSTERN_FIXTURE_DIR", ""), "certs"),
                   help="folder with server.pem and server.key (default $POSTERN_FIXTURE_DIR/certs)")
    p.add_argument("--port", type=int, default=int(os.environ.get("POSTERN_HTTPS_PORT", "0")),
                   help="port on 127.0.0.1 (default $POSTERN_HTTPS_PORT)")
    p.add_argument("--pidfile")
    p.add_argument("--ready", help="written once the port listens")
    p.add_argument("--max-lifetime", type=float, default=4 * 3600)
    args = p.parse_args()
    if not args.port:
        p.error("no port: give --port or set POSTERN_HTTPS_PORT")

    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(os.path.join(args.certs, "server.pem"),
                            os.path.join(args.certs, "server.key"))
    server = Server(("127.0.0.1", args.port), context)
    write_pidfile(args.pidfile)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    mark_ready(args.ready)

    wait_until_stopped(args.max_lifetime)
    os._exit(0)


if __name__ == "__main__":
    main()
