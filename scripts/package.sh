#!/usr/bin/env bash
# Builds the Debian package of Parloquin, build/package/parloquin_<version>_amd64.deb, and checks
# it with lintian (any error fails the script; lintian's findings are printed).
#   scripts/package.sh                  installs what packaging needs, builds the application alone
#                                       (scripts/build.sh app) and packages it
#   scripts/package.sh --tree FOLDER    packages that build tree instead, as it is built
#   scripts/package.sh --output FOLDER  writes the package there instead of build/package
# The package holds whatever the install rules install, below /usr, stripped; its dependencies
# are the packages of the libraries the programs and plugins link (dpkg-shlibdeps).
set -euo pipefail
cd "$(dirname "$0")/.."

tree=""
output=build/package
while [ $# -gt 0 ]; do
  case "$1" in
    --tree) tree="${2:?--tree needs a build folder}"; shift 2 ;;
    --output) output="${2:?--output needs a folder}"; shift 2 ;;
    *)
      echo "usage: $0 [--tree BUILD-FOLDER] [--output FOLDER]" >&2
      exit 2
      ;;
  esac
done

scripts/install-deps.sh package
if [ -z "$tree" ]; then
  scripts/build.sh app
  tree=build/app
fi
if [ ! -f "$tree/CPackConfig.cmake" ]; then
  echo "$tree is not a configured build tree of Parloquin (it has no CPackConfig.cmake)" >&2
  exit 1
fi

mkdir -p "$output"
output=$(cd "$output" && pwd)
# CPack stages the install in a folder of its own, removed again afterwards.
staging=$(mktemp -d "$output/.cpack.XXXXXX")
trap 'rm -rf "$staging"' EXIT
if ! cpack --config "$tree/CPackConfig.cmake" -B "$staging" >"$staging/cpack.log" 2>&1; then
  cat "$staging/cpack.log" >&2
  echo "cpack could not build the package (its output is above)" >&2
  exit 1
fi
packages=("$staging"/*.deb)
if [ ! -f "${packages[0]}" ]; then
  cat "$staging/cpack.log" >&2
  echo "cpack wrote no package" >&2
  exit 1
fi
for package in "${packages[@]}"; do
  name=$(basename "$package")
  mv -f "$package" "$output/$name"
  echo "Built $output/$name"
  # lintian prints its findings; errors fail the script, warnings and notes do not.
  lintian --fail-on error "$output/$name"
done
