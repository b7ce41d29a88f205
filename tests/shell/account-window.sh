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
# A first start: the demo's servers, a prefix without settings.
wt_demo_serve "$repo" "$artifacts/accounts-serve.log" --first-run ||
    die "scripts/demo serve failed: $(tail -n 5 "$artifacts/accounts-serve.log")"
config=$wt_data/config.json
[[ ! -e $config ]] || die "the first-run prefix has settings already"

# --- helpers ----------------------------------------------------------------------------

drive() { wine "$driver" "$@" | tr -d '\r'; }
# The same on the account dialog.
dialog() { POSTERN_DRIVER_CLASS=PosternAccount wine "$driver" "$@" | tr -d '\r'; }

# serve.env points detection and Google at the fixture's servers.
start_postern() {
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

# Clicks into a field until it has the keyboard (a window that has just
# appeared may not take the first click), selects what it holds and types
# TEXT over it; a visible field is read back.
fill() { # ID TEXT
    local attempt
    for attempt in 1 2 3; do
        press "$1"
        wt_wait_output 3 "focus Edit $1" dialog focus >/dev/null && break
    done
    dialog key ctrl+a
    if [[ -n $2 ]]; then dialog type "$2"; else dialog key delete; fi
    [[ $1 == 211 || $1 == 213 ]] && return 0 # secrets do not show their text
    wt_wait_output 5 "$2" dialog control "$1" >/dev/null || fail "field $1 reads '$(dialog control "$1")', not '$2'"
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

# --- File > Accounts > first > Edit: a new label, and the other user's mailbox -------------

open_edit_first() {
    drive key alt+f
    sleep 0.4
    drive key c     # Accounts
    drive key enter # the first account
    drive key e     # Edit…
    dialog find 10000 >/dev/null
}
open_edit_first || die "Edit opened no dialog"
sleep 0.5
shot dialog-edit >/dev/null
[[ $(dialog control 202) == "$POSTERN_EMAIL1" && $(dialog control 206) == "$POSTERN_IMAP_PORT" ]] ||
    fail "the edit dialog shows '$(dialog control 202)' on port '$(dialog control 206)'"
fill 201 Work
fill 204 "$POSTERN_USER2"
fill 211 "$POSTERN_PASS2"
press 215
dialog gone 10000 >/dev/null || fail "Save did not close the edit dialog"
# Work now reads the second user's mailbox: its folders come from there.
rail_reads edited "WORK" "HOME" "Reisen" || fail "the edited label is not in the rail"
# Nothing of the first user's mailbox stays: its folder Projekte goes.
rail_has_projekte() { wt_contains "$(wt_ocr "$(shot edited)" 0 150 240 700)" Projekte && echo yes || echo no; }
wt_wait_output 30 no rail_has_projekte >/dev/null || fail "the first user's folders stayed after the edit"
[[ $(accounts) == "Work $POSTERN_USER2 "* ]] || fail "config.json holds '$(accounts)' after the edit"

# --- Sign in with Google: the one-time setup, then the same account once only --------------

# The sign-in page the program hands to "the browser" (the driver, as the
# prefix's https handler) is followed by the test's HTTP client: the OAuth
# server answers with its redirect, which reaches the program's listener.
opened_urls=$POSTERN_DEMO_DIR/opened-urls.txt
wt_record_urls "$driver" "$opened_urls" || die "cannot register the driver as the https handler"
browser_signs_in() {
    local url="" redirect i
    for i in $(seq 40); do
        url=$(grep -F /o/oauth2/v2/auth "$opened_urls" 2>/dev/null | tail -n 1)
        [[ -n $url ]] && break
        sleep 0.5
    done
    rm -f "$opened_urls"
    [[ -n $url ]] || return 1
    redirect=$(curl -sf --max-time 20 --cacert "$POSTERN_TEST_CA" "$url") || return 1
    curl -sf --max-time 20 "$redirect" >/dev/null
}

# What the dialog reads on the screen (OCR of its client area).
dialog_reads() { # NAME TEXT...
    local line window file text want
    line=$(dialog state) || return 1
    read -ra window <<<"$line"
    file=$(shot "$1")
    text=$(wt_ocr "$file" "${window[6]}" "${window[7]}" $((window[8] - window[6])) $((window[9] - window[7])))
    for want in "${@:2}"; do
        wt_contains "$text" "$want" || {
            echo "dialog ($file): '$want' not in '$text'" >&2
            return 1
        }
    done
}

drive key alt+f
sleep 0.4
drive key a
dialog find 10000 >/dev/null || die "File > Add Account opened no dialog"
dialog_reads dialog-google-setup "Account label" "OAuth Client ID" "One-time Google setup" "Sign in with Google" ||
    fail "the one-time Google setup does not read as it should"
press 210 # "Sign in with Google" as the way in: the client fields open
fill 212 postern-window-test
fill 213 window-test-secret
press 221
status_is "Waiting for Google sign-in in your browser…" || fail "the sign-in said '$(dialog control 217)'"
browser_signs_in || fail "the browser step of the sign-in failed"
dialog gone 20000 >/dev/null || fail "the Google sign-in did not add the account"
google=$(/usr/bin/python3 -c 'import json, sys
c = json.load(open(sys.argv[1], encoding="utf-8"))
a = c["accounts"][-1]
print(a["name"], a["auth"], a["imapHost"], a["imapPort"], bool(a.get("refreshTokenEnc")), "refreshToken" in a,
      c.get("googleClientId"))' "$config" 2>&1)
[[ $google == "$POSTERN_EMAIL1 gmail localhost $POSTERN_IMAP_PORT True False postern-window-test" ]] ||
    fail "the Google account in config.json reads '$google'"
# It reads its mail with the token the sign-in gave.
xoauth_login() {
    grep -q "Login: user=<$POSTERN_USER1>, method=XOAUTH2" "$POSTERN_DEMO_DIR/fixture/log/dovecot.log" && echo yes
}
wt_wait_output 30 yes xoauth_login >/dev/null || fail "the Google account never signed in to IMAP with its token"

# The client is remembered: no setup fields now, and the same Google
# account is not added twice.
drive key alt+f
sleep 0.4
drive key a
dialog find 10000 >/dev/null || die "File > Add Account opened no dialog the second time"
dialog_reads dialog-add-gmail "Adding Gmail" "Sign in with Google" || fail "the dialog still asks for the setup"
dialog control 212 >/dev/null 2>&1 && fail "the client fields are still there"
press 221
browser_signs_in || fail "the browser step of the second sign-in failed"
status_is "That Google account is already added." || fail "a second sign-in said '$(dialog control 217)'"
press 216
dialog gone 10000 >/dev/null || fail "Cancel did not close the dialog"
[[ $(/usr/bin/python3 -c 'import json, sys; print(len(json.load(open(sys.argv[1]))["accounts"]))' "$config") == 3 ]] ||
    fail "config.json does not hold three accounts"

# --- the dialog at 144 DPI ----------------------------------------------------------------

drive close
drive gone 20000 >/dev/null || fail "the program did not end"
for _ in $(seq 100); do kill -0 "$wt_program_pid" 2>/dev/null || break; sleep 0.2; done
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144 /f >/dev/null 2>&1
start_postern
drive find 30000 >/dev/null || die "no main window at 144 DPI"
drive key alt+f
sleep 0.4
drive key a
dialog find 10000 >/dev/null || die "File > Add Account opened no dialog at 144 DPI"
dialog_reads dialog-add-144 "Account label" "Adding Gmail" "Cancel" || fail "the dialog at 144 DPI does not read as it should"
line=$(dialog state)
read -ra window <<<"$line"
(((window[8] - window[6]) == 930 && (window[9] - window[7]) == 975)) ||
    fail "the dialog's client area at 144 DPI is not 930 x 975: '$line'"
press 216
dialog gone 10000 >/dev/null || fail "Cancel did not close the dialog at 144 DPI"
open_edit_first || die "Edit opened no dialog at 144 DPI"
dialog_reads dialog-edit-144 "Work" "Username" || fail "the edit dialog at 144 DPI does not read as it should"

# Closing the main window while the dialog is open (as Exit in the
# notification area's menu does) ends the program, and the dialog saves
# nothing.
drive close
ended=no
for _ in $(seq 100); do
    kill -0 "$wt_program_pid" 2>/dev/null || { ended=yes; break; }
    sleep 0.2
done
[[ $ended == yes ]] || fail "the program did not end when its window closed under the dialog"
[[ $(accounts) == "Work $POSTERN_USER2 "* ]] || fail "config.json holds '$(accounts)' after closing under the dialog"

echo "account-window: $failures failure(s); screenshots in $artifacts/accounts-*.png"
((failures == 0))
