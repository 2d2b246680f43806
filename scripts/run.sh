#!/usr/bin/env bash
# Installs what the application needs and is missing, builds it alone (no tests, no benchmarks)
# and starts Parloquin. It lives in the system tray.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh application
scripts/build.sh app
exec build/app/Parloquin/parloquin "$@"
