#!/usr/bin/env bash
# postern-cli check against the fixture's servers: two good accounts give the
# rail with "All Inboxes" and both accounts, the list and the traffic; a
# wrong password ends with status 1 and the status line's warning.
set -uo pipefail
# shellcheck source=lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
require_fixture
# shellcheck disable=SC1091
source "$POSTERN_FIXTURE_DIR/env"

work=$(mktemp -d)
restore=""
if [[ $runner == wine ]]; then
  # The program's own data folder in the prefix; whatever is there is put
  # back afterwards.
  appdata=$(wine cmd /c 'echo %APPDATA%' 2>/dev/null | tr -d '\r')
  data=$(wine winepath -u "$appdata" 2>/dev/null | tr -d '\r')/Halvorsoft/Postern
  if [[ -e $data ]]; then
    mv "$data" "$work/saved"
    restore="$work/saved"
  fi
else
  export XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data"
  data=""
fi
cleanup() {
  if [[ -n $data ]]; then
    rm -rf "$data"
    [[ -n $restore ]] && mv "$restore" "$data"
  fi
  rm -rf "$work"
}
trap cleanup EXIT

add_account() { # NAME USER PASSWORD
  printf '%s\n' "$3" | run_cli account add --name "$1" --email "$2" --imap-host localhost \
    --imap-port "$POSTERN_IMAP_PORT" --smtp-host localhost --smtp-port "$POSTERN_SUBMISSION_PORT" \
    --user "$2" >/dev/null
}

ca=(--ca "$(host_path "$POSTERN_TEST_CA")")
add_account Alice "$POSTERN_USER1" "$POSTERN_PASS1"
add_account Bob "$POSTERN_USER2" "$POSTERN_PASS2"
expect_success "two accounts: the rail starts with All Inboxes" $'^ *All Inboxes' check "${ca[@]}"
expect_success "Alice's folders under her header" '^  ALICE$' check "${ca[@]}"
expect_success "Bob's header" '^  BOB$' check "${ca[@]}"
expect_success "All Inboxes is the list shown" $'List: All Inboxes, [0-9]+ rows' check "${ca[@]}"
expect_success "traffic per account" $'Alice: [0-9]+ IMAP commands, [0-9]+ round trips, 1 connection$' check "${ca[@]}"

add_account Wrong "$POSTERN_USER1" "not-the-password"
expect_failure "a wrong password fails with the status line" '^⚠ Wrong: .*' check "${ca[@]}"

finish
