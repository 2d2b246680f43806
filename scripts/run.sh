#!/usr/bin/env bash
# Installs what is missing, builds, and starts Parloquin. It lives in the system tray.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
scripts/build.sh release
exec build/release/Parloquin/parloquin "$@"
