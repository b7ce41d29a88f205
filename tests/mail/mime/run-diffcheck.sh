#!/bin/bash
# Differential check of the MIME parser against the shared real-world corpus:
# runs the corpus's diffcheck.py on `postern-cli parse` and fails on every
# FAIL, crash or time-out that diffcheck-allow.txt does not list as a
# deliberate difference.
#
#   tests/mail/mime/run-diffcheck.sh BUILD_DIR
#
# BUILD_DIR may be a Windows build: postern-cli.exe is then run under Wine.
# The corpus is looked for in $POSTERN_MIME_CORPUS, else in ../shared/corpus/mime
# beside the checkout; without it the check is skipped (exit 0).
# Dates are compared with --simple-dates: dates before 1970 read as none and
# named zones (EST, PDT, ...) as UTC here.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$here/../../.." && pwd)
build=$(cd "${1:?usage: run-diffcheck.sh BUILD_DIR}" && pwd)
corpus=${POSTERN_MIME_CORPUS:-$repo/../shared/corpus/mime}

if [[ ! -f $corpus/tools/diffcheck.py ]]; then
    echo "run-diffcheck: SKIPPED, no MIME corpus at $corpus (set POSTERN_MIME_CORPUS)"
    exit 0
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
out=$work/out
relaunched=$work/relaunched
: >"$relaunched"

# A Windows build's postern-cli.exe runs under Wine (export WINEPREFIX first).
# With address-space randomisation on, Wine now and then fails to start a
# process at all (tests/support/run-under-wine.sh; scripts/test turns it off).
# The parser is deterministic, so a second launch tells that apart from a fault
# of ours; every relaunch is reported below with what the first launch wrote to
# stderr.
if [[ -x $build/postern-cli ]]; then
    cli=("$build/postern-cli" parse)
elif [[ -f $build/postern-cli.exe ]]; then
    cat >"$work/wine-parse" <<'EOF'
#!/bin/bash
exe=$1 log=$2 file=$3 tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
for try in 1 2; do
    wine "$exe" parse "$file" >"$tmp/out" 2>"$tmp/err$try"
    status=$?
    if ((status == 0)); then
        ((try == 1)) || echo "  $file: first launch failed: $(head -c 300 "$tmp/err1" | tr '\n' ' ')" >>"$log"
        cat "$tmp/out"
        exit 0
    fi
done
cat "$tmp/err2" >&2
exit "$status"
EOF
    chmod +x "$work/wine-parse"
    cli=("$work/wine-parse" "$build/postern-cli.exe" "$relaunched")
else
    echo "run-diffcheck: no postern-cli in $build (build first)" >&2
    exit 2
fi

# A forwarded message (message/rfc822) stays one part of ours that can be
# saved, while both references list only leaves: the comparison drops those
# parts from our answer, so each kept forward is not an entry of its own in
# the allow-list (its leaves, where they join the outer message, are still
# compared).
cat >"$work/leaves-only" <<'EOF'
#!/bin/bash
out=$("$@")
status=$?
((status == 0)) || exit "$status"
/usr/bin/python3 -c '
import json, sys
message = json.loads(sys.stdin.read())
message["parts"] = [p for p in message.get("parts") or [] if (p.get("content_type") or "").lower() != "message/rfc822"]
print(json.dumps(message))' <<<"$out"
EOF
chmod +x "$work/leaves-only"

# diffcheck exits non-zero on any FAIL; the allow-list decides here.
/usr/bin/python3 "$corpus/tools/diffcheck.py" --simple-dates -- "$work/leaves-only" "${cli[@]}" >"$out" || true
grep -v '^   ' "$out"
if [[ -s $relaunched ]]; then
    echo "run-diffcheck: Wine launches that failed once and succeeded when repeated:"
    cat "$relaunched"
fi

allowed=$(sed -e 's/#.*//' -e '/^[[:space:]]*$/d' "$here/diffcheck-allow.txt" | awk '{print $1" "$2}' | sort -u)
found=$(awk '$1 == "FAIL" {print $2" "$3}' "$out" | sort -u)
crashes=$(grep '^  CRASH' "$out" || true)
unexpected=$(comm -23 <(echo "$found") <(echo "$allowed") | sed '/^$/d')
stale=$(comm -13 <(echo "$found") <(echo "$allowed") | sed '/^$/d')

if [[ -n $stale ]]; then
    echo "run-diffcheck: allowed differences that now agree (remove them from diffcheck-allow.txt):"
    echo "$stale" | sed 's/^/  /'
fi
if [[ -n $crashes || -n $unexpected ]]; then
    echo "run-diffcheck: FAILED"
    [[ -n $crashes ]] && echo "$crashes"
    if [[ -n $unexpected ]]; then
        echo "unexpected differences:"
        while read -r file field; do
            grep -F "FAIL $file $field " "$out" || echo "  $file $field"
        done <<<"$unexpected"
    fi
    exit 1
fi
echo "run-diffcheck: OK ($(echo "$found" | sed '/^$/d' | wc -l) allowed differences, none unexpected)"
