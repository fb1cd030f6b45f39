#!/usr/bin/env bash
# Installs what is missing, builds, and starts Quarrelby on the bundled sample
# address book (or on QUARRELBY_CONTACTS when it is already set).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/bootstrap.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$(nproc)" --target quarrelby
export QUARRELBY_CONTACTS="${QUARRELBY_CONTACTS:-$PWD/samples/contacts}"
exec build/quarrelby "$@"
