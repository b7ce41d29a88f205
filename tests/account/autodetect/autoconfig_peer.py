#!/usr/bin/python3
"""HTTPS server standing in for the ISPDB and a domain's autoconfig host in
the autodetection tests (the fixture's localhost certificate).

  GET /v1.1/ispdb.test       200, IMAP localhost; SMTP localhost 587 STARTTLS
  GET /v1.1/moved.test       301 whose body is a valid document (must not count)
  GET /v1.1/missing.test     404 whose body is a valid document (must not count)
  GET /v1.1/garbage.test     200, not a document
  GET /v1.1/deadhost.test    200, IMAP host that does not answer
  GET /mail/config-v1.1.xml?emailaddress=ADDRESS
                             200 for an address at autoconf.test (SMTP 465
                             SSL), 400 when the decoded address holds a space
                             (a "+" sent unencoded), 404 otherwise
Anything else: 404.

Usage: autoconfig_peer.py --certs DIR --port PORT [--pidfile F] [--ready F]
(default port $POSTERN_AUTOCONFIG_PORT). Exits by itself after
--max-lifetime seconds; every connection times out after 10 s.
"""

import argparse
import http.server
import os
import socketserver
import ssl
import sys
import threading
import urllib.parse

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "support"))
from peer_process import mark_ready, wait_until_stopped, write_pidfile  # noqa: E402

IDLE_SECONDS = 10.0


def document(imap_host, smtp_host, smtp_port, smtp_socket):
    return f"""<?xml version="1.0"?>
<clientConfig version="1.1">
  <emailProvider id="test">
    <incomingServer type="pop3"><hostname>pop.invalid</hostname><port>995</port></incomingServer>
    <incomingServer type="imap">
      <hostname> {imap_host} </hostname>
      <port>143</port>
      <socketType>STARTTLS</socketType>
    </incomingServer>
    <outgoingServer type="smtp">
      <hostname>{smtp_host}</hostname>
      <port>{smtp_port}</port>
      <socketType>{smtp_socket}</socketType>
    </outgoingServer>
  </emailProvider>
</clientConfig>
"""


ISPDB = {
    "ispdb.test": (200, document("localhost", "localhost", 587, "STARTTLS")),
    "moved.test": (301, document("localhost", "localhost", 465, "SSL")),
    "missing.test": (404, document("localhost", "localhost", 465, "SSL")),
    "garbage.test": (200, "<html>not here</html>"),
    "deadhost.test": (200, document("nothing.invalid", "nothing.invalid", 465, "SSL")),
}


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, format, *args):  # noqa: A002
        pass

    def reply(self, status, body):
        data = body.encode()
        self.send_response(status)
        if status == 301:
            self.send_header("Location", "/v1.1/ispdb.test")
        self.send_header("Content-Type", "application/xml")
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)

    def do_GET(self):  # noqa: N802
        url = urllib.parse.urlsplit(self.path)
        if url.path.startswith("/v1.1/"):
            status, body = ISPDB.get(url.path[len("/v1.1/"):], (404, "not found"))
            self.reply(status, body)
        elif url.path == "/mail/config-v1.1.xml":
            address = dict(urllib.parse.parse_qsl(url.query)).get("emailaddress", "")
            if " " in address:
                self.reply(400, "address arrived damaged: " + address)
            elif address.lower().endswith("@autoconf.test"):
                self.reply(200, document("localhost", "localhost", 465, "SSL"))
            else:
                self.reply(404, "not found")
        else:
            self.reply(404, "not found")


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True

    def __init__(self, address, context):
        self.context = context
        super().__init__(address, Handler)

    def finish_request(self, request, client_address):
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
        pass


def main():
    p = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    p.add_argument("--certs", default=os.path.join(os.environ.get("POSTERN_FIXTURE_DIR", ""), "certs"))
    p.add_argument("--port", type=int, default=int(os.environ.get("POSTERN_AUTOCONFIG_PORT", "0")))
    p.add_argument("--pidfile")
    p.add_argument("--ready")
    p.add_argument("--max-lifetime", type=float, default=4 * 3600)
    args = p.parse_args()
    if not args.port:
        p.error("no port: give --port or set POSTERN_AUTOCONFIG_PORT")
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(os.path.join(args.certs, "server.pem"), os.path.join(args.certs, "server.key"))
    server = Server(("127.0.0.1", args.port), context)
    write_pidfile(args.pidfile)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    mark_ready(args.ready)
    wait_until_stopped(args.max_lifetime)
    os._exit(0)


if __name__ == "__main__":
    main()
