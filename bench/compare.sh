#!/usr/bin/env bash
# Quarrelby against the route a user would script, on the same address book in
# one run: (a) the program itself, `quarrelby --export csv --book BOOK --output
# OUT.csv`, from its start to its exit; (b) python3-vobject parsing every card
# and csv.writer writing the 33 fields, likewise from start to exit. Both are
# timed from outside the same way; Quarrelby runs RUNS times (median). Prints
# both times and the ratio. (Its peak memory:
# /usr/bin/time -v BUILD_DIR/quarrelby --export csv --book BOOK --output OUT.csv.)
#
#   bench/compare.sh [BUILD_DIR] [COUNT] [RUNS]
#
# BUILD_DIR defaults to build-release (a Release build with the benchmarks);
# COUNT to 100000, RUNS to 5. The book is generated once into
# $QUARRELBY_BENCH_DATA (default /tmp/quarrelby-bench) and kept for the next run.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=${1:-build-release}
count=${2:-100000}
runs=${3:-5}
data=${QUARRELBY_BENCH_DATA:-/tmp/quarrelby-bench}
book=$data/book-$count.vcf

for program in quarrelby bench/quarrelby-generate-contacts; do
  if [ ! -x "$build/$program" ]; then
    echo "missing $build/$program: build the program and the benchmarks first" >&2
    exit 2
  fi
done
if ! /usr/bin/python3 -c 'import vobject' 2>/dev/null; then
  echo "python3-vobject is missing: scripts/bootstrap.sh installs it" >&2
  exit 2
fi

mkdir -p "$data"
if [ ! -s "$book" ]; then
  "$build/bench/quarrelby-generate-contacts" "$count" "$book.part"
  mv "$book.part" "$book"
fi
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

# The seconds one run of the command takes, from start to exit.
measure() {
  local TIMEFORMAT=%R
  { time "$@" > /dev/null 2>&1; } 2>&1
}

times=()
for _ in $(seq "$runs"); do
  times+=("$(measure "$build/quarrelby" --export csv --book "$book" --output "$out/quarrelby.csv")")
done
a=$(printf '%s\n' "${times[@]}" | sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }')
b=$(measure /usr/bin/python3 "$here/vobject_to_csv.py" "$book" "$out/vobject.csv")

echo "book:                         $book ($(du -m "$book" | cut -f1) MB)"
echo "quarrelby --export csv:       median $a s of $runs runs (${times[*]})"
echo "python3-vobject + csv.writer: $b s"
echo "load average at the end:      $(cut -d' ' -f1-3 /proc/loadavg)"
awk -v a="$a" -v b="$b" 'BEGIN { printf "ratio:                        %.1fx\n", b / a }'
