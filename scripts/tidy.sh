#!/usr/bin/env bash
# Runs clang-tidy with the checks of .clang-tidy over the sources of src/,
# with the compile commands of a configured build (build/ unless given), and
# fails on any finding. It takes several minutes of processor time (about 7 s
# a file, mostly parsing Qt's headers), so scripts/test.sh leaves it out; run
# it before a change lands.
#   scripts/tidy.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
if [ ! -f "$build/compile_commands.json" ]; then
  echo "no $build/compile_commands.json: configure $build first (scripts/test.sh does)" >&2
  exit 2
fi
run-clang-tidy-14 -p "$build" -j "$(nproc)" -quiet "$PWD/src/"
