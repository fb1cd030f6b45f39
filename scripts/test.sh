#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test twice: once in a normal
# build with warnings as errors, once under AddressSanitizer and
# UndefinedBehaviorSanitizer. Then builds the fuzz targets and runs each on a
# few hundred inputs, so that none stops building or starting unnoticed, and
# the tests of the threads that read books and write the workbook once more
# under ThreadSanitizer.
#
# Some tests read real-world contact files: public sample files of other
# projects' test data, listed with their sources in the corpus's SOURCES.md.
# They are not in this repository: QUARRELBY_TEST_CORPUS names their folder
# (.ci/run sets it when the project keeps them beside the clone). Without
# them those tests are skipped, and this script lists every skipped test.

set -euo pipefail
cd "$(dirname "$0")/.."
scripts/bootstrap.sh

# The test cases a run skipped, and why; ctest counts a test with skipped
# cases as passed.
report_skips() {
  local log=$1/Testing/Temporary/LastTest.log skipped
  skipped=$(grep -E '^SKIP +: ' "$log" 2>/dev/null | sed -E 's/^SKIP +: +/  /' || true)
  if [ -z "$skipped" ]; then
    echo "test.sh: no test case was skipped in $1"
    return
  fi
  echo "test.sh: $(wc -l <<<"$skipped") test cases were skipped in $1:"
  echo "$skipped"
  if [ -z "${QUARRELBY_TEST_CORPUS:-}" ]; then
    echo "test.sh: the real-world contact files were not found (set QUARRELBY_TEST_CORPUS to their folder)"
  fi
}

jobs=$(nproc)
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUARRELBY_WERROR=ON -DQUARRELBY_BENCH=ON
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"
report_skips build

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUARRELBY_WERROR=ON \
  -DQUARRELBY_SANITIZE=ON -DQUARRELBY_BENCH=OFF
cmake --build build-asan -j "$jobs"
ctest --test-dir build-asan --output-on-failure -j "$jobs"
report_skips build-asan

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
