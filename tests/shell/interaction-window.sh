#!/usr/bin/env bash
# The main window used with the mouse and the keyboard alone, on the demo's
# mail under Wine and Xvfb, with real input from the window driver:
# choosing a folder and rows (Ctrl, Shift, the list keys), dragging rows
# onto a folder, Delete with a locked row, both context menus, the
# clipboard, the splitters, the filter box shortcuts, the About box, and
# removing an account with the restart. What the window did is checked on
# the screen (OCR, pixels at the positions the layout code computes), on the
# server (IMAP) and in the settings files. Screenshots are kept in
# BUILD/artifacts.
#
#   tests/shell/interaction-window.sh BUILD     (BUILD: the Windows build folder)
set -uo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
# shellcheck source=../support/window-test.sh
source "$repo/tests/support/window-test.sh"
wt_begin "$@"
wt_demo_test interaction "${POSTERN_DEMO_INTERACTION_PORT_BASE:-17820}"

wt_start_xvfb 66 1600x1000x24 || die "no free X display"
wt_demo_serve "$repo" "$artifacts/interaction-serve.log" ||
    die "scripts/demo serve failed: $(tail -n 5 "$artifacts/interaction-serve.log")"
data=$wt_data
# Web links the program hands to the system land in a file.
opened_urls=$build/demo-interaction/opened-urls.txt
opened() { cat "$opened_urls" 2>/dev/null; }
wt_record_urls "$driver" "$opened_urls" || die "cannot register the driver as the https handler"
[[ -f $data/config.json ]] || die "no config.json in the demo's data folder '$data'"

# --- helpers ----------------------------------------------------------------------------

drive() { wine "$driver" "$@" | tr -d '\r'; }
# "focus CLASS" of the window with the keyboard focus (its control ID left out).
focus_class() { drive focus | cut -d' ' -f1-2; }

start_postern() {
    timeout 600 setarch "$(uname -m)" -R wine "$postern" >>"$artifacts/interaction-postern.log" 2>&1 &
    wt_program_pid=$!
}

# Client origin and size (screen pixels), after moving the window out of
# the way of Wine's notification area.
cx=0 cy=0 cw=0 ch=0
find_window() {
    local line window
    line=$(drive find 30000) || die "no main window"
    drive move 0 120 1280 840 || die "driver move"
    line=$(drive state) || die "no main window after the move"
    read -ra window <<<"$line"
    cx=${window[6]} cy=${window[7]}
    cw=$((window[8] - window[6])) ch=$((window[9] - window[7]))
    wt_layout "$cli" --width "$cw" --height "$ch" --rows 14 || die "postern-cli layout failed"
}

# A layout rectangle in client pixels (for the driver): sets L T R B.
L=0 T=0 R=0 B=0
rect() {
    read -r L T R B <<<"$(wt_rect "$1")" || die "the layout has no '$1'"
}
row_x() { rect row0 && echo $(((L + R) / 2)); }
row_y() { rect "row$1" && echo $(((T + B) / 2)); }

shot() { wt_screenshot "$artifacts/interaction-$1.png" && echo "$artifacts/interaction-$1.png"; }

status_text() { # FILE
    rect status
    wt_ocr "$1" $((L + cx)) $((T + cy)) $((R - L)) $((B - T))
}

# Polls until the status line reads TEXT, for up to SECONDS; keeps the last
# screenshot as NAME.
wait_status() { # SECONDS NAME TEXT
    local deadline=$((SECONDS + $1)) file
    while :; do
        file=$(shot "$2")
        last_status=$(status_text "$file")
        wt_contains "$last_status" "$3" && return 0
        if ((SECONDS >= deadline)); then
            echo "status line: '$last_status'" >&2
            return 1
        fi
        sleep 0.4
    done
}

# Client coordinates of a rail label read with OCR: sets RX RY.
RX=0 RY=0
rail_label() { # WORD
    local file found
    file=$(shot rail)
    rect rail
    found=$(wt_locate "$file" $((L + cx)) $((T + cy)) $((R - L)) $((B - T)) "$1")
    [[ -n $found ]] || die "'$1' not read in the rail (see $file)"
    read -r RX RY <<<"$found"
    RX=$((RX - cx)) RY=$((RY - cy))
}

pick_menu() { # DOWNS: chooses the DOWNS-th item of the open popup menu
    drive popup 5000 >/dev/null || {
        fail "no popup menu appeared"
        return 1
    }
    local i
    sleep 0.4 # Wine shows the menu a moment before its loop reads keys
    for ((i = 0; i < $1; ++i)); do drive key down; done
    drive key enter
    drive popup-gone 5000 || fail "the popup menu stayed open"
}

# Entries of the lock list on disk.
locks() {
    /usr/bin/python3 -c 'import json, sys
try:
    print(len(json.load(open(sys.argv[1], encoding="utf-8"))["locked"]))
except OSError:
    print(0)' "$data/locked.json"
}

# Polls screenshots until row ROW is painted current (the accent bar).
row_current() { # ROW NAME
    local deadline=$((SECONDS + 10)) file
    rect "row$1"
    while :; do
        file=$(shot "$2")
        [[ $(wt_pixel "$file" $((L + cx + 1)) $((T + cy + 28))) == "#D8A03C" ]] && return 0
        ((SECONDS >= deadline)) && return 1
        sleep 0.3
    done
}

# Whether the reading header shows the subject of row ROW in a screenshot:
# most longer words OCR reads in the row's subject line are in the header.
header_shows_row() { # FILE ROW
    local row header
    rect "row$2"
    row=$(wt_ocr "$1" $((L + cx + 20)) $((T + cy + 28)) $((R - L - 40)) 26)
    rect reading
    header=$(wt_ocr "$1" $((L + cx)) $((T + cy)) $((R - L)) 40)
    /usr/bin/python3 -c 'import re, sys
words = lambda t: [w for w in re.findall(r"[a-z0-9]{4,}", t.lower())]
row, header = words(sys.argv[1]), set(words(sys.argv[2]))
found = sum(1 for w in row if w in header)
sys.exit(0 if row and found * 2 >= len(row) else 1)' "$row" "$header" ||
        {
            echo "row $2 reads '$row', the header '$header'" >&2
            return 1
        }
}

# Polls until the reading pane (header and body, OCR) reads every TEXT.
wait_reading() { # NAME TEXT...
    local name=$1 deadline=$((SECONDS + 20)) file text want missing
    shift
    rect reading
    while :; do
        file=$(shot "$name")
        text=$(wt_ocr "$file" $((L + cx)) $((T + cy)) $((R - L)) $((B - T)))
        missing=""
        for want in "$@"; do
            wt_contains "$text" "$want" || missing=$want
        done
        [[ -z $missing ]] && return 0
        if ((SECONDS >= deadline)); then
            echo "reading pane ($file): '$missing' not in '$text'" >&2
            return 1
        fi
        sleep 0.5
    done
}

# --- a folder, rows, Ctrl and Shift, the keys -------------------------------------------

start_postern
find_window
wait_status 60 start "inboxes" || die "All Inboxes never showed its rows"
inbox_all=$(wt_imap_count 1 INBOX ALL)
rail_label Inbox
drive click "$RX" "$RY"
wait_status 30 work-inbox "$inbox_all messages" || fail "Work's inbox did not open (status '$(status_text "$artifacts/interaction-work-inbox.png")')"

x=$(row_x)
drive click "$x" "$(row_y 0)"
sleep 0.6
drive click "$x" "$(row_y 2)" ctrl
drive click "$x" "$(row_y 4)" shift
wait_status 10 multiselect "3 selected" || fail "Ctrl and Shift did not select rows 2 to 4"
# The rows are painted selected, and the one between them too; row 1 is not.
file=$artifacts/interaction-multiselect.png
for r in 2 3 4; do
    rect "row$r"
    [[ $(wt_pixel "$file" $((L + cx + 16)) $((T + cy + 3))) == "#2B3240" ]] || fail "row $r not painted selected"
done
rect row1
[[ $(wt_pixel "$file" $((L + cx + 16)) $((T + cy + 3))) != "#2B3240" ]] || fail "row 1 painted selected"

drive key home
wait_status 10 home "$inbox_all messages" || fail "Home did not collapse the selection"
drive key down
drive key down
row_current 2 keys || fail "Down, Down did not open row 2"
sleep 0.5
header_shows_row "$(shot keys)" 2 || fail "the reading header does not show row 2"

# Without a browser runtime (Wine has none) the body is read as text: a
# conversation with every member, an HTML newsletter, a plain message.
wait_reading body-conversation "WebView2 Runtime) is not available" "Hallo Alice" "Hallo zusammen" ||
    fail "the conversation's members are not all in the reading pane"
drive key down
drive key down
wait_reading body-newsletter "Hamburg 2027 endet um Mitternacht" "Workshops am Vortag" ||
    fail "the HTML newsletter is not read as text"
# Its links open outside; a click on plain text opens nothing.
rect reading
file=$artifacts/interaction-body-newsletter.png
words=$(wt_locate "$file" $((L + cx)) $((T + cy)) $((R - L)) $((B - T)) Vortag)
link=$(wt_locate "$file" $((L + cx)) $((T + cy)) $((R - L)) $((B - T)) example/unsubscribe part)
if [[ -n $words && -n $link ]]; then
    read -r lx ly <<<"$link"
    drive click $((lx - cx)) $((ly - cy))
    wt_wait_output 10 "https://devdays-hamburg.example/unsubscribe" opened >/dev/null ||
        fail "the link click opened '$(opened)', not the unsubscribe page"
    # The handler took the foreground, as a browser would: a click on the
    # text brings it back.
    read -r wx wy <<<"$words"
    drive click $((wx - cx)) $((wy - cy))
    wt_wait_output 5 "focus RichEdit50W" focus_class >/dev/null || fail "a click on the body's text did not focus it"
    drive key ctrl+k
    wt_wait_output 5 "focus Edit" focus_class >/dev/null || fail "Ctrl+K in the body did not reach the window"
    drive click $((wx - cx)) $((wy - cy))
    drive key esc
    wt_wait_output 5 "focus PosternMain" focus_class >/dev/null || fail "Esc in the body did not give the keyboard back"
    [[ $(opened) == "https://devdays-hamburg.example/unsubscribe" ]] || fail "a click on plain text opened '$(opened)'"
else
    fail "the newsletter's words or link not found by OCR ('$words', '$link')"
fi
drive key up
drive key up
drive key up
wait_reading body-plain "smoke test passed on all three Windows versions" ||
    fail "the plain message's text is not in the reading pane"
drive key end
drive key pageup
drive key home
row_current 0 keys-home || fail "End, Page Up, Home did not come back to row 0"
drive key ctrl+k
wt_wait_output 5 "focus Edit" focus_class >/dev/null || fail "Ctrl+K did not focus the filter box"
drive key esc
wt_wait_output 5 "focus PosternMain" focus_class >/dev/null || fail "Esc did not give the keyboard back to the list"
drive key ctrl+f
wt_wait_output 5 "focus Edit" focus_class >/dev/null || fail "Ctrl+F did not focus the filter box"
drive key esc
drive key f5
wait_status 20 refresh "messages" || fail "F5 left the status line without the count"

# --- context menus, the clipboard, Delete with a lock ----------------------------------------

drive key home
sleep 0.5
drive rclick "$x" "$(row_y 0)"
drive popup 5000 >/dev/null && shot row-menu >/dev/null
pick_menu 3 # Copy Sender Address
wt_wait_output 10 "1" bash -c "wine '$driver' clipboard 2>/dev/null | grep -c '@'" >/dev/null ||
    fail "the sender's address is not on the clipboard"
unseen_before=$(wt_imap_count 1 INBOX UNSEEN)
drive rclick "$x" "$(row_y 0)"
pick_menu 1 # Mark as Unread (the row is read: opening it marked it)
more_unseen() { (($(wt_imap_count 1 INBOX UNSEEN) > unseen_before)) && echo more; }
wt_wait_output 20 more more_unseen >/dev/null || fail "Mark as Unread did not reach the server"

# Lock row 1, select rows 0 and 1, Delete: row 0 goes to the trash, row 1 stays.
drive click "$x" "$(row_y 1)"
sleep 0.5
drive rclick "$x" "$(row_y 1)"
pick_menu 2 # Lock (protect from deletion)
wt_wait_output 10 1 locks >/dev/null || fail "the row menu's Lock wrote no lock"
drive click "$x" "$(row_y 0)"
drive click "$x" "$(row_y 1)" shift
sleep 0.5
drive key delete
# Two rows chosen, one of them locked: one message leaves the inbox.
wt_wait_output 20 $((inbox_all - 1)) wt_imap_count 1 INBOX ALL >/dev/null ||
    fail "Delete did not delete exactly the unlocked row on the server"

# The folder menu on Work's inbox marks it all read.
rail_label Inbox
drive rclick "$RX" "$RY"
drive popup 5000 >/dev/null && shot folder-menu >/dev/null
pick_menu 1 # Mark All as Read
wt_wait_output 20 0 wt_imap_count 1 INBOX UNSEEN >/dev/null || fail "Mark All as Read left unread mail on the server"

# --- dragging rows onto a folder ----------------------------------------------------------

# Rows 3 and 4 are single messages, neither locked.
archive_before=$(wt_imap_count 1 Archive ALL)
drive click "$x" "$(row_y 3)"
drive click "$x" "$(row_y 4)" shift
sleep 0.5
rail_label Archive
drive down "$x" "$(row_y 3)"
drive move $((x - 60)) "$(row_y 2)"
drive move "$RX" "$RY"
sleep 0.6
shot drag >/dev/null
drive up "$RX" "$RY"
wt_wait_output 20 $((archive_before + 2)) wt_imap_count 1 Archive ALL >/dev/null ||
    fail "the two dragged rows are not in Archive on the server"

# Across accounts: Home's Archive refuses Work's rows.
home_archive_count=$(wt_imap_count 2 Archive ALL)
drive click "$x" "$(row_y 0)"
sleep 0.5
file=$(shot rail-home)
rect rail
home_archive=$(wt_locate "$file" $((L + cx)) $((T + cy + (B - T) / 2)) $((R - L)) $(((B - T) / 2)) Archive)
if [[ -n $home_archive ]]; then
    read -r hx hy <<<"$home_archive"
    drive down "$x" "$(row_y 0)"
    drive move $((x - 60)) "$(row_y 1)"
    drive move $((hx - cx)) $((hy - cy))
    sleep 0.3
    drive up $((hx - cx)) $((hy - cy))
    sleep 3
    [[ $(wt_imap_count 1 INBOX ALL) == $((inbox_all - 3)) && $(wt_imap_count 2 Archive ALL) == "$home_archive_count" ]] ||
        fail "a drop on the other account's folder moved mail"
else
    fail "Home's Archive not read in the lower half of the rail"
fi

# --- splitters, the About box ------------------------------------------------------------

# The rail splitter dragged 40 pixels right; the list splitter dragged, then
# put back to its width by a double click.
rect list
drive down "$L" 300
drive move $((L + 40)) 300
drive up $((L + 40)) 300
drive down $((R + 40)) 300
drive move $((R + 100)) 300
drive up $((R + 100)) 300
sleep 0.6
drive dblclick $((R + 100)) 300
sleep 0.5
drive key alt+h
drive key a
about=$(drive dialog "About Postern" 5000) || fail "the About box did not open"
wt_contains "$about" "Postern 0.1 by Halvorsoft" || fail "the About box says '$about'"
wt_screenshot "$artifacts/interaction-about.png"
drive dialog-press "About Postern" OK || fail "the About box has no OK"
drive dialog-gone "About Postern" 5000 || fail "the About box did not close"

# --- removing an account: the program restarts with one ----------------------------------

# A Home message locked and opened last: both must follow Home to index 0.
rail_label Inbox
drive click "$RX" "$RY" # Work's inbox; Home's is the next "Inbox" down
file=$(shot rail-home-inbox)
rect rail
home_inbox=$(wt_locate "$file" $((L + cx)) $((T + cy + (B - T) / 2)) $((R - L)) $(((B - T) / 2)) Inbox)
[[ -n $home_inbox ]] || die "Home's inbox not read in the lower half of the rail"
read -r hx hy <<<"$home_inbox"
drive click $((hx - cx)) $((hy - cy))
sleep 3
drive rclick "$x" "$(row_y 0)"
pick_menu 2 # Lock
wt_wait_output 10 2 locks >/dev/null || fail "the Home message was not locked"
drive click "$x" "$(row_y 0)"
sleep 1

drive key alt+f
drive key c      # Accounts
drive key enter  # Work
drive key r      # Remove…
question=$(drive dialog Postern 5000) || die "removing Work asked nothing"
wt_contains "$question" 'Remove account "Work"?' || fail "the question reads '$question'"
wt_contains "$question" "Postern will restart to apply the change." || fail "the question reads '$question'"
drive dialog-press Postern Yes || die "the question has no Yes"
drive gone 30000 >/dev/null || true
find_window
wait_status 60 restarted "messages" || fail "the restarted program shows no rows"
accounts=$(/usr/bin/python3 -c 'import json, sys
c = json.load(open(sys.argv[1], encoding="utf-8"))
l = json.load(open(sys.argv[2], encoding="utf-8"))
print(len(c["accounts"]), c["accounts"][0]["name"], c.get("lastSel", {}).get("a"), sorted({e["a"] for e in l["locked"]}))' \
    "$data/config.json" "$data/locked.json" 2>&1)
[[ $accounts == "1 Home 0 [0]" ]] || fail "after the restart: accounts, last selection, locks read '$accounts'"

drive close
drive gone 20000 || fail "the restarted program did not end"
widths=$(/usr/bin/python3 -c 'import json, sys
w = json.load(open(sys.argv[1], encoding="utf-8"))["window"]
print(w.get("railW"), w.get("listW"))' "$data/config.json")
[[ $widths == "$((230 + 40)) 360" ]] || fail "pane widths in config.json are '$widths', not '$((230 + 40)) 360'"

echo "interaction-window: $failures failure(s); screenshots in $artifacts/interaction-*.png"
((failures == 0))
