#!/bin/bash
# Parser throughput of Postern against Python's email package and, when its
# development package is installed, GMime, on one seeded corpus in one run;
# then the 25 MB build benchmark.
#
#   bench/tools/parse-compare.sh [BUILD_DIR] [CORPUS_DIR]
#
# BUILD_DIR defaults to build/native; the corpus is generated (seed 1, 500
# messages, about 60 MB) into CORPUS_DIR, default $TMPDIR/postern-bench-corpus.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$here/../.." && pwd)
build=$(cd "${1:-$repo/build/native}" && pwd)
corpus=${2:-${TMPDIR:-/tmp}/postern-bench-corpus}
runs=${BENCH_RUNS:-3}

if [[ ! -f $corpus/list.txt ]]; then
    echo "generating the corpus in $corpus"
    /usr/bin/python3 "$here/gen_corpus.py" "$corpus" --seed 1 --count 500
fi
export BENCH_CORPUS=$corpus BENCH_PARSE_LIST=$corpus/list.txt BENCH_RUNS=$runs

# "BENCH parse ms=a,b,c msgs=N bytes=N ..." -> "best-ms bytes"
best() {
    sed -n 's/^BENCH parse ms=\([^ ]*\) msgs=[0-9]* bytes=\([0-9]*\).*/\1 \2/p' |
        awk '{n = split($1, t, ","); m = t[1]; for (i = 2; i <= n; i++) if (t[i] < m) m = t[i]; print m, $2}'
}

# Prints one result line; leaves the best time in $ms.
report() {
    local name=$1 line=$2 bytes
    read -r ms bytes <<<"$(best <<<"$line")"
    awk -v n="$name" -v ms="$ms" -v b="$bytes" \
        'BEGIN { printf "%-8s best %9.1f ms  %8.1f MB/s\n", n, ms, b / 1e6 / (ms / 1000) }'
}

postern_line=$("$build/postern-cli" bench parse)
echo "postern: $postern_line"
python_line=$(/usr/bin/python3 "$here/py_parse_bench.py")
echo "python:  $python_line"
gmime_line=
if pkg-config --exists gmime-3.0 2>/dev/null; then
    tool=$(mktemp -d)/gmime_parse_bench
    cc -O2 -o "$tool" "$here/gmime_parse_bench.c" $(pkg-config --cflags --libs gmime-3.0)
    gmime_line=$("$tool")
    echo "gmime:   $gmime_line"
else
    echo "gmime:   not compared (apt-get install libgmime-3.0-dev)"
fi

echo
report postern "$postern_line"
p=$ms
report python "$python_line"
awk -v p="$p" -v y="$ms" 'BEGIN { printf "postern is %.1fx as fast as python (target >= 20x)\n", y / p }'
if [[ -n $gmime_line ]]; then
    report gmime "$gmime_line"
    awk -v p="$p" -v g="$ms" 'BEGIN { printf "postern is %.2fx as fast as gmime\n", g / p }'
fi
echo
if [[ -x $build/bench/bench_parse_bench ]]; then
    BENCH_CORPUS= BENCH_PARSE_LIST= "$build/bench/bench_parse_bench"
fi
