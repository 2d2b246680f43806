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
  release) options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
  # The sanitizer build carries the tests; the benchmarks measure the release build only.
  asan) options=(-DCMAKE_BUILD_TYPE=Debug -DPARLOQUIN_SANITIZE=ON -DPARLOQUIN_BUILD_BENCH=OFF) ;;
  app) options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DPARLOQUIN_BUILD_TESTS=OFF -DPARLOQUIN_BUILD_BENCH=OFF) ;;
  *)
    echo "usage: $0 [release|asan|app]" >&2
    exit 2
    ;;
esac
tree="build/$flavour"
configure=(cmake -S . -B "$tree" -G Ninja "${options[@]}" "${launcher[@]}")
# Configuring takes seconds, and a configured tree runs CMake again by itself when a CMakeLists.txt
# or a CMake helper changes: it is configured only when it is new or was configured otherwise.
stamp="$tree/configured-with"
if [[ ! -f "$tree/build.ninja" || "$(cat "$stamp" 2>/dev/null)" != "${configure[*]}" ]]; then
  rm -f "$stamp"
  "${configure[@]}" >/dev/null
  printf '%s\n' "${configure[*]}" >"$stamp"
fi
cmake --build "$tree" -j "$jobs"
