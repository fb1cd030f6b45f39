#!/usr/bin/env bash
# Extraction as the user sees it: the program under Xvfb, a click on
# "Extract Contacts From Outlook", and the time until the "Done." box's window
# is mapped; then the program's peak memory. Five runs, a fresh program each,
# and the median.
#
#   bench/window_time.sh BOOK [BUILD_DIR] [RUNS]
#
# BOOK is a .vcf file, a folder of cards, an Evolution contacts.db or a
# Thunderbird abook.sqlite (quarrelby-generate-contacts makes all four from the
# same cards); BUILD_DIR defaults to build-release. Needs Xvfb, xdotool and
# xev.
# QUARRELBY_BENCH_TOUCH_BOOK=1 touches the book just before each click.
set -euo pipefail

book=${1:?usage: bench/window_time.sh BOOK [BUILD_DIR] [RUNS]}
build=${2:-build-release}
runs=${3:-5}
program=$build/quarrelby
[ -x "$program" ] || { echo "missing $program" >&2; exit 2; }

work=$(mktemp -d)
# A display of our own: a server that cannot start (its display is taken)
# exits, and the next display is tried.
start_xvfb() {
  local n
  for n in $(seq $((90 + RANDOM % 100)) 400); do
    [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb=$!
    for _ in $(seq 100); do
      kill -0 "$xvfb" 2>/dev/null || break
      if DISPLAY=":$n" xdotool getmouselocation >/dev/null 2>&1; then
        # The server that answered must be ours, still there a moment later
        # (one that is shutting down may answer once).
        sleep 0.3
        if kill -0 "$xvfb" 2>/dev/null; then
          display=":$n"
          return 0
        fi
        break
      fi
      sleep 0.05
    done
    kill "$xvfb" 2>/dev/null || true
  done
  echo "no display could be started" >&2
  exit 2
}
start_xvfb
cleanup() {
  [ -n "${app:-}" ] && kill "$app" 2>/dev/null || true
  [ -n "${spy:-}" ] && kill "$spy" 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
export DISPLAY=$display XDG_RUNTIME_DIR=$work QT_QPA_PLATFORM=xcb QUARRELBY_CONTACTS=$book

now_ns() { date +%s%N; }
# CPU time of the process, all threads, in milliseconds: on a busy machine
# the wall time says more about the other processes than about this one.
cpu_ms() { awk -v hz="$(getconf CLK_TCK)" '{ print int(($14 + $15) * 1000 / hz) }' "/proc/$1/stat"; }

one_run() {
  "$program" >"$work/app.log" 2>&1 &
  app=$!
  local window=""
  for _ in $(seq 1200); do
    window=$(xdotool search --onlyvisible --name '^Quarrelby$' 2>/dev/null | head -1) && [ -n "$window" ] && break
    sleep 0.05
  done
  [ -n "$window" ] || { echo "the window did not appear" >&2; cat "$work/app.log" >&2; exit 1; }
  sleep 0.5
  # Every top-level window mapped from now on is reported on the root window.
  xev -root -event substructure >"$work/events" 2>/dev/null &
  spy=$!
  sleep 0.2
  # The button spans the top of the window (twips 120,120 to 10440,520).
  # QUARRELBY_BENCH_TOUCH_BOOK=1: the book changes just before the click, so
  # nothing read ahead since the window opened can be used.
  [ -z "${QUARRELBY_BENCH_TOUCH_BOOK:-}" ] || { touch "$book"; sleep 0.05; }
  xdotool mousemove --window "$window" 350 20
  local start end cpu0 cpu1
  cpu0=$(cpu_ms "$app")
  start=$(now_ns)
  xdotool click 1
  while ! grep -q '^MapNotify' "$work/events"; do
    sleep 0.002
    [ $(( $(now_ns) - start )) -lt 60000000000 ] || { echo "no message box within 60 s" >&2; exit 1; }
  done
  end=$(now_ns)
  cpu1=$(cpu_ms "$app")
  [ -z "${QUARRELBY_BENCH_DEBUG:-}" ] || { grep -A2 "^MapNotify" "$work/events" >&2; xdotool search --onlyvisible --name . getwindowname %@ >&2 || true; }
  local peak
  peak=$(awk '/^VmHWM/ { printf "%.0f", $2 / 1024 }' "/proc/$app/status")
  kill "$spy" 2>/dev/null; wait "$spy" 2>/dev/null || true
  kill "$app" 2>/dev/null; wait "$app" 2>/dev/null || true; [ -z "${QUARRELBY_BENCH_DEBUG:-}" ] || cat "$work/app.log" >&2
  spy="" app=""
  echo "$(( (end - start) / 1000000 )) $peak $((cpu1 - cpu0))"
}

results=()
for i in $(seq "$runs"); do
  # A run whose program could not start (the display went away under it) is
  # run once more.
  r=$(one_run) || r=$(one_run) || { echo "run $i failed twice" >&2; exit 1; }
  echo "run $i: click to Done. $(echo "$r" | cut -d' ' -f1) ms, peak memory $(echo "$r" | cut -d' ' -f2) MB, CPU $(echo "$r" | cut -d' ' -f3) ms"
  results+=("$r")
done
printf '%s\n' "${results[@]}" | sort -n | awk -v n="$runs" '
  { t[NR] = $1; m[NR] = $2; c[NR] = $3 }
  END { i = int((n + 1) / 2); printf "median of %d runs: click to Done. %d ms; peak memory %d MB, CPU %d ms (median run)\n", n, t[i], m[i], c[i] }'
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"
