#!/usr/bin/python3
"""Carries TCP ports of the fixture into a private network namespace.

The Windows DNS tests run in a namespace of their own (Wine asks
127.0.0.1:53 only), where the fixture's servers cannot be reached. Started
inside it, this listens on 127.0.0.1:PORT there, then moves to the network
namespace given by --netns (the host's) before any other thread exists, so
every connection it forwards is made to 127.0.0.1:PORT of the host.

Usage: netns_bridge.py --netns /proc/PID/ns/net [--ready F] PORT...
Exits by itself after --max-lifetime seconds; idle connections close
after 30 s.
"""

import argparse
import ctypes
import os
import socket
import sys
import threading

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from peer_process import mark_ready, wait_until_stopped  # noqa: E402

CLONE_NEWNET = 0x40000000
IDLE_SECONDS = 30.0


def pump(source, sink):
    try:
        while True:
            data = source.recv(65536)
            if not data:
                break
            sink.sendall(data)
    except OSError:
        pass
    for s in (source, sink):
        try:
            s.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass


def forward(listener, port):
    while True:
        try:
            inside, _ = listener.accept()
        except OSError:
            return
        try:
            outside = socket.create_connection(("127.0.0.1", port), timeout=IDLE_SECONDS)
        except OSError:
            inside.close()  # nothing there: the client sees the refusal as a close
            continue
        inside.settimeout(IDLE_SECONDS)
        threading.Thread(target=pump, args=(inside, outside), daemon=True).start()
        threading.Thread(target=pump, args=(outside, inside), daemon=True).start()


def main():
    p = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    p.add_argument("--netns", required=True, help="network namespace to connect in")
    p.add_argument("--ready", help="written once the ports listen")
    p.add_argument("--max-lifetime", type=float, default=280)
    p.add_argument("ports", type=int, nargs="+")
    args = p.parse_args()

    listeners = [(socket.create_server(("127.0.0.1", port)), port) for port in args.ports]
    # Sockets stay in the namespace they were made in; threads started after
    # this inherit the new one.
    libc = ctypes.CDLL(None, use_errno=True)
    fd = os.open(args.netns, os.O_RDONLY)
    if libc.setns(fd, CLONE_NEWNET) != 0:
        raise OSError(ctypes.get_errno(), "setns " + args.netns)
    os.close(fd)
    for listener, port in listeners:
        threading.Thread(target=forward, args=(listener, port), daemon=True).start()
    mark_ready(args.ready)

    wait_until_stopped(args.max_lifetime)
    os._exit(0)


if __name__ == "__main__":
    main()
