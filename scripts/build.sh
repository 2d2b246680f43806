#!/usr/bin/env bash
# Configures and builds one flavour of the project.
#   scripts/build.sh [release|asan|app]   (default: release)
# app is the application alone, without tests and benchmarks, in a folder of its own.
set -euo pipefail
cd "$(dirname "$0")/.."

flavour="${1:-release}"
jobs="${PARLOQUIN_JOBS:-$(nproc)}"
# A compiler cache, where one is installed, makes rebuilds in several checkouts cheap.
launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache); fi
case "$flavour" in
  release)
    cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" >/dev/null
    cmake --build build/release -j "$jobs"
    ;;
  asan)
    # The sanitizer build carries the tests; the benchmarks measure the release build only.
    cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DPARLOQUIN_SANITIZE=ON \
          -DPARLOQUIN_BUILD_BENCH=OFF "${launcher[@]}" >/dev/null
    cmake --build build/asan -j "$jobs"
    ;;
  app)
    cmake -S . -B build/app -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPARLOQUIN_BUILD_TESTS=OFF \
          -DPARLOQUIN_BUILD_BENCH=OFF "${launcher[@]}" >/dev/null
    cmake --build build/app -j "$jobs"
    ;;
  *)
    echo "usage: $0 [release|asan|app]" >&2
    exit 2
    ;;
esac
