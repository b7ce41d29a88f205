#!/usr/bin/python3
"""The IMAP benchmark steps with Python's imaplib, as the baseline.

Reads the same BENCH_* variables as `postern-cli bench imap`, runs the same
steps on a fresh connection per run, times only the step and prints the same
"BENCH step ms=..." lines, so the runner can put the two side by side.
"""

import imaplib
import os
import re
import ssl
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import imap_mutf7 as mutf7  # noqa: E402  (the shared modified UTF-7 encoder beside this file)

ITEMS = ("(UID FLAGS RFC822.SIZE INTERNALDATE BODY.PEEK[HEADER.FIELDS (FROM SUBJECT DATE MESSAGE-ID "
         "IN-REPLY-TO REFERENCES)])")

host = os.environ.get("BENCH_HOST", "localhost")
port = int(os.environ["BENCH_PORT"])
user, password = os.environ["BENCH_USER"], os.environ["BENCH_PASS"]
ctx = ssl.create_default_context(cafile=os.environ.get("BENCH_CAFILE") or None)
runs = int(os.environ.get("BENCH_RUNS", "5"))
ops = os.environ.get("BENCH_OPS", "connect_login,fetch_headers_200,fetch_bodies_50,status_31").split(",")
uids = [u for u in os.environ.get("BENCH_FETCH_UIDS", "").split(",") if u]
folders = []
if os.environ.get("BENCH_FOLDERS_FILE"):
    with open(os.environ["BENCH_FOLDERS_FILE"], encoding="utf-8") as f:
        folders = [mutf7.encode(line.rstrip("\r\n")) for line in f if line.strip()]


def connect():
    imap = imaplib.IMAP4_SSL(host, port, ssl_context=ctx)
    imap.login(user, password)
    return imap


def report(op, times, extra=""):
    print(f"BENCH {op} ms={','.join(f'{t:.1f}' for t in times)}{' ' + extra if extra else ''}", flush=True)


for op in ops:
    times, extra = [], ""
    for _ in range(runs):
        if op == "connect_login":
            start = time.perf_counter()
            imap = connect()
            times.append((time.perf_counter() - start) * 1000)
            imap.logout()
            continue
        imap = connect()
        if op == "fetch_headers_200":
            start = time.perf_counter()
            typ, data = imap.select("INBOX")
            count = int(data[0])
            first = max(1, count - 199)
            typ, data = imap.fetch(f"{first}:{count}", ITEMS)
            times.append((time.perf_counter() - start) * 1000)
            msgs = [d for d in data if isinstance(d, tuple)]
            sizes = [int(m.group(1)) for d in msgs if (m := re.search(rb"RFC822\.SIZE (\d+)", d[0]))]
            uid_max = max(int(m.group(1)) for d in msgs if (m := re.search(rb"UID (\d+)", d[0])))
            extra = f"msgs={len(msgs)} size_sum={sum(sizes)} uid_max={uid_max}"
        elif op == "fetch_bodies_50":
            imap.select("INBOX")
            total = 0
            start = time.perf_counter()
            for i in range(50):
                typ, data = imap.uid("FETCH", uids[i % len(uids)], "(BODY.PEEK[])")
                total += len(data[0][1])
            times.append((time.perf_counter() - start) * 1000)
            extra = f"msgs=50 bytes={total}"
        elif op == "status_31":
            unseen = 0
            start = time.perf_counter()
            for folder in folders:
                typ, data = imap.status('"' + folder + '"', "(UNSEEN)")
                unseen += int(re.search(rb"UNSEEN (\d+)", data[0]).group(1))
            times.append((time.perf_counter() - start) * 1000)
            extra = f"folders={len(folders)} unseen_sum={unseen}"
        imap.logout()
    report(op, times, extra)
