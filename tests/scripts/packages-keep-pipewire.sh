#!/usr/bin/env bash
# The package lists of scripts/packages.sh leave a PipeWire desktop its sound. apt simulates
# installing each list together with pipewire-audio (nothing is installed): a list that can be
# installed on such a desktop gives a plan that keeps pipewire-audio and removes no PipeWire
# package. The same check of a list with pulseaudio in it fails, as it must: on Debian 12
# pulseaudio conflicts with pipewire-audio.
set -uo pipefail
cd "$(dirname "$0")/../.."
source scripts/packages.sh
command -v apt-get >/dev/null || { echo "no apt-get here: nothing to check"; exit 77; }

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
check() {  # name, expectation (keeps|loses), packages...
  local name=$1 expected=$2
  shift 2
  echo "$name ($# packages) with pipewire-audio:"
  if keeps_pipewire "$@"; then actual=keeps; else actual=loses; fi
  if [ "$actual" = "$expected" ]; then
    echo "  ok: the desktop $actual its PipeWire sound"
  else
    echo "  FAILED: the desktop $actual its PipeWire sound; expected: it $expected it"
    failures=$((failures + 1))
  fi
}

check "scripts/run.sh: application packages" keeps "${application_packages[@]}"
check "scripts/test.sh on a PipeWire desktop: application and test packages" keeps \
  "${application_packages[@]}" "${test_packages[@]}"
check "a list with the test sound server PulseAudio in it" loses \
  "${application_packages[@]}" "${test_sound_server_packages[@]}"
exit $((failures > 0))
