#!/usr/bin/env bash
# Quarrelby against the route a user would script, on the same address book in
# one run: (a) the contact store, the extraction into the list and the
# comma-delimited export; (b) python3-vobject parsing every card and csv.writer
# writing the 33 fields. Prints both times and the ratio.
#
#   bench/compare.sh [BUILD_DIR] [COUNT]
#
# BUILD_DIR defaults to build-release (a Release build with the benchmarks);
# COUNT to 100000. The book is generated once into $QUARRELBY_BENCH_DATA
# (default /tmp/quarrelby-bench) and kept for the next run.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=${1:-build-release}
count=${2:-100000}
data=${QUARRELBY_BENCH_DATA:-/tmp/quarrelby-bench}
book=$data/book-$count.vcf

for tool in quarrelby-generate-contacts quarrelby-extract-csv; do
  if [ ! -x "$build/bench/$tool" ]; then
    echo "missing $build/bench/$tool: build the benchmarks first" >&2
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

seconds() { sed -n 's/.* in \([0-9.]*\) s$/\1/p'; }

ours=$("$build/bench/quarrelby-extract-csv" "$book" "$out/quarrelby.csv")
theirs=$(/usr/bin/python3 "$here/vobject_to_csv.py" "$book" "$out/vobject.csv" 2>/dev/null)
a=$(echo "$ours" | seconds)
b=$(echo "$theirs" | seconds)

echo "book:                      $book ($(du -m "$book" | cut -f1) MB)"
echo "Quarrelby (store, list, CSV): $ours"
echo "python3-vobject + csv.writer: $theirs"
awk -v a="$a" -v b="$b" 'BEGIN { printf "ratio:                     %.1fx\n", b / a }'
