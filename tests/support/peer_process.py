"""The life of every test server the fixture starts, around its own work:
common command-line options, TLS contexts from the fixture's certificates,
files that appear whole (pid and ready files are polled by the fixture),
and running until SIGTERM, SIGINT or the lifetime limit, whichever comes
first, so that a forgotten server never outlives its test run for long.
Also the HTTP(S) server and request handler the web peers share.
"""

import argparse
import http.server
import os
import signal
import socketserver
import ssl
import threading

IDLE_SECONDS = 10.0


def write_file(path, text):
    tmp = path + ".tmp"
    with open(tmp, "w") as f:
        f.write(text)
    os.replace(tmp, path)


def write_pidfile(path):
    if path:
        write_file(path, f"{os.getpid()}\n")


def mark_ready(path):
    if path:
        write_file(path, "ready\n")


def wait_until_stopped(max_lifetime):
    """Blocks until a stop signal or the end of the lifetime; the caller then
    ends the process (server threads are daemons, nobody waits for them)."""
    stop = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: stop.set())
    signal.signal(signal.SIGINT, lambda *_: stop.set())
    stop.wait(max_lifetime)


def peer_arguments(doc, port_variable=None, certs=True):
    """A parser with the options every peer takes: --certs (default
    $POSTERN_FIXTURE_DIR/certs), --port (default $port_variable), --pidfile,
    --ready and --max-lifetime."""
    p = argparse.ArgumentParser(description=doc.split("\n")[0])
    if certs:
        p.add_argument("--certs", default=os.path.join(os.environ.get("POSTERN_FIXTURE_DIR", ""), "certs"),
                       help="folder made by tests/fixture/make-certs")
    if port_variable:
        p.add_argument("--port", type=int, default=int(os.environ.get(port_variable, "0")),
                       help=f"port on 127.0.0.1 (default ${port_variable})")
    p.add_argument("--pidfile")
    p.add_argument("--ready", help="written once every port listens")
    p.add_argument("--max-lifetime", type=float, default=4 * 3600)
    return p


def parse_peer_arguments(p, port_variable):
    args = p.parse_args()
    if not args.port:
        p.error(f"no port: give --port or set {port_variable}")
    return args


def server_context(certs, cert="server.pem", key="server.key"):
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.minimum_version = ssl.TLSVersion.TLSv1_2
    context.load_cert_chain(os.path.join(certs, cert), os.path.join(certs, key))
    return context


def serve_until_stopped(args, *targets):
    """Writes the pid file, runs each target on a daemon thread, marks the
    peer ready, and exits the process once stopped."""
    write_pidfile(args.pidfile)
    for target in targets:
        threading.Thread(target=target, daemon=True).start()
    mark_ready(args.ready)
    wait_until_stopped(args.max_lifetime)
    os._exit(0)


class QuietHandler(http.server.BaseHTTPRequestHandler):
    """HTTP/1.1 without a request log; reply() sends a complete answer."""

    protocol_version = "HTTP/1.1"

    def log_message(self, format, *args):  # noqa: A002 - the base class's name
        pass

    def reply(self, status, body, content_type="text/plain", headers=()):
        data = body.encode() if isinstance(body, str) else body
        self.send_response(status)
        for name, value in headers:
            self.send_header(name, value)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)


class HttpsServer(socketserver.ThreadingMixIn, http.server.HTTPServer):
    """One thread per connection; context None serves plain HTTP."""

    daemon_threads = True
    allow_reuse_address = True

    def __init__(self, port, context, handler):
        self.context = context
        super().__init__(("127.0.0.1", port), handler)

    def finish_request(self, request, client_address):
        # The handshake runs here, in the connection's own thread, so a
        # client that stalls in it cannot hold up the others.
        request.settimeout(IDLE_SECONDS)
        if self.context is None:
            self.RequestHandlerClass(request, client_address, self)
            return
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
