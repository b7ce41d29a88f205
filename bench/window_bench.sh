#!/usr/bin/env bash
# What the painted main window costs under Wine, on the demo's mail:
#  - frame time (window-driver frames: repaints timed from outside) with
#    "All Inboxes" of the demo, with a folder of 10,000 messages and with one
#    of 20,000; the bare Direct2D window (d2d-baseline) for comparison;
#  - resident memory after the program has sat idle on the demo
#    (BENCH_IDLE_SECONDS, default 300), split into what the bare Direct2D
#    window holds under Wine and what the program adds.
#
#   bench/window_bench.sh [BUILD]    (BUILD: the Windows build, default build/windows)
#
# Not a test: it prints numbers for people. Needs root (the demo's servers).
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(cd "${1:-$repo/build/windows}" && pwd)
driver=$build/window-driver.exe
baseline=$build/bench/win32/d2d-baseline.exe
frames=${BENCH_FRAMES:-30}
idle=${BENCH_IDLE_SECONDS:-300}
# shellcheck source=../tests/support/window-test.sh
source "$repo/tests/support/window-test.sh"

export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml=" WINEARCH=win64
export POSTERN_DEMO_DIR=$build/bench-window POSTERN_DEMO_BUILD=$build POSTERN_DEMO_NO_BUILD=1
export POSTERN_DEMO_PORT_BASE=${BENCH_PORT_BASE:-17780}

program_pid=""
cleanup() {
    [[ -n $program_pid ]] && kill "$program_pid" 2>/dev/null
    "$repo/scripts/demo" stop >/dev/null 2>&1 || true
    [[ -n ${wt_xvfb_pid:-} ]] && kill "$wt_xvfb_pid" 2>/dev/null
    return 0
}
trap cleanup EXIT

wt_start_xvfb 90 1600x1000x24
"$repo/scripts/demo" serve >/dev/null
# shellcheck source=/dev/null
source "$POSTERN_DEMO_DIR/serve.env"

# Two large folders of small messages for the first account.
bulk=$POSTERN_DEMO_DIR/bulk
rm -rf "$bulk"
mkdir -p "$bulk"
/usr/bin/python3 - "$bulk" <<'PY'
import os, sys
out = sys.argv[1]
for n in range(20000):
    day, hour = divmod(n, 24)
    with open(os.path.join(out, f"{n:05d}.eml"), "w") as f:
        f.write(f"From: Sender {n % 97} <s{n % 97}@example.test>\r\n"
                f"To: alice@example.test\r\nSubject: Bulk message {n}\r\n"
                f"Date: {1 + day % 28:02d} Nov 2026 {hour:02d}:00:00 +0000\r\n"
                f"Message-ID: <bulk{n}@example.test>\r\n\r\nBody {n}\r\n")
PY
doveadm -c "$POSTERN_DOVECOT_CONF" mailbox create -u "$POSTERN_USER1" Bulk10k Bulk20k
(cd "$bulk" && ls | awk "NR <= 10000" | xargs -n 2500 "$repo/tests/fixture/deliver" -m Bulk10k "$POSTERN_USER1")
(cd "$bulk" && ls | xargs -n 2500 "$repo/tests/fixture/deliver" -m Bulk20k "$POSTERN_USER1")

appdata=$(wine cmd /c 'echo %APPDATA%' 2>/dev/null | tr -d '\r')
config=$(wine winepath -u "$appdata" 2>/dev/null | tr -d '\r')/Halvorsoft/Postern/config.json

# Opens FOLDER of the first account at the next start (empty: the default).
reopen() { # FOLDER
    /usr/bin/python3 - "$config" "$1" <<'PY'
import json, sys
path, folder = sys.argv[1], sys.argv[2]
with open(path, encoding="utf-8") as f:
    root = json.load(f)
if folder:
    root["lastSel"] = {"a": 0, "f": folder, "u": 1}
else:
    root.pop("lastSel", None)
with open(path, "w", encoding="utf-8") as f:
    json.dump(root, f)
PY
}

status_reads() { # WANTED: polls the status line until it contains WANTED
    local line client shot=$POSTERN_DEMO_DIR/status.png deadline=$((SECONDS + 120))
    line=$(wine "$driver" find 30000 | tr -d '\r')
    read -ra client <<<"$line"
    while ((SECONDS < deadline)); do
        wt_screenshot "$shot"
        if wt_contains "$(wt_ocr "$shot" "${client[6]}" $((client[9] - 26)) 600 26)" "$1"; then
            return 0
        fi
        sleep 1
    done
    echo "window_bench: the status line never read '$1'" >&2
    return 1
}

start_program() { # EXE [ARGS]
    setarch "$(uname -m)" -R wine "$@" >/dev/null 2>&1 &
    program_pid=$!
    wine "$driver" find 30000 >/dev/null
}

stop_program() {
    wine "$driver" close >/dev/null 2>&1 || true
    wait "$program_pid" 2>/dev/null || true
    program_pid=""
}

frame_ms() { wine "$driver" frames "$frames" | tr -d '\r' | awk '{ print $4 }'; }

measure_folder() { # LABEL FOLDER STATUS
    reopen "$2"
    start_program "$build/postern.exe"
    status_reads "$3"
    echo "frame time, $1: $(frame_ms) ms"
    stop_program
}

rss_kib() { awk '/^Rss:/ { print $2 }' "/proc/$1/smaps_rollup"; }

echo "window_bench: $frames frames each, client area about 1272 x 813 pixels"
start_program "$baseline" dc 600
echo "frame time, bare Direct2D window (DC target): $(frame_ms) ms"
base_rss=$(rss_kib "$program_pid")
stop_program

measure_folder "All Inboxes of the demo" "" "inboxes"
measure_folder "a folder of 10,000 messages" Bulk10k "10000 messages"
measure_folder "a folder of 20,000 messages" Bulk20k "20000 messages"

reopen ""
start_program "$build/postern.exe"
status_reads "inboxes"
echo "window_bench: idle for $idle s on the demo"
sleep "$idle"
own_rss=$(rss_kib "$program_pid")
echo "resident memory after $idle s idle: postern.exe $((own_rss / 1024)) MiB;" \
    "bare Direct2D window $((base_rss / 1024)) MiB (Wine's share); the program's own $(((own_rss - base_rss) / 1024)) MiB"
stop_program
