#!/usr/bin/python3
"""A small OAuth 2.0 authorization server over HTTPS for the sign-in tests.

It checks what a real one checks: the authorization request's parameters,
PKCE S256 (the verifier at /token must hash to the challenge given at
/o/oauth2/v2/auth), one use per code, the same client and redirect URI at
both ends. Codes look like Google's ("4/...") so they need percent-encoding.

  GET  /o/oauth2/v2/auth?...  200, body = the redirect URL a browser would
                              be sent to (no Location following needed).
                              client_id "deny-me": error=access_denied;
                              "forge-state": a different state;
                              "code-first": code before state in the query.
  POST /token                 authorization_code and refresh_token grants.
                              Clients "no-refresh" get no refresh_token.
                              Refresh tokens: "rt-keep" (no new one),
                              "rt-rotate" (new "rt-new"), others invalid_grant.
  POST /token-html            200 with an HTML page
  POST /token-500             500 with plain text
  POST /token-refused         401 {"error":"invalid_client","error_description":"Unauthorized"}
  POST /token-bare-error      400 {"error":"invalid_request"}
  POST /token-no-access       200 {"token_type":"Bearer"}
  POST /token-no-expiry       200 access and refresh token, no expires_in
  POST /token-echo            200, access_token = the raw request body
  POST /revoke                token=T: T is no longer valid (RFC 7009;
                              200 also for tokens it never issued)

Access tokens from the authorization_code grant belong to EMAIL until
they expire or are revoked. A mail server learns that from the introspection endpoint (RFC
7662), served over plain HTTP on --introspect-port as Dovecot's oauth2
passdb accepts it on loopback:

  POST /introspect            token=T: {"active": true, "username": EMAIL,
                              ...} for a live token, else {"active": false}

Usage: oauth_peer.py --certs DIR --port PORT [--introspect-port PORT]
[--pidfile F] [--ready F] (default ports $POSTERN_SIGNIN_OAUTH_PORT and
$POSTERN_SIGNIN_INTROSPECT_PORT). Exits by itself after --max-lifetime
seconds; every connection times out after 10 s.
"""

import base64
import hashlib
import json
import os
import secrets
import sys
import threading
import time
import urllib.parse

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "support"))
from peer_process import (HttpsServer, QuietHandler, parse_peer_arguments, peer_arguments,  # noqa: E402
                          serve_until_stopped, server_context)

MAX_BODY = 64 * 1024
EMAIL = "alice@example.test"

codes = {}  # code -> dict(client_id, redirect_uri, challenge)
access_tokens = {}  # live access token -> dict(username, client_id, exp)
lock = threading.Lock()


def b64url(data):
    return base64.urlsafe_b64encode(data).rstrip(b"=").decode()


def id_token(email):
    header = b64url(json.dumps({"alg": "none", "typ": "JWT"}).encode())
    payload = b64url(json.dumps({"iss": "oauth-peer", "email": email}).encode())
    return f"{header}.{payload}.signature"


class Handler(QuietHandler):
    def reply(self, status, body, content_type="application/json"):
        super().reply(status, json.dumps(body) if isinstance(body, (dict, list)) else body, content_type)

    def do_GET(self):  # noqa: N802
        url = urllib.parse.urlsplit(self.path)
        if url.path != "/o/oauth2/v2/auth":
            self.reply(404, "no such page", "text/plain")
            return
        q = dict(urllib.parse.parse_qsl(url.query, keep_blank_values=True))
        problems = []
        if not q.get("client_id"):
            problems.append("client_id")
        if not q.get("redirect_uri", "").startswith("http://127.0.0.1:"):
            problems.append("redirect_uri")
        if q.get("response_type") != "code":
            problems.append("response_type")
        if q.get("code_challenge_method") != "S256" or len(q.get("code_challenge", "")) != 43:
            problems.append("code_challenge")
        if len(q.get("state", "")) != 22:
            problems.append("state")
        if q.get("scope") != "https://mail.google.com/ openid email":
            problems.append("scope")
        if q.get("access_type") != "offline" or q.get("prompt") != "consent":
            problems.append("offline consent")
        if problems:
            self.reply(400, "bad authorization request: " + ", ".join(problems), "text/plain")
            return
        client = q["client_id"]
        state = q["state"]
        if client == "deny-me":
            query = urllib.parse.urlencode({"error": "access_denied", "state": state})
        else:
            code = "4/" + secrets.token_urlsafe(24)
            with lock:
                codes[code] = {"client_id": client, "redirect_uri": q["redirect_uri"],
                               "challenge": q["code_challenge"]}
            if client == "forge-state":
                state = "forged" + state[6:]
            if client == "code-first":
                query = urllib.parse.urlencode({"code": code, "scope": q["scope"], "state": state})
            else:
                query = urllib.parse.urlencode({"state": state, "code": code, "scope": q["scope"]})
        self.reply(200, q["redirect_uri"] + "/?" + query, "text/plain")

    def read_form(self):
        """The raw body and its form fields; None after answering 413."""
        length = int(self.headers.get("Content-Length") or "0")
        if length > MAX_BODY:
            self.reply(413, "too large", "text/plain")
            return None, None
        raw = self.rfile.read(length).decode("utf-8", "replace") if length else ""
        return raw, dict(urllib.parse.parse_qsl(raw, keep_blank_values=True))

    def do_POST(self):  # noqa: N802
        raw, form = self.read_form()
        if raw is None:
            return
        if self.path == "/token":
            self.token(form)
        elif self.path == "/token-html":
            self.reply(200, "<html><body>Sign in</body></html>", "text/html")
        elif self.path == "/token-500":
            self.reply(500, "Internal Server Error", "text/plain")
        elif self.path == "/token-refused":
            self.reply(401, {"error": "invalid_client", "error_description": "Unauthorized"})
        elif self.path == "/token-bare-error":
            self.reply(400, {"error": "invalid_request"})
        elif self.path == "/token-no-access":
            self.reply(200, {"token_type": "Bearer"})
        elif self.path == "/token-no-expiry":
            self.reply(200, {"access_token": "at-1", "refresh_token": "rt-1"})
        elif self.path == "/token-echo":
            self.reply(200, {"access_token": raw, "refresh_token": "rt-echo", "expires_in": 3600})
        elif self.path == "/revoke":
            with lock:
                access_tokens.pop(form.get("token", ""), None)
            self.reply(200, {})
        else:
            self.reply(404, "no such page", "text/plain")

    def token(self, form):
        grant = form.get("grant_type")
        if "client_secret" not in form:
            self.reply(400, {"error": "invalid_request", "error_description": "client_secret missing"})
            return
        if grant == "authorization_code":
            with lock:
                entry = codes.pop(form.get("code", ""), None)
            if entry is None:
                self.reply(400, {"error": "invalid_grant", "error_description": "unknown or used code"})
                return
            verifier = form.get("code_verifier", "")
            if not 43 <= len(verifier) <= 128 or b64url(hashlib.sha256(verifier.encode()).digest()) != entry["challenge"]:
                self.reply(400, {"error": "invalid_grant", "error_description": "PKCE verification failed"})
                return
            if form.get("client_id") != entry["client_id"] or form.get("redirect_uri") != entry["redirect_uri"]:
                self.reply(400, {"error": "invalid_grant", "error_description": "client or redirect_uri differs"})
                return
            access = "at-" + secrets.token_urlsafe(24)
            with lock:
                access_tokens[access] = {"username": EMAIL, "client_id": entry["client_id"],
                                         "exp": int(time.time()) + 3599}
            answer = {"access_token": access, "expires_in": 3599,
                      "token_type": "Bearer", "id_token": id_token(EMAIL)}
            if entry["client_id"] != "no-refresh":
                answer["refresh_token"] = "rt-" + secrets.token_urlsafe(8)
            self.reply(200, answer)
        elif grant == "refresh_token":
            token = form.get("refresh_token")
            if token == "rt-keep":
                self.reply(200, {"access_token": "at-refreshed", "expires_in": 1000})
            elif token == "rt-rotate":
                self.reply(200, {"access_token": "at-rotated", "expires_in": 1000, "refresh_token": "rt-new"})
            else:
                self.reply(400, {"error": "invalid_grant", "error_description": "Token has been expired or revoked."})
        else:
            self.reply(400, {"error": "unsupported_grant_type"})


class IntrospectionHandler(Handler):
    def do_GET(self):  # noqa: N802
        self.reply(404, "no such page", "text/plain")

    def do_POST(self):  # noqa: N802
        _, form = self.read_form()
        if form is None:
            return
        if self.path != "/introspect":
            self.reply(404, "no such page", "text/plain")
            return
        with lock:
            entry = access_tokens.get(form.get("token", ""))
        if entry is None or entry["exp"] <= time.time():
            self.reply(200, {"active": False})
        else:
            self.reply(200, {"active": True, "token_type": "Bearer", "scope": "https://mail.google.com/",
                             **entry})


def main():
    p = peer_arguments(__doc__, "POSTERN_SIGNIN_OAUTH_PORT")
    p.add_argument("--introspect-port", type=int,
                   default=int(os.environ.get("POSTERN_SIGNIN_INTROSPECT_PORT", "0")))
    args = parse_peer_arguments(p, "POSTERN_SIGNIN_OAUTH_PORT")
    servers = [HttpsServer(args.port, server_context(args.certs), Handler)]
    if args.introspect_port:
        servers.append(HttpsServer(args.introspect_port, None, IntrospectionHandler))
    serve_until_stopped(args, *(server.serve_forever for server in servers))


if __name__ == "__main__":
    main()
