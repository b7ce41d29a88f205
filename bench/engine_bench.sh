#!/bin/bash
# The engine benchmark: fills the fixture's Dovecot the way the IMAP
# benchmark does (10,000 messages in INBOX, 30 more folders), then runs
# bench_engine_bench, which prints IMAP round trips per user action next to
# the least each needs, and the times to the rows and to new mail.
#
#   bench/engine_bench.sh [BUILD_DIR [WORKDIR]]
# with the fixture running (scripts/fixture start).
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build=${1:-$here/../build/native}
work=${2:-$(mktemp -d)}
# shellcheck disable=SC1091
source "${POSTERN_FIXTURE_DIR:-$here/../build/fixture}/env"

[[ -e $work/bench.env ]] || /usr/bin/python3 "$here/tools/imap-populate.py" "$work"
# shellcheck disable=SC1091
source "$work/bench.env"
"$build/bench/bench_engine_bench"
