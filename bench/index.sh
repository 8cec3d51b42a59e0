#!/usr/bin/env bash
# Measures kolvu-index against ctags on the machine's own headers: JSON
# Lines from one and two workers, against ctags' JSON output for the same
# kinds of the same files (dtsu, and every kind), and on a 1 MB and a 10 MB
# tree of those headers, walked by both, with peak RSS.
#
#   bench/index.sh [runs]        (default 5 runs of each command, alternating)
#
# Builds a Release binary in build-bench/ and uses the inputs of bench/gen.py
# under ${KOLVU_BENCH_DIR:-/tmp/kolvu-bench} (made when missing). Needs cmake,
# a C++17 compiler, python3 and, for the comparison, ctags.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-5}
out=${KOLVU_BENCH_DIR:-/tmp/kolvu-bench}
mkdir -p "$out"

cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build build-bench -j2 --target kolvu-index >/dev/null

[ -f "$out/corpus.txt" ] || python3 bench/gen.py "$out"
python3 bench/index.py "$out" "$runs" "$PWD/build-bench/kolvu-index"
