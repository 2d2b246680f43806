#!/usr/bin/env bash
# Start-up times, as a person and the test command pay them:
#   - from the start of the application to its icon docked in a system tray (trayer on the test
#     session's X server), with fresh settings and no reachable model hub;
#   - from the start of each test program to its main (the program lists its tests and ends).
# Prints the median and the range of each over a number of runs.
#   bench/startup/startup-times.sh [build folder] [runs]   (default: build/release 10)
set -euo pipefail
cd "$(dirname "$0")/../.."

build="${1:-build/release}"
runs="${2:-10}"
[ -x "$build/Parloquin/parloquin" ] || { echo "no application in $build: run scripts/build.sh first" >&2; exit 1; }

exec scripts/test-session.sh bash -s "$build" "$runs" <<'SESSION'
set -euo pipefail
build="$1"
runs="$2"

now() { date +%s%N; }
# Median, minimum and maximum of nanosecond figures, in milliseconds.
summary() {
  sort -n | awk '{ v[NR] = $1 } END {
    m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
    printf "median %6.1f ms  (%.1f to %.1f)\n", m / 1e6, v[1] / 1e6, v[NR] / 1e6 }'
}

trayer --edge top --align right --widthtype request --height 28 --SetDockType true >/dev/null 2>&1 &
tray=$!
trap 'kill $tray 2>/dev/null || true' EXIT
panel=""
for _ in $(seq 200); do
  panel=$(xwininfo -root -tree 2>/dev/null | awk '/"panel"/ { print $1; exit }')
  [ -n "$panel" ] && break
  sleep 0.05
done
[ -n "$panel" ] || { echo "trayer did not start" >&2; exit 1; }

# The application, each run with settings of its own that skip the welcome alert.
tray_times=()
for run in $(seq "$runs"); do
  home=$(mktemp -d)
  mkdir -p "$home/config/Parloquin" "$home/data" "$home/cache"
  echo '{"hasShownFirstLaunchExplanation":true}' >"$home/config/Parloquin/defaults.json"
  start=$(now)
  XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" XDG_CACHE_HOME="$home/cache" \
    RARIVOREDU_HUB_URL=http://127.0.0.1:1 "$build/Parloquin/parloquin" >/dev/null 2>&1 &
  app=$!
  docked=""
  for _ in $(seq 3000); do
    if xwininfo -id "$panel" -tree 2>/dev/null | grep -q '"Parloquin")'; then docked=$(now); break; fi
  done
  kill "$app" 2>/dev/null || true
  wait "$app" 2>/dev/null || true
  rm -rf "$home"
  [ -n "$docked" ] || { echo "run $run: the icon never docked" >&2; exit 1; }
  tray_times+=($((docked - start)))
done
printf 'application start to tray icon docked:   '
printf '%s\n' "${tray_times[@]}" | summary

# Every test program: start to main, measured as the whole of listing its tests (which is also
# what CTest's discovery runs before each test).
medians=()
while IFS= read -r program; do
  times=()
  for _ in $(seq "$runs"); do
    start=$(now)
    "$program" --gtest_list_tests >/dev/null 2>&1
    times+=($(($(now) - start)))
  done
  line=$(printf '%s\n' "${times[@]}" | summary)
  printf 'test program %-40s %s\n' "$(basename "$program")" "$line"
  medians+=($(printf '%s\n' "${times[@]}" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'))
done < <(find "$build/tests" -type f -perm -u+x -name '*_tests' | sort)
printf 'test programs: %d, one start of each: %.1f ms in all\n' "${#medians[@]}" \
  "$(printf '%s\n' "${medians[@]}" | awk '{ s += $1 } END { print s / 1e6 }')"
SESSION
