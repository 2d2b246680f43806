#!/usr/bin/env bash
# Installs the Debian packages one purpose needs (the lists are in scripts/packages.sh):
#   scripts/install-deps.sh application   building and running Parloquin
#   scripts/install-deps.sh tests         that, and the tests and benchmarks (with their npm
#                                         packages, into build/npm/node_modules), and packaging
#   scripts/install-deps.sh package       that, and what building the Debian package takes
#   scripts/install-deps.sh ci            that, and what continuous integration adds
# Packages already installed are skipped. As root it runs apt-get, otherwise sudo apt-get; without
# either it names the packages to install and stops.
#   scripts/install-deps.sh --dry-run PURPOSE   prints the packages it would install, one a line,
#                                               and changes nothing (no root needed)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh

dry_run=false
if [ "${1:-}" = --dry-run ]; then
  dry_run=true
  shift
fi
purpose="${1:-}"
installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

# The npm packages of the tests: each package's own tarball (npm checks it against the registry's
# integrity record), unpacked into build/npm/node_modules/<name>, and the named file checked
# against its SHA-256. A package already there with the right file is kept.
install_npm_packages() {
  local modules=build/npm/node_modules entry spec file digest name folder tarball
  for entry in "${test_npm_packages[@]}"; do
    read -r spec file digest <<<"$entry"
    name="${spec%@*}"
    folder="$modules/$name"
    if [ -f "$folder/$file" ] && [ "$(sha256sum "$folder/$file" | cut -d' ' -f1)" = "$digest" ]; then continue; fi
    mkdir -p build/npm/packs
    # npm names the tarball it wrote on its last line; its errors go to standard error.
    if ! tarball=$(cd build/npm/packs && npm pack --loglevel=error "$spec" | tail -n 1) || [ -z "$tarball" ] ||
      [ ! -f "build/npm/packs/$tarball" ]; then
      rm -rf build/npm/packs
      echo "$spec: npm could not fetch the package (npm pack failed, above); nothing installed" >&2
      exit 1
    fi
    rm -rf "$folder"
    mkdir -p "$folder"
    tar -xzf "build/npm/packs/$tarball" -C "$folder" --strip-components=1
    rm -rf build/npm/packs
    if [ "$(sha256sum "$folder/$file" | cut -d' ' -f1)" != "$digest" ]; then
      rm -rf "$folder"
      echo "$spec: $file does not have the SHA-256 $digest; nothing installed" >&2
      exit 1
    fi
    echo "Installed $spec into $modules"
  done
}

wanted=("${application_packages[@]}")
case "$purpose" in
  application) what="To build and run Parloquin" ;;
  package)
    what="To build the Debian package"
    wanted+=("${package_packages[@]}")
    ;;
  tests | ci)
    what="To build and run the tests"
    # The tests install the program and build its package.
    wanted+=("${test_packages[@]}" "${package_packages[@]}")
    # A machine whose sound runs on PipeWire keeps it: the tests use its pipewire-pulse.
    if ! installed pipewire-pulse; then wanted+=("${test_sound_server_packages[@]}"); fi
    if ! command -v npm >/dev/null; then wanted+=("${test_npm_tool_packages[@]}"); fi
    if [ "$purpose" = ci ]; then wanted+=("${ci_packages[@]}"); fi
    ;;
  *)
    echo "usage: $0 [--dry-run] application|package|tests|ci" >&2
    exit 2
    ;;
esac

# dpkg is asked once for all of them: a query per package took seconds on a busy machine, and
# scripts/run.sh passes here on every start.
declare -A present=()
while read -r package want ok state; do
  [ "$want $ok $state" != "install ok installed" ] || present[$package]=1
done < <(dpkg-query -W -f='${Package} ${Status}\n' "${wanted[@]}" 2>/dev/null || true)
missing=()
for p in "${wanted[@]}"; do [ -n "${present[$p]:-}" ] || missing+=("$p"); done
for_tests=false
if [ "$purpose" = tests ] || [ "$purpose" = ci ]; then for_tests=true; fi
needs_locale=false
if [ "$for_tests" = true ] && ! locale -a 2>/dev/null | grep -ix 'de_DE.utf8' >/dev/null; then needs_locale=true; fi
if [ "$dry_run" = true ]; then
  [ ${#missing[@]} -eq 0 ] || printf '%s\n' "${missing[@]}"
  [ "$needs_locale" = false ] || echo "(and the locale de_DE.UTF-8 would be made)" >&2
  [ "$for_tests" = false ] || printf '(and the npm package %s would be installed into build/npm)\n' \
    "${test_npm_packages[@]%% *}" >&2
  exit 0
fi
finish() {
  if [ "$for_tests" = true ]; then install_npm_packages; fi
  exit 0
}
[ ${#missing[@]} -gt 0 ] || [ "$needs_locale" = true ] || finish

as_root=()
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null; then
    as_root=(sudo)
  else
    echo "$what, this machine needs more, and installing it takes root (there is no sudo here). As root, run:" >&2
    [ ${#missing[@]} -eq 0 ] || echo "  apt-get install --no-install-recommends ${missing[*]}" >&2
    [ "$needs_locale" = false ] || echo "  localedef -i de_DE -c -f UTF-8 de_DE.UTF-8" >&2
    echo "then run $0 $purpose again." >&2
    exit 1
  fi
fi

export DEBIAN_FRONTEND=noninteractive
if [ ${#missing[@]} -gt 0 ]; then
  "${as_root[@]}" apt-get update
  "${as_root[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
fi
if [ "$needs_locale" = true ]; then
  "${as_root[@]}" localedef -i de_DE -c -f UTF-8 de_DE.UTF-8
fi
finish
