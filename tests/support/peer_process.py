"""The life of every test server the fixture starts, around its own work:
files that appear whole (pid and ready files are polled by the fixture),
and running until SIGTERM, SIGINT or the lifetime limit, whichever comes
first, so that a forgotten server never outlives its test run for long.
"""

import os
import signal
import threading


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
