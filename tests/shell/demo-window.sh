#!/usr/bin/env bash
# The main window as a person sees it, on the demo's mail (its own Dovecot
# and Postfix, two accounts), under Wine and Xvfb, at 96 and at 144 DPI:
# the painted panes checked by pixels at the positions the layout code
# computes and by text read back with OCR; the filter box driven by real
# input (typing narrows the list, Esc clears it, Enter searches all
# folders); the notification icon with its tooltip following a message
# delivered through Postfix, and gone once the program ends. Screenshots
# are kept in BUILD/artifacts.
#
#   tests/shell/demo-window.sh BUILD     (BUILD: the Windows build folder)
set -uo pipefail

if (($# != 1)) || [[ ! -f $1/postern.exe ]]; then
    echo "usage: $0 WINDOWS_BUILD_FOLDER (with postern.exe in it)" >&2
    exit 2
fi
build=$(cd "$1" && pwd)
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
postern=$build/postern.exe
cli=$build/postern-cli.exe
driver=$build/window-driver.exe
artifacts=$build/artifacts
mkdir -p "$artifacts"
# shellcheck source=../support/window-test.sh
source "$repo/tests/support/window-test.sh"

export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree=;mshtml="
export WINEARCH=win64
export POSTERN_DEMO_DIR=$build/demo-window
export POSTERN_DEMO_BUILD=$build
export POSTERN_DEMO_NO_BUILD=1
export POSTERN_DEMO_PORT_BASE=${POSTERN_DEMO_WINDOW_PORT_BASE:-17740}

failures=0
postern_pid=""
cleanup() {
    [[ -n $postern_pid ]] && kill "$postern_pid" 2>/dev/null
    "$repo/scripts/demo" stop >/dev/null 2>&1
    [[ -n ${wt_xvfb_pid:-} ]] && kill "$wt_xvfb_pid" 2>/dev/null
}
trap cleanup EXIT

# --- the demo's servers, mail and prefix, on a private display ----------------------

# Large enough for the window at 144 DPI.
wt_start_xvfb 64 2400x1600x24 || die "no free X display"
"$repo/scripts/demo" serve >"$artifacts/demo-window-serve.log" 2>&1 ||
    die "scripts/demo serve failed: $(tail -n 5 "$artifacts/demo-window-serve.log")"
# shellcheck source=/dev/null
source "$POSTERN_DEMO_DIR/serve.env"

# --- helpers ----------------------------------------------------------------------------

started=""
start_postern() {
    started=$EPOCHREALTIME
    timeout 300 setarch "$(uname -m)" -R wine "$postern" >>"$artifacts/demo-window-postern.log" 2>&1 &
    postern_pid=$!
}

# Client origin and size of the main window (screen pixels).
cx=0 cy=0 cw=0 ch=0
find_window() {
    local line window
    line=$(wine "$driver" find 30000 | tr -d '\r') || die "no main window of class PosternMain titled Postern"
    read -ra window <<<"$line"
    cx=${window[6]} cy=${window[7]}
    cw=$((window[8] - window[6])) ch=$((window[9] - window[7]))
}

# A layout rectangle moved to the screen: sets L T R B.
L=0 T=0 R=0 B=0
at() { # NAME
    local rect
    rect=$(wt_rect "$1") || die "the layout has no '$1'"
    read -r L T R B <<<"$rect"
    L=$((L + cx)) T=$((T + cy)) R=$((R + cx)) B=$((B + cy))
}

# Units to pixels at the current scale, rounded.
px() { awk -v u="$1" -v s="$scale" 'BEGIN { printf "%d", u * s + 0.5 }'; }

# Polls screenshots (into NAME) until CHECK (a function taking the file)
# succeeds, for up to SECONDS.
poll() { # SECONDS NAME CHECK
    local deadline=$((SECONDS + $1)) file=$artifacts/$2.png
    while :; do
        wt_screenshot "$file"
        "$3" "$file" && return 0
        ((SECONDS >= deadline)) && return 1
        sleep 0.4
    done
}

ocr_rect() { # FILE NAME
    at "$2"
    wt_ocr "$1" "$L" "$T" $((R - L)) $((B - T))
}

status_text() { ocr_rect "$1" status; }
list_text() { ocr_rect "$1" list; }

light_in_row() { # FILE ROW: text pixels in the row's sender line
    at "row$2"
    convert "$1" -crop "$(px 178)x$(px 20)+$((L + $(px 22)))+$((T + $(px 8)))" -depth 8 rgb:- 2>/dev/null |
        /usr/bin/python3 -c 'import sys
d = sys.stdin.buffer.read()
print(sum(1 for i in range(0, len(d) - 2, 3) if min(d[i:i + 3]) >= 0x90))'
}

rows_shown() { (($(light_in_row "$1" 0) >= 4)); }

expect_pixel() { # FILE X Y COLOUR WHAT
    local got
    got=$(wt_pixel "$1" "$2" "$3")
    [[ $got == "$4" ]] || fail "$5: $got at $2,$3, not $4 (see $1)"
}

expect_text() { # TEXT WANTED WHAT
    wt_contains "$1" "$2" || fail "$3: '$2' not read in '$1'"
}

# --- one frame, checked as painted -----------------------------------------------------------

# A message opens by itself after start (the newest, or the one read last
# time): its row is painted current, with the accent bar. Sets current_row.
current_row=-1
current_row_painted() {
    local r
    for r in 0 1 2; do
        at "row$r"
        if [[ $(wt_pixel "$1" $((L + 1)) $((T + $(px 28)))) == "#D8A03C" ]]; then
            current_row=$r
            return 0
        fi
    done
    return 1
}

check_frame() { # DPI
    local dpi=$1 shot
    scale=$(awk -v d="$dpi" 'BEGIN { print d / 96 }')
    start_postern
    find_window
    wt_layout "$cli" --width "$cw" --height "$ch" --dpi "$dpi" --rows 3 || die "postern-cli layout failed"
    poll 60 "demo-$dpi" rows_shown || die "$dpi DPI: no message rows within 60 s"
    echo "demo-window: $dpi DPI: rows shown $(awk -v a="$started" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.1f", b - a }') s after start"
    poll 15 "demo-$dpi" current_row_painted || fail "$dpi DPI: no row among the first three was opened and painted current"
    shot=$artifacts/demo-$dpi.png

    at toolbar
    expect_pixel "$shot" $((R - 3)) $((T + 3)) "#1B1E24" "$dpi DPI toolbar"
    at status
    expect_pixel "$shot" $((R - 3)) $((B - 3)) "#1B1E24" "$dpi DPI status bar"
    at rail
    expect_pixel "$shot" $((L + 2)) $((B - 2)) "#1B1E24" "$dpi DPI rail"
    # "All Inboxes" leads the rail, selected, with the unread badge.
    local line=$((T + $(px 8)))
    expect_pixel "$shot" $((L + 1)) $((line + $(px 14))) "#D8A03C" "$dpi DPI selected folder's bar"
    expect_pixel "$shot" $((R - $(px 35))) $((line + $(px 14))) "#D8A03C" "$dpi DPI unread badge of All Inboxes"
    if ((current_row >= 0)); then
        at "row$current_row"
        expect_pixel "$shot" $((L + $(px 16))) $((T + 3)) "#2B3240" "$dpi DPI selected row"
        # The newest messages are unread: a row beside the open one shows the dot.
        at "row$((current_row == 0 ? 1 : 0))"
        expect_pixel "$shot" $((L + $(px 11))) $((T + $(px 28))) "#D8A03C" "$dpi DPI unread dot"
    fi

    local text
    text=$(ocr_rect "$shot" rail)
    for want in "All Inboxes" "Work" "Home" "bersicht 2026" "Angebote"; do
        expect_text "$text" "$want" "$dpi DPI rail"
    done
    text=$(list_text "$shot")
    for want in "Ticketsystem" "PLAT-1207" "Priya Raman" "RC2 smoke test"; do
        expect_text "$text" "$want" "$dpi DPI message list"
    done
    expect_text "$(status_text "$shot")" "unread" "$dpi DPI status line"
    at reading
    text=$(wt_ocr "$shot" "$L" "$T" $((R - L)) "$(px 90)")
    expect_text "$text" "PLAT-1207" "$dpi DPI reading header subject"
    expect_text "$text" "Ticket" "$dpi DPI reading header sender" # cut short at 144 DPI
}

# --- 96 DPI --------------------------------------------------------------------------

check_frame 96

# The filter box, typed into as a person does.
filter_click() {
    at filter-edit
    wine "$driver" click $(((L + R) / 2 - cx)) $(((T + B) / 2 - cy)) || fail "driver click"
}
narrowed() {
    local status list
    status=$(status_text "$1")
    list=$(list_text "$1")
    wt_contains "$status" "in view" && wt_contains "$list" "Hafenbank" && ! wt_contains "$list" "Ticketsystem"
}
whole_list() { wt_contains "$(status_text "$1")" "inboxes" && wt_contains "$(list_text "$1")" "Ticketsystem"; }
searched() { wt_contains "$(status_text "$1")" "in all folders"; }

filter_click
wine "$driver" type "Hafenbank" || fail "driver type"
poll 15 demo-filter narrowed || fail "typing 'Hafenbank' in the filter box did not narrow the list (see demo-filter.png)"
wine "$driver" key esc || fail "driver key esc"
poll 15 demo-filter-cleared whole_list || fail "Esc did not clear the filter (see demo-filter-cleared.png)"
filter_click
wine "$driver" type "Hafenbank" && wine "$driver" key enter || fail "driver type, enter"
poll 30 demo-search searched || fail "Enter did not search all folders (see demo-search.png)"
wine "$driver" key esc

# The notification icon: Wine's notification area sits at the screen's top
# left without a window manager; the window moves out of its way.
wine "$driver" move 0 120 "$((cw + 8))" "$((ch + 31))" || fail "driver move"
tray_area=(0 0 400 60)
tray_icon_pixels() { # FILE
    convert "$1" -crop "${tray_area[2]}x${tray_area[3]}+0+0" -depth 8 txt:- 2>/dev/null | grep -ci '#D8A03C'
}
tooltip_total() { # prints the unread total of the icon's tooltip, as read
    local shot=$artifacts/demo-tray.png first
    first=$(convert "$shot" -crop "${tray_area[2]}x${tray_area[3]}+0+0" -depth 8 txt:- 2>/dev/null |
        grep -i '#D8A03C' | head -1 | cut -d: -f1)
    [[ -n $first ]] || return 1
    xdotool mousemove 700 700
    sleep 0.3
    xdotool mousemove "$((${first%%,*} + 4))" "$((${first##*,} + 4))"
    sleep 1.5
    wt_screenshot "$shot"
    wt_ocr "$shot" 0 "$((${first##*,} + 10))" 500 50 dark-on-light | grep -o 'Postern[^0-9]*[0-9]\+ unread' | grep -o '[0-9]\+' | head -1
}
icon_unread() { (($(tray_icon_pixels "$1") >= 20)); }
poll 15 demo-tray icon_unread || fail "no notification icon with unread mail (see demo-tray.png)"
before=$(tooltip_total) || before=""
[[ $before =~ ^[0-9]+$ ]] || fail "the icon's tooltip did not read 'Postern — N unread' (see demo-tray.png)"
if [[ $before =~ ^[0-9]+$ ]]; then
    "$repo/scripts/demo" send >>"$artifacts/demo-window-serve.log" 2>&1 || fail "scripts/demo send failed"
    deadline=$((SECONDS + 30))
    while :; do
        after=$(tooltip_total) || after=""
        [[ $after == $((before + 1)) ]] && break
        ((SECONDS >= deadline)) && {
            fail "after a delivery the tooltip reads '$after', not $((before + 1)) (see demo-tray.png)"
            break
        }
        sleep 1
    done
fi

# Explorer restarting forgets every icon; the program puts its own back.
icon_gone() { (($(tray_icon_pixels "$1") == 0)); }
wine "$driver" tray-delete || fail "driver tray-delete"
poll 10 demo-tray-lost icon_gone || fail "the driver could not take the notification icon away"
wine "$driver" taskbar-created
poll 10 demo-tray-back icon_unread || fail "after TaskbarCreated the notification icon did not come back"

wine "$driver" close || fail "no window to close"
wait "$postern_pid"
rc=$?
postern_pid=""
[[ $rc == 0 ]] || fail "postern.exe exited with $rc after WM_CLOSE"
poll 10 demo-tray-after icon_gone || fail "the notification icon stayed after the program ended"

# --- 144 DPI ---------------------------------------------------------------------------

wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144 /f >/dev/null 2>&1
wineserver -k # the new DPI counts from the next start
check_frame 144
wine "$driver" close
wait "$postern_pid"
postern_pid=""

if ((failures)); then
    echo "demo-window: $failures check(s) failed" >&2
    exit 1
fi
echo "demo-window: all checks passed; screenshots in $artifacts"
exit 0
