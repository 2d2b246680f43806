#!/usr/bin/env bash
# The recogniser at real size. Writes random-weight model sets of the real size (float32, and int8
# with a quantised Encoder) into a cache folder once, then loads each with AsrModels::load and
# transcribes 15 s and 60 s through AsrManager::transcribe, and prints a table per set. The sets
# are made as an import makes them: a state dict with the real checkpoints' names and shapes
# (seeded random weights) goes through the library's network builder (ParakeetNetwork), the code
# ParakeetImporter runs on a .nemo file; a 2.4 GB random .nemo is not written first, since only
# reading it would differ.
#   bench/recogniser-real-size.sh [runs] [--loaded]   (default 5 runs after 2 warm-up runs)
# --loaded: then the same runs again while 2, and then 4, cores are kept busy by spinning processes
# the script starts and stops itself, as a build or a browser would; each table is headed by the
# machine's load average.
# The sets take about 3.2 GB in ${PARLOQUIN_BENCH_CACHE:-${XDG_CACHE_HOME:-~/.cache}/parloquin-bench};
# they are written again when the generator's source changes. The runtime's own settings apply:
# the variables that change them are cleared for the runs. The recogniser's log goes to
# <cache>/<set>.log. Not part of the tests: run it on a quiet machine, since the figures are
# wall-clock times.
set -euo pipefail
cd "$(dirname "$0")/.."

runs=5
loaded=false
for arg in "$@"; do
  if [ "$arg" = --loaded ]; then loaded=true; else runs=$arg; fi
done
cache="${PARLOQUIN_BENCH_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/parloquin-bench}"
build=build/release
jobs="${PARLOQUIN_JOBS:-$(nproc)}"

launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache); fi
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" >/dev/null
cmake --build "$build" -j "$jobs" --target bench_asr_generate_models bench_asr_real_size >/dev/null

# A set is current when it was written by the generator of this source.
stamp="$(cat tests/support/asr/AsrNetworkModels.cpp bench/asr/GenerateRealSizeModels.cpp RarivOredu/asr/parakeet/*.cpp \
  Platform/ml/torch/TorchScriptEngine.cpp | sha256sum | cut -c1-16)"
for precision in fp32 int8; do
  folder="$cache/$precision"
  if [[ "$(cat "$folder/generator" 2>/dev/null)" != "$stamp" ]]; then
    rm -rf "$folder"
    "$build/bench/asr/bench_asr_generate_models" "$folder" "$precision"
    echo "$stamp" >"$folder/generator"
  fi
done

run_sets() {  # heading
  for precision in fp32 int8; do
    echo
    echo "== $precision, $1 (load average $(cut -d' ' -f1-3 /proc/loadavg))"
    env -u RARIVOREDU_TORCH_THREADS -u RARIVOREDU_BLAS_THREADS -u OMP_NUM_THREADS -u OPENBLAS_NUM_THREADS \
        -u OMP_WAIT_POLICY -u GOMP_SPINCOUNT -u OPENBLAS_THREAD_TIMEOUT \
        -u MALLOC_MMAP_MAX_ -u MALLOC_TRIM_THRESHOLD_ -u MALLOC_ARENA_MAX -u MALLOC_TOP_PAD_ -u LD_PRELOAD \
        "$build/bench/asr/bench_asr_real_size" "$cache/$precision" "$precision" "$runs" 2>"$cache/$precision.log"
  done
}

# The busy cores of the loaded runs: each spins until it is stopped or the script is gone, however
# the script ended.
busy=()
start_busy() {  # cores
  for ((i = 0; i < $1; i++)); do
    (while kill -0 $$ 2>/dev/null; do :; done) &
    busy+=($!)
  done
}
stop_busy() {
  [ ${#busy[@]} -eq 0 ] || kill "${busy[@]}" 2>/dev/null || true
  busy=()
}
trap stop_busy EXIT
trap 'exit 130' INT TERM

run_sets "$(nproc) cores, none kept busy"
if [ "$loaded" = true ]; then
  for cores in 2 4; do
    start_busy "$cores"
    run_sets "$(nproc) cores, $cores kept busy"
    stop_busy
  done
fi
