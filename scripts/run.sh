#!/usr/bin/env bash
# Installs what is missing, builds, and starts Quarrelby on the bundled sample
# address book (or on QUARRELBY_CONTACTS when it is already set).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/bootstrap.sh
if [ -x build/quarrelby ]; then
  echo "run.sh: bringing build/quarrelby up to date..."
else
  echo "run.sh: building Quarrelby in build/ for the first time: about 80 steps, a few minutes"
  echo "        (about 5 on two cores); the window opens when it is done, and later runs start at once."
fi
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target quarrelby
export QUARRELBY_CONTACTS="${QUARRELBY_CONTACTS:-$PWD/samples/contacts}"
exec build/quarrelby "$@"
