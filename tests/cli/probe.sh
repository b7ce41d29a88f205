#!/usr/bin/env bash
# Black-box check of `postern-cli probe` against the real servers: the
# greeting of Dovecot over implicit TLS and of Postfix after STARTTLS, and the
# certificate error for an untrusted CA, a wrong host name and an expired
# certificate. Usage: probe.sh RUNNER CLI (RUNNER is "wine" or "native").
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
require_fixture

expect_success "Dovecot greeting" "ready" probe localhost "$POSTERN_IMAP_PORT" --ca "$(host_path "$POSTERN_TEST_CA")"
expect_success "Postfix after STARTTLS" "^220 " probe localhost "$POSTERN_SUBMISSION_PORT" --starttls-smtp --ca "$(host_path "$POSTERN_TEST_CA")"
for port_var in POSTERN_BADCA_PORT POSTERN_WRONGNAME_PORT POSTERN_EXPIRED_PORT; do
  expect_failure "$port_var rejected" "^TLS handshake failed 0x[0-9a-f]{8} \(certificate or protocol error\)$" \
    probe localhost "${!port_var}" --ca "$(host_path "$POSTERN_TEST_CA")"
done
expect_failure "closed port" "^connect failed to localhost:1$" probe localhost 1
finish
