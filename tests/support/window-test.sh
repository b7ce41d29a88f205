# shellcheck shell=bash
# What the window tests share (sourced): a private Xvfb, screenshots, pixel
# probes, painted text read back with OCR, and the positions the program's
# own layout code computes (postern-cli layout), never numbers copied here.

# The start of a window test: the one argument is the Windows build folder.
# Sets build, postern, cli, driver and artifacts, Wine's settings, and
# fail/die, which count into failures.
wt_begin() { # SCRIPT-ARGUMENTS...
    if (($# != 1)) || [[ ! -f $1/postern.exe ]]; then
        echo "usage: $0 WINDOWS_BUILD_FOLDER (with postern.exe in it)" >&2
        exit 2
    fi
    build=$(cd "$1" && pwd)
    postern=$build/postern.exe
    cli=$build/postern-cli.exe
    driver=$build/window-driver.exe
    artifacts=$build/artifacts
    mkdir -p "$artifacts"
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree=;mshtml="
    export WINEARCH=win64
    failures=0
}
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
die() {
    fail "$*"
    exit 1
}

# A test on the demo's servers, in BUILD/demo-NAME on ports from BASE: when
# the script ends, the program is closed (and given the time to save and
# sign out when the script started it as wt_program_pid), then the servers
# and Xvfb stop.
wt_demo_test() { # NAME BASE
    export POSTERN_DEMO_DIR=$build/demo-$1
    export POSTERN_DEMO_BUILD=$build
    export POSTERN_DEMO_NO_BUILD=1
    export POSTERN_DEMO_PORT_BASE=$2
    trap wt_demo_end EXIT
}
wt_demo_end() {
    wine "$driver" close >/dev/null 2>&1
    wine "$driver" gone 10000 >/dev/null 2>&1
    local i
    for i in $(seq 100); do
        [[ -n ${wt_program_pid:-} ]] && kill -0 "$wt_program_pid" 2>/dev/null || break
        sleep 0.2
    done
    "$repo/scripts/demo" stop >/dev/null 2>&1
    [[ -n ${wt_xvfb_pid:-} ]] && kill "$wt_xvfb_pid" 2>/dev/null
}

# Starts Xvfb on the first free display from FIRST; sets DISPLAY and
# wt_xvfb_pid. The caller kills it.
wt_start_xvfb() { # FIRST GEOMETRY
    local n
    wt_xvfb_pid=""
    for n in $(seq "$1" $(($1 + 40))); do
        [[ -e /tmp/.X$n-lock || -e /tmp/.X11-unix/X$n ]] && continue
        Xvfb ":$n" -screen 0 "$2" -nolisten tcp >/dev/null 2>&1 &
        wt_xvfb_pid=$!
        for _ in $(seq 100); do
            [[ -e /tmp/.X11-unix/X$n ]] && break
            kill -0 "$wt_xvfb_pid" 2>/dev/null || break
            sleep 0.05
        done
        if [[ -e /tmp/.X11-unix/X$n ]] && kill -0 "$wt_xvfb_pid" 2>/dev/null; then
            export DISPLAY=:$n
            return 0
        fi
        wt_xvfb_pid=""
    done
    return 1
}

# The whole screen as a person sees it (child controls included).
wt_screenshot() { # FILE
    import -window root "$1" 2>/dev/null
}

wt_pixel() { # FILE X Y  -> #RRGGBB
    convert "$1" -crop "1x1+$2+$3" txt:- 2>/dev/null | grep -o '#[0-9A-Fa-f]\{6\}' | head -1 | tr a-f A-F
}

# Text in a region of a screenshot: enlarged 2x, grey, and for light text on
# the dark theme negated, as tesseract reads dark on light best. Dark text
# on light (a tooltip) is read with the bare black screen around it made
# white.
wt_ocr() { # FILE X Y W H [dark-on-light]
    local crop
    crop=$(mktemp --suffix=.png)
    if [[ ${6:-} == dark-on-light ]]; then
        convert "$1" -crop "$4x$5+$2+$3" +repage -fill white -opaque black -resize 200% -colorspace Gray "$crop"
    else
        convert "$1" -crop "$4x$5+$2+$3" +repage -resize 200% -colorspace Gray -negate "$crop"
    fi
    tesseract "$crop" - --psm 6 2>/dev/null | tr '\n' ' '
    rm -f "$crop"
}

# Loose comparison for OCR: lower case, letters and digits only.
wt_squash() {
    tr '[:upper:]' '[:lower:]' <<<"$1" | tr -cd '[:alnum:]'
}

wt_contains() { # TEXT WANTED
    [[ $(wt_squash "$1") == *"$(wt_squash "$2")"* ]]
}

# Rectangles of the layout, one "NAME L T R B" per line, from the program's
# own code; wt_rect picks one (rounded to whole pixels).
wt_layout() { # CLI ARGS...
    local cli=$1
    shift
    wt_layout_lines=$(wine "$cli" layout "$@" 2>/dev/null | tr -d '\r')
    [[ -n $wt_layout_lines ]]
}

wt_rect() { # NAME -> "L T R B"
    awk -v name="$1" 'function r(v) { return int(v + 0.5) }
        $1 == name { print r($2), r($3), r($4), r($5); found = 1 }
        END { exit found ? 0 : 1 }' <<<"$wt_layout_lines"
}

# Centre of the first word of a screenshot region that OCR reads as WORD
# exactly (with "part": that contains WORD), in screen pixels: "X Y". Light
# text on the dark theme.
wt_locate() { # FILE X Y W H WORD [part]
    local crop
    crop=$(mktemp --suffix=.png)
    convert "$1" -crop "$4x$5+$2+$3" +repage -resize 200% -colorspace Gray -negate "$crop"
    tesseract "$crop" - --psm 6 tsv 2>/dev/null |
        awk -F'\t' -v word="$6" -v part="${7:-}" -v x="$2" -v y="$3" \
            'NR > 1 && ($12 == word || (part != "" && index($12, word))) {
                 print int(x + ($7 + $9 / 2) / 2), int(y + ($8 + $10 / 2) / 2); exit }'
    rm -f "$crop"
}

# Messages of a fixture user's mailbox that match an IMAP search ("ALL",
# "UNSEEN"), counted on the server itself.
wt_imap_count() { # USER-NUMBER MAILBOX CRITERIA
    /usr/bin/python3 - "$@" <<'PY'
import imaplib, os, ssl, sys
user, mailbox, criteria = sys.argv[1:4]
context = ssl.create_default_context(cafile=os.environ["POSTERN_TEST_CA"])
session = imaplib.IMAP4_SSL("localhost", int(os.environ["POSTERN_IMAP_PORT"]), ssl_context=context, timeout=20)
session.login(os.environ["POSTERN_USER" + user], os.environ["POSTERN_PASS" + user])
session.select('"%s"' % mailbox, readonly=True)
print(len(session.search(None, criteria)[1][0].split()))
session.logout()
PY
}

# Polls a command until its output is WANTED; prints the last output when
# the time runs out.
wt_wait_output() { # SECONDS WANTED COMMAND...
    local deadline=$((SECONDS + $1)) wanted=$2 got
    shift 2
    while :; do
        got=$("$@")
        [[ $got == "$wanted" ]] && return 0
        ((SECONDS >= deadline)) && {
            echo "$got"
            return 1
        }
        sleep 0.5
    done
}

# The demo's servers and a fresh prefix for a window test, in
# $POSTERN_DEMO_DIR on ports from $POSTERN_DEMO_PORT_BASE (both set by the
# caller): sources serve.env and sets wt_data, the program's data folder.
# ARGS go to `scripts/demo serve` (--first-run: no accounts).
wt_demo_serve() { # REPO LOG [ARGS...]
    "$1/scripts/demo" serve "${@:3}" >"$2" 2>&1 || return 1
    # shellcheck source=/dev/null
    source "$POSTERN_DEMO_DIR/serve.env"
    local appdata
    appdata=$(wine cmd /c 'echo %APPDATA%' 2>/dev/null | tr -d '\r')
    wt_data=$(wine winepath -u "$appdata" 2>/dev/null | tr -d '\r')/Halvorsoft/Postern
}

# Makes the window driver the prefix's https handler: web links the program
# hands to the system are appended to FILE instead of opening a browser.
wt_record_urls() { # DRIVER FILE
    rm -f "$2"
    wine reg add 'HKLM\Software\Classes\https\shell\open\command' /ve /f /d \
        "\"$(wine winepath -w "$1" | tr -d '\r')\" record-url \"$(wine winepath -w "$2" | tr -d '\r')\" \"%1\"" \
        >/dev/null 2>&1
}
