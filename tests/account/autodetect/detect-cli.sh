#!/usr/bin/env bash
# Black-box check of `postern-cli detect`: known providers are answered from
# the built-in table with networking switched off (so they cannot have
# touched the network), and the address checks come first. Meant to sit with
# the other CLI scripts: detect-cli.sh RUNNER CLI ("native" or "wine").
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../../cli/lib.sh"

expect_success "gmail from the table" "source: known provider" detect someone@GMAIL.com --no-network
expect_success "gmail needs Google sign-in" "google sign-in: yes" detect someone@gmail.com --no-network
expect_success "proton bridge ports" "imap: 127\.0\.0\.1:1143" detect a@proton.me --no-network
expect_failure "unknown domain, no network" \
  "^detect: no IMAP server found for nowhere\.test \(checked providers, SRV, ISPDB, autoconfig, MX\)$" \
  detect a@nowhere.test --no-network
expect_failure "no domain" "^detect: enter a full email address first$" detect alice@
finish
