#!/usr/bin/env bash
# Installs what the tests need and is missing, builds, and runs the tests: every test on the
# release build, then the unit tests (label unit) again under AddressSanitizer and UBSan. Both runs
# happen in a private session (scripts/test-session.sh). Last, every fuzzing harness of the file
# readers runs once over its corpus (scripts/fuzz.sh --regression).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh tests
scripts/build.sh release
scripts/build.sh asan

jobs="${PARLOQUIN_TEST_JOBS:-$(nproc)}"
scripts/test-session.sh ctest --test-dir build/release --output-on-failure -j "$jobs"

export ASAN_OPTIONS="detect_leaks=1:strict_init_order=1"
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
scripts/test-session.sh ctest --test-dir build/asan -L unit --output-on-failure -j "$jobs"
unset ASAN_OPTIONS LSAN_OPTIONS UBSAN_OPTIONS
scripts/fuzz.sh --regression
echo "All tests passed."
