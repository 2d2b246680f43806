#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the whole suite on the release build,
# then the unit tests again under AddressSanitizer and UBSan.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
scripts/build.sh release
scripts/build.sh asan

jobs="${PARLOQUIN_TEST_JOBS:-$(nproc)}"
scripts/test-session.sh ctest --test-dir build/release --output-on-failure -j "$jobs"

export ASAN_OPTIONS="detect_leaks=1:strict_init_order=1"
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
scripts/test-session.sh ctest --test-dir build/asan -L unit --output-on-failure -j "$jobs"
echo "All tests passed."
