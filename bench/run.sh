#!/usr/bin/env bash
# Measures kolvu against cat and ctags on the machine's own headers, and the
# cost per byte of adversarial inputs.
#
#   bench/run.sh [runs]        (default 5 runs of each command, alternating)
#
# Builds a Release binary in build-bench/, writes its inputs under
# ${KOLVU_BENCH_DIR:-/tmp/kolvu-bench}, and prints medians, ratios and peak RSS.
# Needs cmake, a C++17 compiler, python3, GNU time (/usr/bin/time) and, for
# the peer comparison, ctags.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-5}
out=${KOLVU_BENCH_DIR:-/tmp/kolvu-bench}
mkdir -p "$out"

cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build build-bench -j"$(nproc)" >/dev/null
kolvu=$PWD/build-bench/kolvu

[ -f "$out/corpus.txt" ] || python3 bench/gen.py "$out"
mapfile -t corpus < "$out/corpus.txt"
mapfile -t sjis < "$out/sjis.txt"

# time_of LABEL CMD...: appends "seconds peak_kb" for one run to $out/LABEL.times.
# The wall time is taken to the microsecond around GNU time, which reports
# the peak RSS (its own seconds have only two decimals).
time_of() {
  local label=$1; shift
  local t0 t1
  rm -f "$out/$label.stdout"  # truncating last run's output inside the timing costs
  t0=$(date +%s%N)
  /usr/bin/time -f "%M" -o "$out/$label.one" "$@" > "$out/$label.stdout" 2>/dev/null || true
  t1=$(date +%s%N)
  echo "$(awk -v a="$t0" -v b="$t1" 'BEGIN {printf "%.4f", (b - a) / 1e9}') $(cat "$out/$label.one")" \
    >> "$out/$label.times"
}
median() { sort -n | awk '{a[NR]=$1} END {print (NR%2 ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2)}'; }
peak() { awk '{if ($2>m) m=$2} END {print m}' "$1"; }

bytes_of() { cat "$@" | wc -c; }
corpus_bytes=$(bytes_of "${corpus[@]}")
sjis_bytes=$(bytes_of "${sjis[@]}")
have_ctags=0
command -v ctags >/dev/null && have_ctags=1

rm -f "$out"/*.times
for ((i = 0; i < runs; i++)); do
  time_of kolvu "$kolvu" -dtsu "${corpus[@]}"
  time_of cat cat "${corpus[@]}"
  [ $have_ctags = 1 ] && time_of ctags ctags -x --kinds-C=dtsu --languages=C --langmap=C:.h "${corpus[@]}"
  time_of kolvu_sjis "$kolvu" -dtsu "${sjis[@]}"
  time_of cat_sjis cat "${sjis[@]}"
done

k=$(cut -d' ' -f1 "$out/kolvu.times" | median)
c=$(cut -d' ' -f1 "$out/cat.times" | median)
ks=$(cut -d' ' -f1 "$out/kolvu_sjis.times" | median)
cs=$(cut -d' ' -f1 "$out/cat_sjis.times" | median)
echo "machine: $(nproc) cores, $(uname -r), $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"
printf 'corpus: %d headers, %d bytes; Shift_JIS corpus: %d files, %d bytes; %d runs each\n' \
  "${#corpus[@]}" "$corpus_bytes" "${#sjis[@]}" "$sjis_bytes" "$runs"
echo "median wall time of $runs runs (GNU time's start-up included), peak RSS:"
printf '%-28s %8s s  peak %6s KB\n' "kolvu -dtsu" "$k" "$(peak "$out/kolvu.times")"
printf '%-28s %8s s  peak %6s KB\n' "cat" "$c" "$(peak "$out/cat.times")"
if [ $have_ctags = 1 ]; then
  t=$(cut -d' ' -f1 "$out/ctags.times" | median)
  printf '%-28s %8s s  peak %6s KB\n' "ctags -x --kinds-C=dtsu" "$t" "$(peak "$out/ctags.times")"
fi
printf '%-28s %8s s  peak %6s KB\n' "kolvu -dtsu (Shift_JIS)" "$ks" "$(peak "$out/kolvu_sjis.times")"
printf '%-28s %8s s\n' "cat (Shift_JIS)" "$cs"
awk -v k="$k" -v c="$c" 'BEGIN {printf "ratio kolvu/cat:             %.2f\n", k / c}'
awk -v k="$ks" -v c="$cs" 'BEGIN {printf "ratio kolvu/cat (Shift_JIS): %.2f\n", k / c}'
[ $have_ctags = 1 ] && awk -v k="$k" -v t="$t" 'BEGIN {printf "ratio ctags/kolvu:           %.1f\n", t / k}'

# Adversarial inputs: seconds per byte relative to the corpus.
per_byte=$(awk -v k="$k" -v b="$corpus_bytes" 'BEGIN {print k / b}')
adv=$out/adv
adversary() {  # LABEL FILE ARGS...
  local label=$1 file=$2; shift 2
  rm -f "$out/$label.times"
  for ((i = 0; i < runs; i++)); do time_of "$label" "$kolvu" "$@" "$adv/$file"; done
  local s size
  s=$(cut -d' ' -f1 "$out/$label.times" | median)
  size=$(wc -c < "$adv/$file")
  awk -v s="$s" -v n="$size" -v pb="$per_byte" -v l="$label" -v m="$(peak "$out/$label.times")" \
    'BEGIN {printf "%-34s %6.3f s  %5.1f x corpus per byte  peak %6d KB\n", l, s, (s / n) / pb, m}'
}
echo "adversarial inputs (median of $runs):"
adversary "defines, 1000 names rejected" defines.h -d -l "F=$adv/names1000.txt"
adversary "typedef fragments, -t" typedefs.h -t
adversary "10 MB captured typedef" capture.h -t -l Big
adversary "deep braces, -s" braces.h -s
adversary "long comments and literals" comments.h -dtsu
