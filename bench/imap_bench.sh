#!/bin/bash
# The IMAP benchmark: fills the fixture's Dovecot (10,000 messages in INBOX,
# 30 more folders), then runs `postern-cli bench imap` and the imaplib
# baseline on the same data in the same run and prints each step's median
# and the ratio (postern / imaplib; at most 1.00 is the target).
#
#   bench/imap_bench.sh [POSTERN_CLI [WORKDIR]]
# with the fixture running and its env file sourced.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
cli=${1:-$here/../build/native/postern-cli}
work=${2:-$(mktemp -d)}
: "${POSTERN_IMAP_PORT:?source the fixture env file first}"

[[ -e $work/bench.env ]] || /usr/bin/python3 "$here/tools/imap-populate.py" "$work"
source "$work/bench.env"
export BENCH_RUNS=${BENCH_RUNS:-5}

# Dovecot builds its caches (header fields, unseen counts) on first use;
# one unmeasured pass keeps that out of whichever tool happens to go first.
BENCH_RUNS=1 /usr/bin/python3 "$here/tools/imap-baseline.py" >/dev/null
# `postern-cli imap bench` runs the same steps where the bench table lacks imap.
"$cli" bench imap >"$work/postern.txt" 2>/dev/null || "$cli" imap bench >"$work/postern.txt"
/usr/bin/python3 "$here/tools/imap-baseline.py" >"$work/imaplib.txt"

/usr/bin/python3 - "$work/postern.txt" "$work/imaplib.txt" <<'PY'
import statistics, sys
def load(path):
    steps = {}
    for line in open(path):
        parts = line.split()
        if parts[:1] == ["BENCH"]:
            times = [float(t) for t in parts[2][3:].split(",")]
            steps[parts[1]] = (statistics.median(times), " ".join(parts[3:]))
    return steps
ours, base = load(sys.argv[1]), load(sys.argv[2])
print(f"{'step':20} {'postern ms':>11} {'imaplib ms':>11} {'ratio':>6}  check")
for step, (ms, extra) in ours.items():
    bms, bextra = base.get(step, (float("nan"), ""))
    print(f"{step:20} {ms:11.1f} {bms:11.1f} {ms / bms:6.2f}  {extra}{'' if extra == bextra else '  (imaplib: ' + bextra + ')'}")
PY
