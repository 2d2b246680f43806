#!/usr/bin/env bash
# Renders pictures of the shell for a person to look at: the recording overlay, the floating
# button in its three states, the welcome alert, the hotkey fallback alerts, the paste guidance,
# Qt's file chooser, the main window on each of its pages (and the sheets they open; the hotkeys page also while
# recording, without grants, with paste in place off, scrolled to its end, and as a Wayland session
# shows it: on sway without the portal, and with the portal; the file page also
# after a change of section while a file runs), the open status menu with its tray, and the tray,
# its tooltip and the page "Sonstiges" while a first start fetches the speech models, in the
# German locale. Where sway and grim are installed, the hotkeys page as sway shows it is also
# taken from a headless sway's screen (screen-hotkeys-wayland-sway.png), the window floating.
#   scripts/screenshots.sh [folder]   (default: build/screenshots)
# Runs on a private X server with a stand-alone tray (trayer), so it disturbs no desktop.
set -euo pipefail
cd "$(dirname "$0")/.."

folder="${1:-build/screenshots}"
mkdir -p "$folder"
folder="$(cd "$folder" && pwd)"

scripts/install-deps.sh tests
scripts/build.sh release

scripts/test-session.sh bash -c '
  trayer --edge top --align right --widthtype request --height 28 --SetDockType true \
         --tint 0x2b3440 --transparent true --alpha 0 >/dev/null 2>&1 &
  tray=$!
  trap "kill $tray 2>/dev/null || true" EXIT
  for _ in $(seq 50); do
    xwininfo -root -tree 2>/dev/null | grep -q "\"panel\"" && break
    sleep 0.1
  done
  # As a German user sees the window: relative dates, numbers and sizes in their words.
  LANG=de_DE.UTF-8 LC_ALL=de_DE.UTF-8 build/release/tests/Parloquin/app/parloquin_screenshots "$1"
' screenshots "$folder"

if command -v sway >/dev/null && command -v grim >/dev/null; then
  rules=$(mktemp /tmp/parloquin-screenshots-sway.XXXXXX)
  trap 'rm -f "$rules"' EXIT
  echo 'for_window [title="^Parloquin$"] floating enable' >"$rules"
  PARLOQUIN_SWAY_CONFIG="$rules" scripts/test-session.sh scripts/wayland-compositor.sh sway \
    env QT_QPA_PLATFORM=wayland LANG=de_DE.UTF-8 LC_ALL=de_DE.UTF-8 \
    build/release/tests/Parloquin/app/parloquin_screenshots --wayland "$folder" | sed '/^[A-Z_]*=/d; /^ready$/d'
fi
