#!/usr/bin/env python3
"""Baseline for `postern-cli bench parse`: the same work with Python's email
package (policy.default), reading the same environment and printing the same
BENCH line.

  BENCH_CORPUS=DIR BENCH_PARSE_LIST=FILE BENCH_RUNS=3 py_parse_bench.py

One pass per message: parse; decode From, Subject, Date and Message-ID;
take the first non-attachment text/plain and text/html leaves as text;
decode every other leaf.
"""
import email
import email.policy
import os
import sys
import time


def leaves(msg):
    stack = [msg]
    while stack:
        part = stack.pop()
        if part.is_multipart():
            stack.extend(reversed(part.get_payload()))
            continue
        yield part


def one(raw, sums):
    msg = email.message_from_bytes(raw, policy=email.policy.default)
    for name in ('from', 'subject', 'message-id'):
        value = msg[name]
        sums['hdr'] += len(str(value)) if value is not None else 0
    try:
        date = msg['date']
        if date is not None and date.datetime is not None:
            sums['hdr'] += 1
    except Exception:
        pass
    text = html = None
    for part in leaves(msg):
        ctype = part.get_content_type()
        attachment = part.is_attachment()
        if not attachment and ctype == 'text/plain' and text is None:
            text = part.get_content()
            continue
        if not attachment and ctype == 'text/html' and html is None:
            html = part.get_content()
            continue
        sums['att'] += 1
        data = part.get_payload(decode=True)
        sums['hdr'] += len(data) if data else 0
    sums['text'] += 1 if text else 0
    sums['html'] += 1 if html else 0
    sums['text_bytes'] += len(text.encode('utf-8', 'surrogatepass')) if text else 0
    sums['html_bytes'] += len(html.encode('utf-8', 'surrogatepass')) if html else 0


def main():
    corpus = os.environ.get('BENCH_CORPUS')
    listing = os.environ.get('BENCH_PARSE_LIST')
    runs = int(os.environ.get('BENCH_RUNS') or 3)
    if not corpus or not listing:
        sys.exit('set BENCH_CORPUS and BENCH_PARSE_LIST')
    names = [line.strip() for line in open(listing) if line.strip()]
    messages = [open(os.path.join(corpus, n), 'rb').read() for n in names]
    times = []
    sums = {}
    for _ in range(max(runs, 1)):
        sums = {'hdr': 0, 'text': 0, 'html': 0, 'att': 0, 'text_bytes': 0, 'html_bytes': 0}
        start = time.perf_counter()
        for raw in messages:
            one(raw, sums)
        times.append((time.perf_counter() - start) * 1000)
    print('BENCH parse ms=%s msgs=%d bytes=%d text=%d html=%d att=%d text_bytes=%d html_bytes=%d' % (
        ','.join('%.1f' % t for t in times), len(messages), sum(map(len, messages)),
        sums['text'], sums['html'], sums['att'], sums['text_bytes'], sums['html_bytes']))


if __name__ == '__main__':
    main()
