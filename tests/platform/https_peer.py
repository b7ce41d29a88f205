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

import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from peer_process import (HttpsServer, QuietHandler, parse_peer_arguments, peer_arguments,  # noqa: E402
                          serve_until_stopped, server_context)

MAX_BODY = 1024 * 1024


class Handler(QuietHandler):
    server_version = "PosternTestHttps/1.0"

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


def main():
    args = parse_peer_arguments(peer_arguments(__doc__, "POSTERN_HTTPS_PORT"), "POSTERN_HTTPS_PORT")
    server = HttpsServer(args.port, server_context(args.certs), Handler)
    serve_until_stopped(args, server.serve_forever)


if __name__ == "__main__":
    main()
