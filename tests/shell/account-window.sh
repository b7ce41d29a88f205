#!/usr/bin/env bash
# Accounts made and changed inside the program, as a person does it, under
# Wine and Xvfb on the demo's servers with real input from the window
# driver: the first start without settings (Cancel ends the program and
# writes nothing; the form's checks; an address that detection completes
# from the loopback autoconfig server; Save reaches the main window with the
# account's folders), adding a second account from the File menu with the
# Detect button, and editing the first one's label. Checked in the dialog's
# controls, on the screen (OCR) and in config.json. Screenshots in
# BUILD/artifacts.
#
#   tests/shell/account-window.sh BUILD     (BUILD: the Windows build folder)
set -uo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
# shellcheck source=../support/window-test.sh
source "$repo/tests/support/window-test.sh"
wt_begin "$@"
wt_demo_test accounts "${POSTERN_DEMO_ACCOUNTS_PORT_BASE:-17860}"

wt_start_xvfb 86 1600x1000x24 || die "no free X display"
wt_demo_serve "$repo" "$artifacts/accounts-serve.log" ||
    die "scripts/demo serve failed: $(tail -n 5 "$artifacts/accounts-serve.log")"
config=$wt_data/config.json
# A first start: the demo's settings go.
rm -f "$config" "$wt_data/locked.json"

# --- helpers ----------------------------------------------------------------------------

drive() { wine "$driver" "$@" | tr -d '\r'; }
# The same on the account dialog.
dialog() { POSTERN_DRIVER_CLASS=PosternAccount wine "$driver" "$@" | tr -d '\r'; }

# Detection asks the fixture's autoconfig server (standing in for the ISPDB)
# and knocks on its Dovecot; the DNS step goes to a loopback address where
# nothing answers, so no query leaves the machine.
start_postern() {
    POSTERN_AUTOCONFIG=localhost:$POSTERN_AUTOCONFIG_PORT POSTERN_DNS_SERVER=127.0.0.2:53 \
        POSTERN_PROBE_PORTS=$POSTERN_IMAP_PORT,$POSTERN_SMTPS_PORT,$POSTERN_SUBMISSION_PORT \
        timeout 600 setarch "$(uname -m)" -R wine "$postern" >>"$artifacts/accounts-postern.log" 2>&1 &
    wt_program_pid=$!
}

shot() { wt_screenshot "$artifacts/accounts-$1.png" && echo "$artifacts/accounts-$1.png"; }

# Clicks a dialog control (SendInput at its centre).
press() { # ID
    local x y
    read -r x y <<<"$(dialog control-at "$1")" || die "the dialog has no control $1"
    dialog click "$x" "$y"
}

# Clicks into a field, selects what it holds and types TEXT over it.
fill() { # ID TEXT
    press "$1"
    dialog key ctrl+a
    if [[ -n $2 ]]; then dialog type "$2"; else dialog key delete; fi
}

status_is() { # TEXT
    wt_wait_output 20 "$1" dialog control 217 >/dev/null
}

accounts() {
    /usr/bin/python3 -c 'import json, sys
c = json.load(open(sys.argv[1], encoding="utf-8"))
print(" | ".join("%s %s %s:%s %s" % (a["name"], a["user"], a["imapHost"], a["imapPort"], a["smtpPort"])
                 for a in c["accounts"]))' "$config" 2>/dev/null
}

# --- the first start: Cancel ends the program, nothing written ----------------------------

start_postern
dialog find 30000 >/dev/null || die "no account dialog on the first start"
sleep 0.5
shot dialog-add >/dev/null
press 216 # Cancel
drive gone 20000 >/dev/null || fail "Cancel on the first start did not end the program"
dialog gone 5000 >/dev/null || fail "the dialog stayed after Cancel"
[[ ! -e $config ]] || fail "Cancel on the first start wrote config.json"

# --- the first start: the form's checks, detection, Save ----------------------------------

start_postern
dialog find 30000 >/dev/null || die "no account dialog on the second start"
press 215 # Save with nothing filled in
status_is "Email, IMAP host and SMTP host are required." || fail "an empty form saved: '$(dialog control 217)'"

fill 202 "$POSTERN_EMAIL1"
dialog key tab # leaving the address field detects by itself
status_is "Found via ISPDB." || fail "detection said '$(dialog control 217)'"
[[ $(dialog control 205) == localhost && $(dialog control 207) == localhost ]] ||
    fail "detection filled IMAP '$(dialog control 205)', SMTP '$(dialog control 207)'"
[[ $(dialog control 201) == example.test && $(dialog control 204) == "$POSTERN_EMAIL1" ]] ||
    fail "label '$(dialog control 201)' and user '$(dialog control 204)' not taken from the address"
shot dialog-detected >/dev/null

# The demo's servers listen on ports of their own.
fill 204 "$POSTERN_USER1"
fill 206 0
press 215
status_is "The IMAP port must be a number from 1 to 65535." || fail "port 0 said '$(dialog control 217)'"
fill 206 "$POSTERN_IMAP_PORT"
fill 208 "$POSTERN_SMTPS_PORT"
fill 205 ""
press 215
status_is "Email, IMAP host and SMTP host are required." || fail "no IMAP host said '$(dialog control 217)'"
fill 205 localhost
press 215
status_is "Enter the account password." || fail "no password said '$(dialog control 217)'"
[[ ! -e $config ]] || fail "a refused form wrote config.json"
fill 211 "$POSTERN_PASS1"
press 215
dialog gone 10000 >/dev/null || fail "Save did not close the dialog"
drive find 30000 >/dev/null || die "no main window after the first account was saved"
drive move 0 120 1280 840 >/dev/null
[[ $(accounts) == "example.test $POSTERN_USER1 localhost:$POSTERN_IMAP_PORT $POSTERN_SMTPS_PORT" ]] ||
    fail "config.json holds '$(accounts)'"
grep -qF "$POSTERN_PASS1" "$config" && fail "the password is in config.json as typed"

# The account's folders in the rail, read back from the screen.
rail_reads() { # WORD...
    local deadline=$((SECONDS + 30)) file text want missing
    while :; do
        file=$(shot "$1")
        text=$(wt_ocr "$file" 0 150 240 700)
        missing=""
        for want in "${@:2}"; do
            wt_contains "$text" "$want" || missing=$want
        done
        [[ -z $missing ]] && return 0
        if ((SECONDS >= deadline)); then
            echo "rail ($file): '$missing' not in '$text'" >&2
            return 1
        fi
        sleep 0.5
    done
}
rail_reads first-account "EXAMPLE.TEST" "Inbox" "Archive" "Projekte" || fail "the new account's folders are not in the rail"

# --- File > Add Account: the second demo account, found with Detect ----------------------

drive key alt+f
sleep 0.4
drive key a
dialog find 10000 >/dev/null || die "File > Add Account opened no dialog"
fill 202 "$POSTERN_EMAIL2"
fill 201 Home
press 218 # Detect
status_is "Found via ISPDB." || fail "Detect said '$(dialog control 217)'"
[[ $(dialog control 201) == Home ]] || fail "detection overwrote the typed label: '$(dialog control 201)'"
fill 204 "$POSTERN_USER2"
fill 206 "$POSTERN_IMAP_PORT"
fill 208 "$POSTERN_SMTPS_PORT"
fill 211 "$POSTERN_PASS2"
press 215
dialog gone 10000 >/dev/null || fail "Save did not close the second dialog"
rail_reads second-account "EXAMPLE.TEST" "HOME" || fail "the second account is not in the rail"
[[ $(accounts) == *" | Home $POSTERN_USER2 localhost:$POSTERN_IMAP_PORT $POSTERN_SMTPS_PORT" ]] ||
    fail "config.json holds '$(accounts)' after adding Home"

# --- File > Accounts > first > Edit: a new label ---------------------------------------------

drive key alt+f
sleep 0.4
drive key c     # Accounts
drive key enter # the first account
drive key enter # Edit…
dialog find 10000 >/dev/null || die "Edit opened no dialog"
sleep 0.5
shot dialog-edit >/dev/null
[[ $(dialog control 202) == "$POSTERN_EMAIL1" ]] || fail "the edit dialog shows '$(dialog control 202)'"
fill 201 Work
press 215
dialog gone 10000 >/dev/null || fail "Save did not close the edit dialog"
rail_reads edited "WORK" "HOME" || fail "the edited label is not in the rail"
[[ $(accounts) == "Work $POSTERN_USER1 "* ]] || fail "config.json holds '$(accounts)' after the edit"

echo "account-window: $failures failure(s); screenshots in $artifacts/accounts-*.png"
((failures == 0))
