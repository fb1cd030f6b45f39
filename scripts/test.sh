#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test twice: once in a normal
# build with warnings as errors, once under AddressSanitizer and
# UndefinedBehaviorSanitizer. Then builds the fuzz targets and runs each on a
# few hundred inputs, so that none stops building or starting unnoticed, and
# the tests of the threads that read books and write the workbook once more
# under ThreadSanitizer.

set -euo pipefail
cd "$(dirname "$0")/.."
scripts/bootstrap.sh

jobs=$(nproc)
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUARRELBY_WERROR=ON -DQUARRELBY_BENCH=ON
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUARRELBY_WERROR=ON \
  -DQUARRELBY_SANITIZE=ON -DQUARRELBY_BENCH=OFF
cmake --build build-asan -j "$jobs"
ctest --test-dir build-asan --output-on-failure -j "$jobs"

CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUARRELBY_FUZZ=ON \
  -DQUARRELBY_TESTS=OFF -DQUARRELBY_BENCH=OFF
cmake --build build-fuzz -j "$jobs" --target fuzzers
for fuzzer in build-fuzz/fuzz/fuzz_*; do
  [ -x "$fuzzer" ] || continue
  "$fuzzer" -runs=300 -artifact_prefix=build-fuzz/ 2>&1 | tail -n 1
done

# Only the tests of the threads, so that the whole stays well within CI's
# time: ThreadSanitizer slows them several times over.
tsan_tests=(tst_boundedqueue tst_contactstore tst_discovery tst_outlookdatafile tst_sqlitebooks tst_shownworkbook)
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUARRELBY_WERROR=ON \
  -DQUARRELBY_TSAN=ON -DQUARRELBY_BENCH=OFF
cmake --build build-tsan -j "$jobs" --target "${tsan_tests[@]}"
# A test that starts a program forks with threads running; the child only
# calls exec.
TSAN_OPTIONS=suppressions=$PWD/tests/tsan.supp:die_after_fork=0:halt_on_error=1:second_deadlock_stack=1 ctest --test-dir build-tsan --output-on-failure -j "$jobs" \
  -R "^($(IFS='|'; echo "${tsan_tests[*]}"))\$"
