#!/usr/bin/env bash
# scripts/run.sh starts the application of a current build tree without configuring or compiling
# anything, and a change to the sources is still built before the start. The real scripts run on
# a copy of the scripts folder inside a stand-in project: one small program in the application's
# place (build/app/Parloquin/parloquin) that prints a word from a header and its arguments. dpkg
# reports every package installed, and a cmake on PATH notes each call the scripts make before
# passing it on (CMake's own re-runs from Ninja do not go through PATH).
set -uo pipefail
here="$(cd "$(dirname "$0")/../.." && pwd)"
command -v ninja >/dev/null || { echo "no ninja here: nothing to check"; exit 77; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
project="$work/project"
mkdir -p "$project/scripts" "$project/Parloquin" "$work/bin"
cp "$here"/scripts/{run.sh,build.sh,install-deps.sh,packages.sh} "$project/scripts/"
cat >"$project/CMakeLists.txt" <<'EOF2'
cmake_minimum_required(VERSION 3.25)
project(standin CXX)
add_subdirectory(Parloquin)
EOF2
echo 'add_executable(parloquin main.cpp)' >"$project/Parloquin/CMakeLists.txt"
echo '#define WORD "one"' >"$project/Parloquin/word.h"
cat >"$project/Parloquin/main.cpp" <<'EOF2'
#include <cstdio>
#include "word.h"
#ifndef SUFFIX
#define SUFFIX ""
#endif
int main(int argc, char** argv) {
    std::printf("%s%s", WORD, SUFFIX);
    for (int i = 1; i < argc; ++i) std::printf(" %s", argv[i]);
    std::printf("\n");
}
EOF2
cat >"$work/bin/dpkg-query" <<'EOF2'
#!/bin/sh
format=$2
shift 2
for package in "$@"; do
  if [ "$format" = "-f=\${Status}" ]; then printf 'install ok installed'; else printf '%s install ok installed\n' "$package"; fi
done
EOF2
cat >"$work/bin/cmake" <<EOF2
#!/bin/sh
echo "\$*" >>"$work/cmake-calls"
exec $(command -v cmake) "\$@"
EOF2
chmod +x "$work/bin/dpkg-query" "$work/bin/cmake"

failures=0
# start WHAT EXPECTED-OUTPUT CONFIGURES(yes|no) COMPILES(yes|no): runs scripts/run.sh with two
# arguments and checks the program's line and what the scripts did to get there.
start() {
  local what=$1 expected=$2 configures=$3 compiles=$4
  : >"$work/cmake-calls"
  local output
  output=$(cd "$project" && PATH="$work/bin:$PATH" PARLOQUIN_JOBS=2 scripts/run.sh first second 2>&1)
  local status=$? problems=()
  [ $status -eq 0 ] || problems+=("scripts/run.sh failed ($status)")
  [ "$(echo "$output" | tail -n 1)" = "$expected first second" ] || problems+=("the program did not print \"$expected first second\"")
  local configured=no compiled=no
  grep -q -- '-S \. -B build/app' "$work/cmake-calls" && configured=yes
  echo "$output" | grep -q 'Building CXX' && compiled=yes
  [ $configured = "$configures" ] || problems+=("configured: $configured, expected: $configures")
  [ $compiled = "$compiles" ] || problems+=("compiled: $compiled, expected: $compiles")
  if [ ${#problems[@]} -eq 0 ]; then
    echo "ok: $what"
  else
    echo "FAILED: $what: ${problems[*]}"
    echo "$output" | sed 's/^/    /'
    failures=$((failures + 1))
  fi
}

start "a new tree is configured and built" one yes yes
start "a current tree starts as it is" one no no
echo '#define WORD "two"' >"$project/Parloquin/word.h"
start "a changed header is compiled again" two no yes
printf 'add_executable(parloquin main.cpp)\ntarget_compile_definitions(parloquin PRIVATE SUFFIX="!")\n' \
  >"$project/Parloquin/CMakeLists.txt"
start "a changed CMakeLists.txt takes effect through the tree's own re-run of CMake" 'two!' no yes
start "and then the tree is current again" 'two!' no no
echo "cmake -S . -B build/app -G Ninja -DSOMETHING=else" >"$project/build/app/configured-with"
start "a tree configured with other options is configured again" 'two!' yes no
exit $((failures > 0))
