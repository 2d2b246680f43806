#!/usr/bin/env bash
# Installs what is missing, builds, and starts Parloquin.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
scripts/build.sh release
if [ -x build/release/Parloquin/parloquin ]; then
  exec build/release/Parloquin/parloquin "$@"
fi
echo "Built the speech library and its tests (build/release); the desktop application is not part of this build yet."
