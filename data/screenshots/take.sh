#!/usr/bin/env bash
# Retakes window.png, the screenshot of the AppStream metadata: the window on
# samples/contacts under Xvfb after "Extract Contacts From Outlook", with the
# "Done." box dismissed and three rows ticked. Needs xvfb-run, xdotool and
# ImageMagick.
#
#   data/screenshots/take.sh [BUILD_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
program=$(realpath "${1:-$here/../../build}")/quarrelby
[ -x "$program" ] || { echo "missing $program" >&2; exit 2; }
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s '-screen 0 1280x1024x24' "$0" "$@"
fi

work=$(mktemp -d)
trap 'kill "$app" 2>/dev/null; rm -rf "$work"' EXIT
# A folder of its own, so that no skin beside the build is picked up.
cp "$program" "$work/"
cp "$here/../program/HAND-M.CUR" "$work/"
mkdir -m 700 "$work/run"
QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR=$work/run QUARRELBY_CONTACTS=$here/../../samples/contacts \
  "$work/quarrelby" >/dev/null 2>&1 &
app=$!

window=""
for _ in $(seq 200); do
  window=$(xdotool search --onlyvisible --name '^Quarrelby$' | head -1 || true)
  [ -n "$window" ] && break
  sleep 0.1
done
[ -n "$window" ] || { echo "the window did not appear" >&2; exit 1; }
sleep 1
eval "$(xdotool getwindowgeometry --shell "$window")"
# The extraction button spans the top of the window.
xdotool mousemove $((X + 350)) $((Y + 20)) click 1
sleep 2
xdotool key Return # the "Done." box
sleep 1
for row in 267 281 309; do
  xdotool mousemove $((X + 18)) $((Y + row)) click 1
  sleep 0.3
done
xdotool mousemove 0 0
sleep 0.5
import -window root -crop "${WIDTH}x${HEIGHT}+$X+$Y" +repage -strip "$here/window.png"
echo "wrote $here/window.png"
