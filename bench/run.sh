#!/usr/bin/env bash
# Measures kolvu against cat and ctags on the machine's own headers, and the
# cost per byte of adversarial inputs.
#
#   bench/run.sh [runs]        (default 5 runs of each command, alternating)
#
# Builds a Release binary in build-bench/, writes its inputs under
# ${KOLVU_BENCH_DIR:-/tmp/kolvu-bench}, and prints medians, ratios and peak RSS
# (bench/measure.py times each command without a shell around it).
# Needs cmake, a C++17 compiler, python3 and, for the peer comparison, ctags.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-5}
out=${KOLVU_BENCH_DIR:-/tmp/kolvu-bench}
mkdir -p "$out"

cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build build-bench -j"$(nproc)" >/dev/null
kolvu=$PWD/build-bench/kolvu

[ -f "$out/corpus.txt" ] || python3 bench/gen.py "$out"
python3 bench/measure.py "$out" "$runs" "$kolvu"
