#!/usr/bin/env bash
# scripts/install-deps.sh leaves a PipeWire desktop its sound. The script's own choice is taken
# from its dry run (scripts/install-deps.sh --dry-run PURPOSE) on a machine whose state is faked: a
# dpkg-query stand-in on PATH reports which packages are installed, nothing else. apt then
# simulates installing that plan together with pipewire-audio (nothing is installed): the plan of
# a machine with PipeWire's PulseAudio server keeps pipewire-audio and removes no PipeWire package.
# On a machine without it the tests' plan holds the PulseAudio daemon, which on Debian 12 and 13 conflicts
# with pipewire-audio: the same simulation fails, as it must.
set -uo pipefail
cd "$(dirname "$0")/../.."
command -v apt-get >/dev/null || { echo "no apt-get here: nothing to check"; exit 77; }

fake=$(mktemp -d)
trap 'rm -rf "$fake"' EXIT
# Answers `dpkg-query -W -f='${Status}' PACKAGE` and `dpkg-query -W -f='${Package} ${Status}\n'
# PACKAGE...` from FAKE_INSTALLED (names separated by spaces), as dpkg would.
cat >"$fake/dpkg-query" <<'EOF'
#!/bin/sh
format=$2
shift 2
status=0
for package in "$@"; do
  found=no
  for p in $FAKE_INSTALLED; do [ "$p" = "$package" ] && found=yes; done
  if [ $found = no ]; then
    echo "dpkg-query: no packages found matching $package" >&2
    status=1
  elif [ "$format" = "-f=\${Status}" ]; then
    printf 'install ok installed'
  else
    printf '%s install ok installed\n' "$package"
  fi
done
exit $status
EOF
chmod +x "$fake/dpkg-query"

# The packages install-deps.sh would install for a purpose on a machine with the given packages.
plan() {  # purpose, installed packages...
  local purpose=$1
  shift
  PATH="$fake:$PATH" FAKE_INSTALLED="$*" scripts/install-deps.sh --dry-run "$purpose" 2>/dev/null
}

# Prints what apt's plan does to the sound packages; fails when apt finds no plan or the plan
# removes a PipeWire package.
keeps_pipewire() {
  local plan
  plan=$(apt-get -s -o Debug::NoLocking=1 install --no-install-recommends "$@" pipewire-audio 2>&1)
  local status=$?
  echo "$plan" | grep -E '^(Inst|Remv) (pipewire|pulseaudio|wireplumber)' | sed 's/^/    /'
  if [ $status -ne 0 ]; then
    echo "$plan" | grep -E '^ |^E:' | sed 's/^/    /'
    return 1
  fi
  ! echo "$plan" | grep -qE '^Remv pipewire'
}

failures=0
fail() {
  echo "  FAILED: $*"
  failures=$((failures + 1))
}

check() {  # purpose, pulseaudio expected in the plan (yes|no), expectation (keeps|loses), installed...
  local purpose=$1 with_pulseaudio=$2 expected=$3
  shift 3
  local packages
  mapfile -t packages < <(plan "$purpose" "$@")
  echo "install-deps.sh $purpose on a machine with: ${*:-nothing} (${#packages[@]} packages to install)"
  [ ${#packages[@]} -gt 0 ] || fail "the dry run names no package"
  local holds=no
  for p in "${packages[@]}"; do [ "$p" = pulseaudio ] && holds=yes; done
  [ "$holds" = "$with_pulseaudio" ] || fail "pulseaudio in the plan: $holds; expected: $with_pulseaudio"
  local actual
  if keeps_pipewire "${packages[@]}"; then actual=keeps; else actual=loses; fi
  if [ "$actual" = "$expected" ]; then
    echo "  ok: with pipewire-audio the desktop $actual its PipeWire sound"
  else
    fail "with pipewire-audio the desktop $actual its PipeWire sound; expected: it $expected it"
  fi
}

pipewire_desktop=(pipewire pipewire-audio pipewire-pulse wireplumber)
check application no keeps "${pipewire_desktop[@]}"  # scripts/run.sh
check tests no keeps "${pipewire_desktop[@]}"        # scripts/test.sh
check ci no keeps "${pipewire_desktop[@]}"           # .ci/run
check tests yes loses                                # a machine without PipeWire gets PulseAudio
check application no keeps                           # the application never brings a sound server
exit $((failures > 0))
