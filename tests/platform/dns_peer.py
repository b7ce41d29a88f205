#!/usr/bin/python3
"""A tiny authoritative DNS server (UDP) for the platform's SRV and MX tests.

Zone (names compare case-insensitively):

  _imaps._tcp.example.test       SRV 10 5 993 imap-backup.example.test
                                 SRV  0 1 993 imap.example.test
                                 (in that order: the answer order must survive)
  _submissions._tcp.example.test SRV  0 0   0 .   (service explicitly not offered)
  example.test                   MX  20 mx2.example.test
                                 MX  10 mx1.example.test
                                 MX  10 mx0.example.test
                                 A   127.0.0.1
  every host named above         A   127.0.0.1

  _imaps._tcp.hosted.test        SRV  0 0 993 localhost
  _submission._tcp.hosted.test   SRV  0 0 587 localhost
  _imaps._tcp.imap-only.test     SRV  0 0 993 localhost
  (detection end to end: the targets are the fixture's servers)

SRV and MX answers carry A records for their targets in the additional
section, as real servers do: Wine's resolver rejects such an answer without
them. A known name without records of the asked type gets an empty answer;
any other name gets NXDOMAIN.

Usage: dns_peer.py --port PORT [--address 127.0.0.1] [--pidfile FILE] [--ready FILE]
(default port $POSTERN_DNS_PORT). Exits by itself after --max-lifetime seconds.
"""

import os
import socket
import struct
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from peer_process import parse_peer_arguments, peer_arguments, serve_until_stopped  # noqa: E402

TYPE_A, TYPE_MX, TYPE_SRV = 1, 15, 33
CLASS_IN = 1
TTL = 60

HOSTS = ["imap.example.test", "imap-backup.example.test",
         "mx0.example.test", "mx1.example.test", "mx2.example.test", "example.test"]

# name -> list of (type, record data as a tuple)
ZONE = {
    "_imaps._tcp.example.test": [
        (TYPE_SRV, (10, 5, 993, "imap-backup.example.test")),
        (TYPE_SRV, (0, 1, 993, "imap.example.test")),
    ],
    "_submissions._tcp.example.test": [(TYPE_SRV, (0, 0, 0, ""))],
    "_imaps._tcp.hosted.test": [(TYPE_SRV, (0, 0, 993, "localhost"))],
    "_submission._tcp.hosted.test": [(TYPE_SRV, (0, 0, 587, "localhost"))],
    "_imaps._tcp.imap-only.test": [(TYPE_SRV, (0, 0, 993, "localhost"))],
    "example.test": [
        (TYPE_MX, (20, "mx2.example.test")),
        (TYPE_MX, (10, "mx1.example.test")),
        (TYPE_MX, (10, "mx0.example.test")),
    ],
}
for host in HOSTS:
    ZONE.setdefault(host, []).append((TYPE_A, ("127.0.0.1",)))


def encode_name(name):
    out = b""
    for label in name.split("."):
        if label:
            raw = label.encode("ascii")
            out += bytes([len(raw)]) + raw
    return out + b"\0"


def decode_question(packet):
    """(name, qtype, qclass, end offset) of the first question, no compression."""
    pos, labels = 12, []
    while True:
        length = packet[pos]
        pos += 1
        if length == 0:
            break
        if length & 0xC0 or len(labels) > 127:
            raise ValueError("unexpected label")
        labels.append(packet[pos:pos + length].decode("ascii", "replace"))
        pos += length
    qtype, qclass = struct.unpack("!HH", packet[pos:pos + 4])
    return ".".join(labels), qtype, qclass, pos + 4


def rdata(rtype, data):
    if rtype == TYPE_A:
        return socket.inet_aton(data[0])
    if rtype == TYPE_MX:
        return struct.pack("!H", data[0]) + encode_name(data[1])
    if rtype == TYPE_SRV:
        return struct.pack("!HHH", *data[:3]) + encode_name(data[3])
    raise ValueError(rtype)


def record(name, rtype, data):
    body = rdata(rtype, data)
    return encode_name(name) + struct.pack("!HHIH", rtype, CLASS_IN, TTL, len(body)) + body


def answer(packet):
    query_id, flags, qdcount = struct.unpack("!HHH", packet[:6])
    if flags & 0x8000 or qdcount != 1:
        return None  # a response, or not one question: ignore
    name, qtype, qclass, end = decode_question(packet)
    question = packet[12:end]
    key = name.lower().rstrip(".")
    answers, additional = [], []
    rcode = 0
    if key not in ZONE:
        rcode = 3  # NXDOMAIN
    elif qclass == CLASS_IN:
        for rtype, data in ZONE[key]:
            if rtype == qtype:
                answers.append(record(name, rtype, data))
                target = data[-1] if rtype in (TYPE_MX, TYPE_SRV) else ""
                if target:
                    additional.append(record(target, TYPE_A, ("127.0.0.1",)))
        if answers and qtype in (TYPE_MX, TYPE_SRV) and not additional:
            # The "." target has no address; any additional record will do.
            additional.append(record("example.test", TYPE_A, ("127.0.0.1",)))
    # QR, AA, RD copied from the query, RA.
    out_flags = 0x8000 | 0x0400 | (flags & 0x0100) | 0x0080 | rcode
    header = struct.pack("!HHHHHH", query_id, out_flags, 1, len(answers), 0, len(additional))
    return header + question + b"".join(answers) + b"".join(additional)


def serve(sock):
    while True:
        try:
            packet, peer = sock.recvfrom(4096)
            reply = answer(packet)
        except (ValueError, IndexError, struct.error):
            continue
        except OSError:
            return
        if reply:
            sock.sendto(reply, peer)


def main():
    p = peer_arguments(__doc__, "POSTERN_DNS_PORT", certs=False)
    p.add_argument("--address", default="127.0.0.1")
    args = parse_peer_arguments(p, "POSTERN_DNS_PORT")
    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sock.bind((args.address, args.port))
    serve_until_stopped(args, lambda: serve(sock))


if __name__ == "__main__":
    main()
