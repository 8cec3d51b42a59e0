#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each one for a while, starting
# from its seed corpus:
#
#   fuzz/run.sh [seconds]        seconds per target, 20 when not given
#
# Environment:
#   KOLVU_FUZZ_BUILD    build directory (default: build-fuzz in the source tree)
#   KOLVU_FUZZ_WORK     scratch directory for the growing corpora, the logs and
#                       crash inputs (default: a fresh temporary directory)
#   KOLVU_FUZZ_TARGETS  the targets to run (default: every fuzz/fuzz_*.cc)
#   KOLVU_FUZZ_JOBS     targets run at once (default: the processors, nproc)
#   KOLVU_FUZZ_CONFIGURED  1: the build directory is configured already, with
#                       clang and -DKOLVU_FUZZ=ON (a sanitizer build with its
#                       tests, say): its fuzz targets are built as it stands
#
# Each target runs single-threaded, so with two processors two targets run
# side by side, each for the full time; a target's lines are printed when it
# ends.
# The corpus is copied to the scratch directory first, so a run never adds
# files to fuzz/corpus. The script fails when any target crashes, fails one
# of its checks, leaks, times out or exits; the input that did it is kept in
# <scratch>/<target>/ as crash-*, leak-*, timeout-* and the log next to it.
#
# The targets keep the fuzzer's log readable on their own: kolvu's standard
# output is caught or sent to /dev/null, and its diagnostics are sent there
# too (errfp), so file descriptor 2 carries only the fuzzer's and the
# sanitizers' reports. Do not pass -close_fd_mask=1: the targets that look at
# what kolvu wrote point descriptor 1 at a file of their own at start-up, and
# the fuzzer would replace it afterwards. -close_fd_mask=2 works but also
# hides the message of a failed check (the input is still saved).
set -euo pipefail

secs=${1:-20}
root=$(cd "$(dirname "$0")/.." && pwd)
build=${KOLVU_FUZZ_BUILD:-$root/build-fuzz}
if [ -z "${KOLVU_FUZZ_TARGETS:-}" ]; then
  KOLVU_FUZZ_TARGETS=$(cd "$root/fuzz" && for f in fuzz_*.cc; do echo "${f%.cc}"; done)
fi
targets=$(echo $KOLVU_FUZZ_TARGETS)
jobs=${KOLVU_FUZZ_JOBS:-$(nproc)}
work=${KOLVU_FUZZ_WORK:-$(mktemp -d "${TMPDIR:-/tmp}/kolvu-fuzz.XXXXXX")}

if ! grep -q 'KOLVU_FUZZ' "$root/CMakeLists.txt"; then
  echo "run.sh: $root/CMakeLists.txt does not add fuzz/ (option KOLVU_FUZZ)" >&2
  exit 2
fi

# The longest input each target is given: room for lines near the
# 1023-byte limit, long lists and the 2048 columns of the tab expansion.
max_len() {
  case $1 in
    fuzz_errmsg) echo 4096 ;;
    fuzz_lsp) echo 16384 ;;  # a few messages, or one nested past the depth limit
    *) echo 8192 ;;
  esac
}

if [ "${KOLVU_FUZZ_CONFIGURED:-}" != 1 ]; then
  cmake -S "$root" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DKOLVU_FUZZ=ON \
    -DBUILD_TESTING=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
# shellcheck disable=SC2086
cmake --build "$build" -j"$(nproc)" --target $targets

# Runs target $1 in its scratch folder; its report goes to <scratch>/<target>/report.
fuzz_one() {
  local t=$1 dir=$work/$1
  mkdir -p "$dir/corpus"
  cp "$root/fuzz/corpus/$t/"* "$dir/corpus/"
  {
    echo "== $t: ${secs}s"
    if "$build/fuzz/$t" -max_total_time="$secs" -max_len="$(max_len "$t")" -timeout=10 \
        -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$dir/" \
        "$dir/corpus" 2>"$dir/log"; then
      grep -E '^stat::number_of_executed_units' "$dir/log" || true
    else
      echo "$t FAILED; the end of its log ($dir/log):"
      tail -n 40 "$dir/log"
      ls "$dir" | grep -E '^(crash|leak|timeout|oom)-' | sed "s|^|  input: $dir/|" || true
      return 1
    fi
  } >"$dir/report"
}

# At most $jobs targets at once; each report is printed as its target ends.
status=0
declare -A running=()
finish_one() {
  local pid t
  if wait -n -p pid; then :; else status=1; fi
  t=${running[$pid]}
  unset "running[$pid]"
  cat "$work/$t/report" 2>/dev/null || echo "$t FAILED before it ran (no fuzz/corpus/$t?)"
}
for t in $targets; do
  [ ${#running[@]} -lt "$jobs" ] || finish_one
  fuzz_one "$t" &
  running[$!]=$t
done
while [ ${#running[@]} -gt 0 ]; do finish_one; done
echo "scratch: $work"
exit $status
