#!/usr/bin/python3
"""HTTPS server standing in for the ISPDB and a domain's autoconfig host in
the autodetection tests (the fixture's localhost certificate).

  GET /v1.1/ispdb.test       200, IMAP localhost; SMTP localhost 587 STARTTLS
  GET /v1.1/moved.test       301 whose body is a valid document (must not count)
  GET /v1.1/missing.test     404 whose body is a valid document (must not count)
  GET /v1.1/garbage.test     200, not a document
  GET /v1.1/deadhost.test    200, IMAP host that does not answer
  GET /v1.1/DOMAIN           with --mail-domain DOMAIN --mail-ports IMAP,SMTPS:
                             200, the fixture's Dovecot and Postfix on
                             localhost, both SSL (the demo and its window
                             tests add accounts through detection)
  GET /mail/config-v1.1.xml?emailaddress=ADDRESS
                             200 for an address at autoconf.test (SMTP 465
                             SSL), 400 when the decoded address holds a space
                             (a "+" sent unencoded), 404 otherwise
Anything else: 404.

Usage: autoconfig_peer.py --certs DIR --port PORT [--mail-domain D --mail-ports I,S] [--pidfile F]
[--ready F]
(default port $POSTERN_AUTOCONFIG_PORT). Exits by itself after
--max-lifetime seconds; every connection times out after 10 s.
"""

import os
import sys
import urllib.parse

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "support"))
from peer_process import (HttpsServer, QuietHandler, parse_peer_arguments, peer_arguments,  # noqa: E402
                          serve_until_stopped, server_context)



def document(imap_host, smtp_host, smtp_port, smtp_socket, imap_port=143, imap_socket="STARTTLS"):
    return f"""<?xml version="1.0"?>
<clientConfig version="1.1">
  <emailProvider id="test">
    <incomingServer type="pop3"><hostname>pop.invalid</hostname><port>995</port></incomingServer>
    <incomingServer type="imap">
      <hostname> {imap_host} </hostname>
      <port>{imap_port}</port>
      <socketType>{imap_socket}</socketType>
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


class Handler(QuietHandler):
    def reply(self, status, body):
        headers = [("Location", "/v1.1/ispdb.test")] if status == 301 else []
        super().reply(status, body, "application/xml", headers)

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


def main():
    parser = peer_arguments(__doc__, "POSTERN_AUTOCONFIG_PORT")
    parser.add_argument("--mail-domain", help="a domain whose mail is the fixture's")
    parser.add_argument("--mail-ports", help="IMAP,SMTPS ports of the fixture's mail servers")
    args = parse_peer_arguments(parser, "POSTERN_AUTOCONFIG_PORT")
    if args.mail_domain and args.mail_ports:
        imap, smtps = (int(port) for port in args.mail_ports.split(","))
        ISPDB[args.mail_domain] = (200, document("localhost", "localhost", smtps, "SSL", imap, "SSL"))
    server = HttpsServer(args.port, server_context(args.certs), Handler)
    serve_until_stopped(args, server.serve_forever)


if __name__ == "__main__":
    main()
