#!/usr/bin/env bash
# The main window as a person meets it, under Wine and Xvfb: postern.exe with
# no account ends at once without a window; with one account it shows the
# painted window, remembers where it was moved, sized and maximized, opens there
# again, ignores a saved place that lies on no monitor, and exits 0 when
# closed. Screenshots are kept in BUILD/artifacts.
#
#   tests/shell/main-window.sh BUILD     (BUILD: the Windows build folder)
#
# Runs in a throwaway copy of the build's Wine prefix ($WINEPREFIX, else
# BUILD/wineprefix), on the first free X display from :61 up. The shell's
# unit tests (shell_tests.exe) run there too: they need a display.
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
template=${WINEPREFIX:-$build/wineprefix}

failures=0
work=""
xvfb_pid=""
postern_pid=""

# Ends the run: what this script started, and nothing else.
cleanup() {
    [[ -n $postern_pid ]] && kill "$postern_pid" 2>/dev/null
    if [[ -n $work && -d $work/prefix ]]; then
        WINEPREFIX=$work/prefix wineserver -k 2>/dev/null
    fi
    [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null
    [[ -n $work ]] && rm -rf "$work"
}
trap cleanup EXIT

# --- prefix, display ------------------------------------------------------------

if [[ ! -f $template/.postern-ready ]]; then
    POSTERN_WINEPREFIX=$template "$repo/scripts/wine-prefix" create || die "cannot make the Wine prefix $template"
fi
work=$(mktemp -d "$build/window-test.XXXXXX")
cp -a "$template" "$work/prefix" || die "cannot copy the Wine prefix"
export WINEPREFIX=$work/prefix

wt_start_xvfb 61 1600x1000x24 || die "no free X display"
xvfb_pid=${wt_xvfb_pid:-}

appdata=$(wine cmd /c 'echo %APPDATA%' 2>/dev/null | tr -d '\r')
data=$(wine winepath -u "$appdata" 2>/dev/null | tr -d '\r')/Halvorsoft/Postern
config=$data/config.json
[[ $data == /* ]] || die "cannot find the data folder (APPDATA is '$appdata')"

# --- helpers ----------------------------------------------------------------------

start_postern() {
    timeout 120 wine "$postern" >>"$artifacts/postern.log" 2>&1 &
    postern_pid=$!
}

# Waits for the started postern.exe to end and sets postern_rc to its exit
# code (124: it did not end in time).
postern_rc=""
wait_postern() {
    wait "$postern_pid"
    postern_rc=$?
    postern_pid=""
}

close_postern() {
    wine "$driver" close || fail "no window to close"
    wait_postern
    [[ $postern_rc == 0 ]] || fail "postern.exe exited with $postern_rc after WM_CLOSE"
    wine "$driver" gone 5000 || fail "the main window outlived its process"
}

# Sets `window` to the driver's line for the main window, or dies.
window=()
find_window() {
    local line
    if ! line=$(wine "$driver" find 30000 | tr -d '\r'); then
        if [[ -n $postern_pid ]] && ! kill -0 "$postern_pid" 2>/dev/null; then
            wait_postern
            die "no main window: postern.exe ended with $postern_rc before showing one"
        fi
        die "no main window of class PosternMain titled Postern"
    fi
    read -ra window <<<"$line"
}

# Fields of the driver line: window L T R B client L T R B zoomed Z iconic I.
win_left() { echo "${window[1]}"; }
win_top() { echo "${window[2]}"; }
win_width() { echo $((window[3] - window[1])); }
win_height() { echo $((window[4] - window[2])); }

config_value() { # KEY in "window", or "accounts" for the account count
    /usr/bin/python3 - "$config" "$1" 2>/dev/null <<'PY'
import json, sys
with open(sys.argv[1], encoding="utf-8") as f:
    root = json.load(f)
key = sys.argv[2]
if key == "accounts":
    print(len(root.get("accounts", [])))
else:
    value = root.get("window", {}).get(key, "absent")
    print(str(value).lower() if isinstance(value, bool) else value)
PY
}

expect_config() { # KEY VALUE WHAT
    local got
    got=$(config_value "$1")
    [[ $got == "$2" ]] || fail "$3: config.json window.$1 is $got, expected $2"
}

# Polls until config.json's window holds x y w h; the save happens while the
# program handles the move, but let it take its time.
wait_config_rect() { # X Y W H WHAT
    local deadline=$((SECONDS + 10)) got
    while :; do
        got="$(config_value x) $(config_value y) $(config_value w) $(config_value h)"
        [[ $got == "$1 $2 $3 $4" ]] && return 0
        ((SECONDS >= deadline)) && break
        sleep 0.1
    done
    fail "$5: config.json window is '$got', expected '$1 $2 $3 $4'"
}

screenshot() { # NAME
    wt_screenshot "$artifacts/$1.png"
}

pixel() { # NAME X Y
    wt_pixel "$artifacts/$1.png" "$2" "$3"
}

# Takes screenshots until the client area shows the painted window: the
# toolbar's colour near its top-right corner, the status bar's near its
# bottom-right one and the background in its middle (only the middle with
# "centre"); keeps the last one as NAME. (Without a window manager Wine's
# notification area sits over the screen's top-left corner.)
expect_painted_client() { # NAME [centre]
    local l=${window[6]} t=${window[7]} r=${window[8]} b=${window[9]}
    local points=("$(((l + r) / 2)) $(((t + b) / 2)) #14161A")
    [[ ${2:-} == centre ]] || points+=("$((r - 4)) $((t + 3)) #1B1E24" "$((r - 4)) $((b - 4)) #1B1E24")
    local deadline=$((SECONDS + 15)) p ok colour x y want
    while :; do
        screenshot "$1"
        ok=1
        for p in "${points[@]}"; do
            read -r x y want <<<"$p"
            colour=$(pixel "$1" "$x" "$y")
            [[ ${colour^^} == "$want" ]] || { ok=0; break; }
        done
        ((ok)) && return 0
        ((SECONDS >= deadline)) && break
        sleep 0.3
    done
    fail "$1: the client area is $colour at $x $y, not $want (see $artifacts/$1.png)"
}

# --- the shell's own tests, which need a display -----------------------------------

if ! timeout 120 wine "$build/shell_tests.exe" >"$work/shell_tests.log" 2>&1; then
    tail -n 30 "$work/shell_tests.log" >&2
    fail "shell_tests.exe failed"
fi

# --- no usable account: the account dialog; closing it ends the program ----------

# Starts the program, waits for a window of CLASS, prints the text of its
# control ID, closes it, and checks the program then ends with 0.
first_window() { # WHAT CLASS ID
    start_postern
    POSTERN_DRIVER_CLASS=$2 wine "$driver" find 30000 >/dev/null || fail "$1: no window of class $2"
    POSTERN_DRIVER_CLASS=$2 wine "$driver" control "$3" | tr -d '\r'
    POSTERN_DRIVER_CLASS=$2 wine "$driver" close
    wait_postern
    [[ $postern_rc == 0 ]] || fail "$1: postern.exe exited with $postern_rc after its window closed"
}

rm -rf "$data"
first_window "an empty data folder" PosternAccount 217 >/dev/null
[[ ! -e $config ]] || fail "closing the first-run dialog wrote $config"

mkdir -p "$data"
printf '{"accounts":[{"name":"NoHost","email":"nohost@example.test"}]}' >"$config"
first_window "an account without a host" PosternAccount 217 >/dev/null
[[ $(cat "$config") == '{"accounts":[{"name":"NoHost","email":"nohost@example.test"}]}' ]] ||
    fail "a settings file without a usable account was rewritten"

# A damaged file is set aside with its bytes before anything new is written.
printf '{"accounts":[{"name":' >"$config"
status=$(first_window "a damaged settings file" PosternAccount 217)
[[ $status == "The settings file was damaged; it is kept as config.json.damaged. Add your account again." ]] ||
    fail "the first-run dialog says '$status' about a damaged file"
[[ ! -e $config && $(cat "$config.damaged") == '{"accounts":[{"name":' ]] ||
    fail "the damaged settings file was not kept as config.json.damaged"
rm -f "$config.damaged"

# One that cannot be read is left alone: the program says so and ends.
mkdir -p "$config"
message=$(first_window "an unreadable settings file" "#32770" 65535)
[[ $message == "Postern cannot read its settings file and has not changed it:"* ]] ||
    fail "an unreadable settings file gave the message '$message'"
[[ -d $config ]] || fail "the unreadable settings file was replaced"
rm -rf "$config"

# --- one account -----------------------------------------------------------------

printf 'not-a-real-password\n' | wine "$cli" account add --name Test --email test@example.test \
    --imap-host localhost --imap-port 17600 --smtp-host localhost --smtp-port 17601 >/dev/null ||
    die "postern-cli account add failed"
[[ $(config_value accounts) == 1 ]] || die "postern-cli did not write one account to $config"

start_postern
find_window
[[ "$(win_width)x$(win_height)" == "1280x840" ]] ||
    fail "a first start opened at $(win_width)x$(win_height), not 1280x840"
expect_painted_client main-window-first

wine "$driver" move 100 80 1000 700 || fail "driver move"
wait_config_rect 100 80 1000 700 "after a move"
expect_config maximized false "after a move"
expect_config railW 230 "after a move"
expect_config listW 360 "after a move"

wine "$driver" show minimize || fail "the window did not minimize"
wait_config_rect 100 80 1000 700 "while minimized"
wine "$driver" show restore || fail "the window did not restore"

# A drag saves at its end only.
wine "$driver" enter-sizemove
wine "$driver" move 300 200 900 600 || fail "driver move during a drag"
wait_config_rect 100 80 1000 700 "during a drag"
wine "$driver" exit-sizemove
wait_config_rect 300 200 900 600 "after a drag"
close_postern
wait_config_rect 300 200 900 600 "after closing"

# --- the placement comes back ----------------------------------------------------

start_postern
find_window
[[ "$(win_left) $(win_top) $(win_width) $(win_height)" == "300 200 900 600" ]] ||
    fail "reopened at $(win_left) $(win_top) $(win_width)x$(win_height), not 300 200 900x600"
expect_painted_client main-window-restored
wine "$driver" show maximize || fail "the window did not maximize"
expect_config maximized true "after maximizing"
wait_config_rect 300 200 900 600 "after maximizing (the normal rectangle)"
close_postern

start_postern
find_window
[[ ${window[11]} == 1 ]] || fail "a window closed maximized did not open maximized"
# Without a window manager Wine leaves the X window of a maximized window at
# its normal size (it leaves maximizing to the window manager), so only the
# middle of the client area is sure to be on the screen.
expect_painted_client main-window-maximized centre
close_postern
expect_config maximized true "after closing maximized"

# --- a saved place on no monitor, pane widths out of range -------------------------

/usr/bin/python3 - "$config" <<'PY'
import json, sys
path = sys.argv[1]
with open(path, encoding="utf-8") as f:
    root = json.load(f)
root["window"] = {"x": -30000, "y": -30000, "w": 800, "h": 600, "railW": 100, "listW": 900,
                  "maximized": False}
with open(path, "w", encoding="utf-8") as f:
    json.dump(root, f)
PY
start_postern
find_window
[[ "$(win_width)x$(win_height)" == "1280x840" ]] ||
    fail "a place on no monitor gave $(win_width)x$(win_height), not the default 1280x840"
((window[1] > -1000 && window[2] > -1000)) || fail "the window opened off-screen at ${window[1]},${window[2]}"
expect_painted_client main-window-default-place
wine "$driver" move 50 40 1100 750 || fail "driver move"
wait_config_rect 50 40 1100 750 "after moving the default-placed window"
expect_config railW 150 "a rail width of 100"
expect_config listW 720 "a list width of 900"
close_postern

if ((failures)); then
    echo "main-window: $failures check(s) failed" >&2
    exit 1
fi
echo "main-window: all checks passed; screenshots in $artifacts"
exit 0
