#!/usr/bin/env bash
# Checks that the Evolution book quarrelby-generate-contacts --eds writes is
# one the real Evolution Data Server opens: writes COUNT contacts as the
# Personal book of an empty home, starts the daemon there on a private
# session bus and exports the book through it (addressbook-export, a client
# of the daemon), then compares the number of cards. The daemon refuses a
# book whose schema is not its own ("no such column: ...") and then exports
# nothing. KEEP.db, when given, gets the book as the daemon left it (its
# sort keys and E.164 numbers made): a real book of the same cards, for
# measuring the reading of both. The daemon makes the sort keys while the
# client waits for the book, which it does for 25 s: on this kind of machine
# that is enough for some 10,000 contacts, not for 100,000. Run by hand:
#   apt-get install --no-install-recommends evolution-data-server dbus
#   bench/check-eds-book.sh [BUILD_DIR] [COUNT] [KEEP.db]
set -euo pipefail
build=${1:-build}
count=${2:-1000}
keep=${3:-}
export_tool=/usr/libexec/evolution-data-server/addressbook-export
[ -x "$export_tool" ] || { echo "evolution-data-server is not installed" >&2; exit 2; }

home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
book=$home/data/evolution/addressbook/system/contacts.db
mkdir -p "$(dirname "$book")" "$home/run"
chmod 700 "$home/run"
"$build/bench/quarrelby-generate-contacts" --eds "$count" "$book"

status=0
(cd "$home" && env -i PATH=/usr/bin:/bin HOME="$home" XDG_DATA_HOME="$home/data" XDG_CONFIG_HOME="$home/config" \
  XDG_CACHE_HOME="$home/cache" XDG_RUNTIME_DIR="$home/run" LANG=C.UTF-8 \
  timeout 300 dbus-run-session -- "$export_tool" --format=vcard --output="$home/export.vcf") 2> "$home/log" || status=$?
exported=$(grep -c '^BEGIN:VCARD' "$home/export.vcf" 2>/dev/null || true)
echo "generated $count contacts; the daemon exported ${exported:-0} (status $status)"
if [ "$status" -ne 0 ] || [ "${exported:-0}" -ne "$count" ]; then
  grep -v '^dbus-daemon' "$home/log" >&2 || true
  exit 1
fi
[ -z "$keep" ] || cp "$book" "$keep"
