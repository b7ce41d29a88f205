#!/usr/bin/python3
"""Scripted TLS peers for transport tests.

Real servers never cut their output at the awkward places a TLS client must
still cope with, so these peers do it on purpose. TLS runs over
ssl.MemoryBIO pairs: the handshake and every record land in a buffer first,
and each scenario decides which encrypted bytes go into which TCP send.

Started by scripts/fixture with one NAME=PORT argument per listener; see
tests/peers/README.md for what a client should observe on each. Every
connection is bounded: it is closed after IDLE_SECONDS without input and
after CONNECTION_SECONDS in total, and the whole process exits by itself
after --max-lifetime seconds in case nobody stops it.
"""

import logging
import os
import socket
import ssl
import sys
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from peer_process import (IDLE_SECONDS, mark_ready, peer_arguments, server_context,  # noqa: E402
                          wait_until_stopped, write_file, write_pidfile)

CONNECTION_SECONDS = 120.0
MAX_CONNECTIONS_PER_LISTENER = 64
MAX_LINE = 8192

log = logging.getLogger("tls_peer")


class PeerClosed(Exception):
    """The client closed the TCP connection or sent close_notify."""


class Connection:
    """One accepted socket, plain at first, optionally upgraded to TLS.

    Nothing is sent implicitly: encrypted output accumulates in
    self.outgoing until flush() or the scenario takes it with take().
    """

    def __init__(self, sock, name):
        self.sock = sock
        self.name = name
        self.deadline = time.monotonic() + CONNECTION_SECONDS
        self.tls = None
        self.incoming = None
        self.outgoing = None
        self.pending = b""  # received plaintext not yet consumed
        self.closed = False
        sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)

    # -- raw socket -------------------------------------------------------

    def recv_raw(self, idle=IDLE_SECONDS):
        remaining = min(idle, self.deadline - time.monotonic())
        if remaining <= 0:
            raise TimeoutError("connection time limit reached")
        self.sock.settimeout(remaining)
        data = self.sock.recv(65536)
        if not data:
            raise PeerClosed()
        return data

    def send_raw(self, data):
        if data:
            self.sock.sendall(data)

    # -- TLS over memory BIOs ----------------------------------------------

    def start_tls(self, context, already_received=b""):
        """Server handshake; returns with the final flight still unsent.

        Flights the client must see before it can continue are sent as the
        handshake asks for more input; whatever OpenSSL produces at the very
        end (TLS 1.2 ChangeCipherSpec+Finished, TLS 1.3 session tickets)
        stays in self.outgoing for the scenario to place.
        """
        self.incoming = ssl.MemoryBIO()
        self.outgoing = ssl.MemoryBIO()
        self.tls = context.wrap_bio(self.incoming, self.outgoing, server_side=True)
        if already_received:
            self.incoming.write(already_received)
        while True:
            try:
                self.tls.do_handshake()
                return
            except ssl.SSLWantReadError:
                self.flush()
                self.incoming.write(self.recv_raw())
            except ssl.SSLError:
                # Let the client see our alert before the socket goes away.
                self.flush()
                raise

    def take(self):
        return self.outgoing.read()

    def flush(self):
        self.send_raw(self.take())

    def write_record(self, data):
        """Queues data as TLS records (one per call up to 16 KiB)."""
        self.tls.write(data)

    def read_tls(self):
        while True:
            try:
                return self.tls.read(65536)
            except ssl.SSLWantReadError:
                self.flush()  # e.g. a key update answer
                self.incoming.write(self.recv_raw())
            except ssl.SSLZeroReturnError:
                raise PeerClosed()

    def queue_close_notify(self):
        try:
            self.tls.unwrap()
        except ssl.SSLWantReadError:
            pass  # the client's close_notify is not needed to send ours

    # -- reading, plain or TLS -----------------------------------------------

    def read_some(self):
        if self.pending:
            data, self.pending = self.pending, b""
            return data
        return self.read_tls() if self.tls else self.recv_raw()

    def read_line(self):
        while b"\n" not in self.pending:
            if len(self.pending) > MAX_LINE:
                raise ValueError("line too long")
            self.pending += self.read_tls() if self.tls else self.recv_raw()
        line, _, self.pending = self.pending.partition(b"\n")
        return line + b"\n"

    # -- ending ----------------------------------------------------------

    def close(self, notify=True):
        """close_notify (if TLS), half-close, then drain briefly.

        Closing with unread input makes the kernel send RST, which can
        discard data the client has received but not yet read; draining
        until the client closes avoids that.
        """
        if self.closed:
            return
        self.closed = True
        try:
            if self.tls is not None and notify:
                self.queue_close_notify()
                self.flush()
            self.sock.shutdown(socket.SHUT_WR)
            end = time.monotonic() + 2.0
            while time.monotonic() < end:
                self.recv_raw(idle=end - time.monotonic())
        except (OSError, PeerClosed, TimeoutError, ssl.SSLError):
            pass
        finally:
            self.sock.close()


# ---------------------------------------------------------------------------
# Scenarios. Each takes a Connection and the Contexts; exceptions end the
# connection quietly (the client going away is normal).


def echo_lines(conn):
    """Echoes whatever arrives until the client closes or goes idle."""
    while True:
        data = conn.read_some()
        conn.write_record(data)
        conn.flush()


def serve_final_flight(conn, ctx):
    conn.start_tls(ctx.tls12_fresh())
    conn.write_record(b"* OK final-flight ready\r\n")
    # Server ChangeCipherSpec+Finished and the greeting in one segment.
    conn.send_raw(conn.take())
    echo_lines(conn)


def serve_split_record(conn, ctx):
    conn.start_tls(ctx.default)
    conn.flush()
    line = b"SPLIT " + b"x" * 2988 + b"\r\n"  # 2996 bytes
    conn.write_record(line)
    record = conn.take()
    # First cut inside the 5-byte record header, second in the body.
    cuts = [record[:3], record[3:1500], record[1500:]]
    for i, piece in enumerate(cuts):
        if i:
            time.sleep(0.05)
        conn.send_raw(piece)
    echo_lines(conn)


def serve_multi_record(conn, ctx):
    conn.start_tls(ctx.default)
    conn.flush()
    for line in (b"one\r\n", b"two\r\n", b"three\r\n"):
        conn.write_record(line)
    conn.send_raw(conn.take())
    echo_lines(conn)


def serve_big_record(conn, ctx):
    conn.start_tls(ctx.default)
    conn.flush()
    conn.write_record(bytes(i % 251 for i in range(16000)))
    conn.queue_close_notify()
    # The record and close_notify arrive together: the data must still
    # reach the application before the end of stream.
    conn.send_raw(conn.take())
    conn.close(notify=False)


def serve_tickets(conn, ctx):
    conn.start_tls(ctx.tls13_tickets)
    conn.flush()  # the NewSessionTicket messages
    time.sleep(0.1)
    conn.write_record(b"* OK tickets ready\r\n")
    conn.flush()
    echo_lines(conn)


def serve_silent(conn, ctx):
    conn.start_tls(ctx.default)
    conn.flush()
    end = time.monotonic() + IDLE_SECONDS
    while time.monotonic() < end:
        try:
            conn.incoming.write(conn.recv_raw(idle=end - time.monotonic()))
        except TimeoutError:
            break


def serve_echo(conn, ctx):
    conn.start_tls(ctx.default)
    conn.flush()
    line = b""  # the current unfinished line, kept only while it could be QUIT
    while True:
        data = conn.read_some()
        conn.write_record(data)
        conn.flush()
        parts = (line + data).split(b"\n")
        if b"QUIT\r" in parts[:-1]:
            conn.close()
            return
        line = parts[-1] if len(parts[-1]) <= 5 else b"-" * 6


def smtp_reply_plain(command):
    verb = command.split(b" ", 1)[0].upper()
    if verb in (b"EHLO", b"HELO"):
        return b"250-localhost\r\n250 STARTTLS\r\n"
    if verb == b"NOOP" or verb == b"RSET":
        return b"250 2.0.0 Ok\r\n"
    return b"530 5.7.0 Must issue a STARTTLS command first\r\n"


def smtp_after_tls(conn):
    """Plausible replies so a client can get as far as sending a message."""
    while True:
        command = conn.read_line().rstrip(b"\r\n")
        verb = command.split(b" ", 1)[0].upper()
        if verb in (b"EHLO", b"HELO"):
            reply = b"250-localhost\r\n250 AUTH PLAIN\r\n"
        elif verb == b"AUTH":
            if len(command.split(b" ")) < 3:  # no initial response
                conn.write_record(b"334 \r\n")
                conn.flush()
                conn.read_line()
            reply = b"235 2.7.0 Authentication successful\r\n"
        elif verb == b"MAIL":
            reply = b"250 2.1.0 Ok\r\n"
        elif verb == b"RCPT":
            reply = b"250 2.1.5 Ok\r\n"
        elif verb == b"DATA":
            conn.write_record(b"354 End data with <CR><LF>.<CR><LF>\r\n")
            conn.flush()
            while conn.read_line() != b".\r\n":
                pass
            reply = b"250 2.0.0 Ok: queued\r\n"
        elif verb in (b"RSET", b"NOOP"):
            reply = b"250 2.0.0 Ok\r\n"
        elif verb == b"QUIT":
            conn.write_record(b"221 2.0.0 Bye\r\n")
            conn.close()
            return
        else:
            reply = b"502 5.5.2 Error: command not recognized\r\n"
        conn.write_record(reply)
        conn.flush()


def smtp_until_starttls(conn):
    """Plain SMTP up to STARTTLS; False when the client quit instead."""
    conn.send_raw(b"220 ready\r\n")
    while True:
        command = conn.read_line().rstrip(b"\r\n")
        verb = command.split(b" ", 1)[0].upper()
        if verb == b"QUIT":
            conn.send_raw(b"221 2.0.0 Bye\r\n")
            conn.close()
            return False
        if verb == b"STARTTLS":
            return True
        conn.send_raw(smtp_reply_plain(command))


def serve_smtp_inject(conn, ctx):
    if not smtp_until_starttls(conn):
        return
    # The injected reply: a client must discard "250 forged" because it
    # arrived in plain text before the handshake.
    conn.send_raw(b"220 go ahead\r\n250 forged\r\n")
    early, conn.pending = conn.pending, b""
    conn.start_tls(ctx.default, already_received=early)
    conn.flush()
    smtp_after_tls(conn)


def serve_smtp_nosan(conn, ctx):
    """STARTTLS with a certificate naming no host; past it, AUTH succeeds,
    so a client that went on regardless would report the message sent."""
    if not smtp_until_starttls(conn):
        return
    conn.send_raw(b"220 go ahead\r\n")
    conn.start_tls(ctx.nosan)
    conn.flush()
    smtp_after_tls(conn)


def serve_nosan(conn, ctx):
    """A certificate naming no host; anything sent after the handshake gets
    an HTTP 200, so an HTTPS client that went on regardless would succeed."""
    conn.start_tls(ctx.nosan)
    conn.flush()
    while conn.read_line() not in (b"\r\n", b"\n"):
        pass
    conn.write_record(b"HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok")
    conn.flush()
    conn.close()


def greeting_then_echo(greeting, context_name):
    def serve(conn, ctx):
        conn.start_tls(getattr(ctx, context_name))
        conn.write_record(greeting)
        conn.flush()
        echo_lines(conn)
    return serve


SCENARIOS = {
    "final-flight": serve_final_flight,
    "split": serve_split_record,
    "multi": serve_multi_record,
    "big": serve_big_record,
    "tickets": serve_tickets,
    "silent": serve_silent,
    "echo": serve_echo,
    "smtp-inject": serve_smtp_inject,
    "multiaddr": greeting_then_echo(b"* OK multiaddr ready\r\n", "default"),
    "badca": greeting_then_echo(b"* OK bad-cert peer ready\r\n", "badca"),
    "wrongname": greeting_then_echo(b"* OK bad-cert peer ready\r\n", "wrongname"),
    "expired": greeting_then_echo(b"* OK bad-cert peer ready\r\n", "expired"),
    "dnsonly": greeting_then_echo(b"* OK dnsonly ready\r\n", "dnsonly"),
    "nosan": serve_nosan,
    "smtp-nosan": serve_smtp_nosan,
    "echo6": serve_echo,
}


class Contexts:
    def __init__(self, certs):
        self.certs = certs
        self.default = self._make("server.pem", "server.key")
        self.tls13_tickets = self._make("server.pem", "server.key")
        self.tls13_tickets.minimum_version = ssl.TLSVersion.TLSv1_3
        self.tls13_tickets.num_tickets = 2
        self.badca = self._make("badca-chain.pem", "badca.key")
        self.wrongname = self._make("wrongname.pem", "wrongname.key")
        self.expired = self._make("expired.pem", "expired.key")
        self.dnsonly = self._make("dnsonly.pem", "dnsonly.key")
        self.nosan = self._make("nosan.pem", "nosan.key")

    def _make(self, cert, key):
        return server_context(self.certs, cert, key)

    def tls12_fresh(self):
        """A TLS 1.2 context with an empty session cache and no tickets.

        A resumed TLS 1.2 handshake ends with the client's Finished, leaving
        the server no final flight to merge with the greeting; a context per
        connection cannot resume anything.
        """
        ctx = self._make("server.pem", "server.key")
        ctx.maximum_version = ssl.TLSVersion.TLSv1_2
        ctx.options |= ssl.OP_NO_TICKET
        return ctx


def multiaddr_host(port):
    """'localhost' when connecting to localhost:port tries ::1 first.

    The scenario needs getaddrinfo("localhost") to list ::1 before
    127.0.0.1 and [::1]:port to refuse the connection (nothing listens
    there). Measured on the Debian 12 container this rig was built on:
    /etc/hosts maps localhost only to 127.0.0.1, so getaddrinfo returns just
    127.0.0.1 even though ::1 is configured on lo and connectable; the
    fixture then exports an empty host and the test skips. Elsewhere (stock
    Debian/Ubuntu hosts files, Windows) the order is ::1 then 127.0.0.1.
    """
    try:
        infos = socket.getaddrinfo("localhost", port, 0, socket.SOCK_STREAM)
    except OSError:
        return ""
    addrs = [info[4][0] for info in infos]
    if not addrs or addrs[0] != "::1" or "127.0.0.1" not in addrs:
        return ""
    try:
        probe = socket.create_connection(("::1", port), timeout=1)
    except ConnectionRefusedError:
        return "localhost"
    except OSError:
        return ""  # unreachable rather than refused: not the case under test
    probe.close()
    return ""  # something else listens on [::1]:port


class Listener(threading.Thread):
    def __init__(self, name, port, contexts):
        super().__init__(name=f"listen-{name}", daemon=True)
        self.scenario = name
        self.serve = SCENARIOS[name]
        self.contexts = contexts
        self.slots = threading.BoundedSemaphore(MAX_CONNECTIONS_PER_LISTENER)
        # Scenarios named ...6 listen on the IPv6 loopback address.
        family, address = ((socket.AF_INET6, "::1") if name.endswith("6")
                           else (socket.AF_INET, "127.0.0.1"))
        self.sock = socket.socket(family, socket.SOCK_STREAM)
        self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.sock.bind((address, port))
        self.sock.listen(16)

    def run(self):
        while True:
            try:
                client, addr = self.sock.accept()
            except OSError as e:  # e.g. out of descriptors: keep the port alive
                log.info("%s: accept failed: %s", self.scenario, e)
                time.sleep(0.1)
                continue
            if not self.slots.acquire(blocking=False):
                client.close()
                continue
            threading.Thread(target=self.handle, args=(client, addr), daemon=True).start()

    def handle(self, client, addr):
        conn = Connection(client, self.scenario)
        log.info("%s: connection from %s:%d", self.scenario, *addr)
        try:
            self.serve(conn, self.contexts)
            log.info("%s: done", self.scenario)
        except PeerClosed:
            log.info("%s: client closed", self.scenario)
            conn.close(notify=True)  # answer a close_notify with ours
        except Exception as e:  # noqa: BLE001 - any failure just ends this connection
            log.info("%s: ended: %s: %s", self.scenario, type(e).__name__, e)
        finally:
            try:
                conn.close(notify=False)
            except OSError:
                pass
            self.slots.release()


def parse_args():
    p = peer_arguments(__doc__)
    p.add_argument("--log", required=True)
    p.add_argument("--multiaddr-file", help="receives the host for the multiaddr scenario")
    p.add_argument("--ipv6-file", help="receives ::1, or nothing when IPv6 loopback is missing")
    p.add_argument("listeners", nargs="+", metavar="SCENARIO=PORT")
    return p.parse_args()


def main():
    args = parse_args()
    logging.basicConfig(filename=args.log, level=logging.INFO,
                        format="%(asctime)s %(threadName)s %(message)s")
    write_pidfile(args.pidfile)
    contexts = Contexts(args.certs)
    listeners = []
    for listener_arg in args.listeners:
        name, _, port = listener_arg.partition("=")
        try:
            listeners.append(Listener(name, int(port), contexts))
        except OSError as e:
            if not name.endswith("6"):
                raise
            log.info("%s: no IPv6 loopback here: %s", name, e)
        if name == "multiaddr" and args.multiaddr_file:
            write_file(args.multiaddr_file, multiaddr_host(int(port)) + "\n")
        if name.endswith("6") and args.ipv6_file:
            listening = listeners and listeners[-1].scenario == name
            write_file(args.ipv6_file, ("::1" if listening else "") + "\n")
    for listener in listeners:
        listener.start()
    log.info("listening: %s", " ".join(args.listeners))
    mark_ready(args.ready)

    wait_until_stopped(args.max_lifetime)
    log.info("exiting")
    logging.shutdown()
    os._exit(0)  # connection threads are daemons; don't wait for them


if __name__ == "__main__":
    main()
