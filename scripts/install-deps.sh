#!/usr/bin/env bash
# Installs every Debian package Parloquin needs to build, run and test.
# Idempotent: packages already present are skipped by apt.
set -euo pipefail

packages=(
  # toolchain
  cmake ninja-build g++ pkg-config git
  # model runtime
  libtorch-dev libopenblas0-pthread libopenblas-dev
  # audio
  libsndfile1-dev libavformat-dev libavcodec-dev libavutil-dev libswresample-dev
  libsoxr-dev libpulse-dev pulseaudio pulseaudio-utils sox
  ffmpeg  # writes the audio test fixtures (tests/fixtures/audio/make-fixtures.sh)
  # network, log, text
  libcurl4-openssl-dev libcpp-httplib-dev libsystemd-dev nlohmann-json3-dev
  libcld2-dev libicu-dev
  # desktop
  qt6-base-dev qt6-svg-dev libqt6svg6 libx11-dev libxi-dev libxtst-dev
  # fonts for the texts: DejaVu holds the key symbols (⇧ ⌘ ⌥), Noto the colour emoji
  fonts-dejavu-core fonts-noto-color-emoji
  xvfb xauth x11-utils trayer dbus dbus-x11 xdotool imagemagick
  xterm  # a terminal that tests paste into
  # speech synthesis
  libespeak-ng-dev espeak-ng-data libsoundtouch-dev
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev
  # a German locale, so that tests can check that files and reports ignore the user's locale
  locales
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive

if [ ${#missing[@]} -gt 0 ]; then
  $SUDO apt-get update
  $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi

if ! locale -a 2>/dev/null | grep -ix 'de_DE.utf8' >/dev/null; then
  $SUDO localedef -i de_DE -c -f UTF-8 de_DE.UTF-8
fi
