#!/usr/bin/env bash
# The recogniser at real size. Writes random-weight model sets of the real size (float32, and int8
# with a quantised Encoder) into a cache folder once, then loads each with AsrModels::load and
# transcribes 15 s and 60 s through AsrManager::transcribe, and prints a table per run. The sets
# are made as an import makes them: a state dict with the real checkpoints' names and shapes
# (seeded random weights) goes through the library's network builder (ParakeetNetwork), the code
# ParakeetImporter runs on a .nemo file; a 2.4 GB random .nemo is not written first, since only
# reading it would differ.
#   bench/recogniser-real-size.sh [runs] [--rounds N] [--lengths S,S...] [--sets fp32,int8]
#                                 [--variant NAME:VAR=VALUE[,VAR=VALUE...]]... [--loaded]
# Each round runs every set under every variant once, interleaved (fp32, int8, fp32, int8, ...), so
# that a machine whose load changes over the run weighs on each alike; each run is a process of its
# own with `runs` timed transcriptions (default 5) after 2 warm-up ones. Without --variant the
# runtime's own settings apply (the variables that change them are cleared for the runs); each
# --variant adds a run with the given variables set, e.g. --variant passive:OMP_WAIT_POLICY=PASSIVE
# (the default is then also run, as "default"). Rounds default to 2, lengths (seconds of audio) to
# 15,60, sets to both.
# --loaded: then the same rounds again while 2, and then 4, cores are kept busy by spinning
# processes the script starts and stops itself, as a build or a browser would.
# Peer: beside each set the generator writes the same encoder, from the same state dict, as an ONNX
# graph (int8 as ONNX Runtime's dynamic quantisation writes it: weights per output channel). Where
# onnxruntime-node is installed (scripts/install-deps.sh tests), every round runs it after ours
# through bench/asr/onnx-runtime-peer.js, on ONNX Runtime's 8 intra-op threads, over the same
# windows our Encoder was called with; each of those runs first checks its output against our
# Encoder's on one seeded 15 s input (bench_asr_encoder_reference, run once at the start) and stops
# the benchmark above the tolerance (largest absolute difference; fp32 1e-3, int8 0.25, or
# PARLOQUIN_PEER_TOLERANCE_FP32 / _INT8). --no-peer leaves it out. The last table sets
# our Encoder's median seconds per transcription beside ONNX Runtime's, with the ratio (ONNX
# Runtime's seconds over ours: above 1 we are faster), each with CPU time / wall time and the load.
# Every table is headed by the machine's load average; at the end one table has a row per run:
# median seconds, RTFx, CPU time / wall time (cores busy on average), the load average as the run
# ended, resident memory idle (models loaded, after the runs) and at its peak.
# The sets take about 3.2 GB in ${PARLOQUIN_BENCH_CACHE:-${XDG_CACHE_HOME:-~/.cache}/parloquin-bench};
# they are written again when the generator's source changes. The recogniser's log goes to
# <cache>/<set>.log. Not part of the tests: the figures are wall-clock times, so they are read
# beside the load average and against the other runs of the same rounds.
set -euo pipefail
cd "$(dirname "$0")/.."

runs=5
rounds=2
lengths=15,60
sets=fp32,int8
loaded=false
peer=true
variants=()
while [ $# -gt 0 ]; do
  case "$1" in
    --loaded) loaded=true ;;
    --no-peer) peer=false ;;
    --rounds) rounds=$2; shift ;;
    --lengths) lengths=$2; shift ;;
    --sets) sets=$2; shift ;;
    --variant)
      if [[ "$2" != *:*=* ]]; then echo "$0: a variant is NAME:VAR=VALUE[,VAR=VALUE...], not '$2'" >&2; exit 2; fi
      variants+=("$2"); shift ;;
    *) runs=$1 ;;
  esac
  shift
done
variants=(default: "${variants[@]}")
cache="${PARLOQUIN_BENCH_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/parloquin-bench}"
build=build/release
jobs="${PARLOQUIN_JOBS:-$(nproc)}"

launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache); fi
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" >/dev/null
cmake --build "$build" -j "$jobs" --target bench_asr_generate_models bench_asr_real_size bench_asr_encoder_reference \
  >/dev/null

# A set is current when it was written by the generator of this source.
stamp="$(cat tests/support/asr/AsrNetworkModels.cpp tests/support/asr/OnnxEncoderWriter.cpp \
  tests/support/asr/OnnxGraphBuilder.cpp bench/asr/GenerateRealSizeModels.cpp RarivOredu/asr/parakeet/*.cpp \
  Platform/ml/torch/TorchScriptEngine.cpp | sha256sum | cut -c1-16)"
for precision in fp32 int8; do
  folder="$cache/$precision"
  if [[ "$(cat "$folder/generator" 2>/dev/null)" != "$stamp" ]]; then
    rm -rf "$folder"
    "$build/bench/asr/bench_asr_generate_models" "$folder" "$precision"
    echo "$stamp" >"$folder/generator"
  fi
done

# The peer: ONNX Runtime from the tests' npm packages, checked against our Encoder's output on a
# seeded 15 s input (1501 mel frames) computed now, by this build's runtime.
modules=build/npm/node_modules
tolerance_fp32=${PARLOQUIN_PEER_TOLERANCE_FP32:-1e-3}
tolerance_int8=${PARLOQUIN_PEER_TOLERANCE_INT8:-0.25}
if [ "$peer" = true ] && { ! command -v node >/dev/null || [ ! -f "$modules/onnxruntime-node/package.json" ]; }; then
  echo "ONNX Runtime's peer runs left out: no node, or no $modules/onnxruntime-node (scripts/install-deps.sh tests)" >&2
  peer=false
fi
if [ "$peer" = true ]; then
  for precision in ${sets//,/ }; do
    "$build/bench/asr/bench_asr_encoder_reference" "$cache/$precision" "$cache/$precision/reference" 1501 \
      2>>"$cache/$precision.log"
  done
fi

summary="$(mktemp)"
run="$(mktemp)"
condition=0
run_sets() {  # heading
  condition=$((condition + 1))
  local round precision variant name settings
  for ((round = 1; round <= rounds; round++)); do
    for variant in "${variants[@]}"; do
      name=${variant%%:*}
      settings=()
      [ -z "${variant#*:}" ] || IFS=, read -r -a settings <<<"${variant#*:}"
      for precision in ${sets//,/ }; do
        echo
        echo "== $precision, $name, $1, round $round (load average $(cut -d' ' -f1-3 /proc/loadavg))"
        env -u RARIVOREDU_TORCH_THREADS -u RARIVOREDU_BLAS_THREADS -u OMP_NUM_THREADS -u OPENBLAS_NUM_THREADS \
            -u OMP_WAIT_POLICY -u GOMP_SPINCOUNT -u OPENBLAS_THREAD_TIMEOUT \
            -u MALLOC_MMAP_MAX_ -u MALLOC_TRIM_THRESHOLD_ -u MALLOC_ARENA_MAX -u MALLOC_TOP_PAD_ -u LD_PRELOAD \
            "${settings[@]}" "$build/bench/asr/bench_asr_real_size" "$cache/$precision" "$precision" "$runs" "$lengths" \
            2>>"$cache/$precision.log" | tee "$run"
        sed -n "/^summary /{s/^summary //;s/ /|/g;s/^/$condition|$1|$name|$round|/;p}" "$run" >>"$summary"
        # ONNX Runtime after the default run, over the windows it gave our Encoder.
        if [ "$peer" = true ] && [ "$name" = default ]; then
          local windows tolerance=$tolerance_fp32
          [ "$precision" = fp32 ] || tolerance=$tolerance_int8
          windows=$(sed -n 's/^windows \([0-9]*\) \(.*\)$/\1:\2/p' "$run")
          echo
          echo "== $precision, ONNX Runtime, $1, round $round (load average $(cut -d' ' -f1-3 /proc/loadavg))"
          # shellcheck disable=SC2086 # one argument per length
          node bench/asr/onnx-runtime-peer.js "$modules" "$cache/$precision/Encoder.onnx" "ort-$precision" "$runs" \
            --check "$cache/$precision/reference" "$tolerance" $windows | tee "$run"
          sed -n "/^summary /{s/^summary //;s/ /|/g;s/^/$condition|$1|onnxruntime|$round|/;p}" "$run" >>"$summary"
        fi
      done
    done
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
trap 'stop_busy; rm -f "$summary" "$run"' EXIT
trap 'exit 130' INT TERM

run_sets "$(nproc) cores, none kept busy"
if [ "$loaded" = true ]; then
  for cores in 2 4; do
    start_busy "$cores"
    run_sets "$(nproc) cores, $cores kept busy"
    stop_busy
  done
fi

echo
echo "== every run (s: median seconds per transcription; cpu/wall: cores busy on average; load: 1-minute load average as the run ended)"
printf '%-10s %-28s %5s %-5s %6s %8s %7s %8s %5s %8s %8s\n' variant condition round set audio s RTFx cpu/wall load "idle GB" "peak GB"
sort -t'|' -k1,1n -k5,5 -k6,6n -k3,3 -k4,4n "$summary" |
  while IFS='|' read -r _ condition name round set seconds median rtfx busy load idle peak _; do
    printf '%-11s %-28s %5s %-8s %4s s %8s %7s %8s %5s %8s %8s\n' "$name" "$condition" "$round" "$set" "$seconds" \
      "$median" "$rtfx" "$busy" "$load" "$idle" "$peak"
  done

[ "$peer" = true ] || exit 0
echo
echo "== the encoder, ours beside ONNX Runtime (median over the rounds of each run's median seconds per transcription;"
echo "   cpu/wall and load: their medians over the rounds; ratio: ONNX Runtime's seconds over ours, above 1 ours is faster)"
printf '%-28s %-5s %6s | %8s %8s %5s | %8s %8s %5s | %6s\n' condition set audio "ours s" cpu/wall load "ORT s" cpu/wall load ratio
# Fields: condition number, heading, run name, round, label, seconds, median, RTFx, cpu/wall, load, idle, peak,
# encoder median, encoder cpu/wall.
awk -F'|' '
  function median(list,   n, v, i, j, t) {
    n = split(list, v, " ")
    for (i = 1; i <= n; i++) for (j = i + 1; j <= n; j++) if (v[j] + 0 < v[i] + 0) { t = v[i]; v[i] = v[j]; v[j] = t }
    return n % 2 ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2
  }
  ($3 == "default" || $3 == "onnxruntime") {
    set = $5; sub(/^ort-/, "", set)
    key = sprintf("%04d|%s|%s|%06d", $1, $2, set, $6)
    who = $3 == "default" ? "ours" : "ort"
    s[key, who] = s[key, who] " " $13; b[key, who] = b[key, who] " " $14; l[key, who] = l[key, who] " " $10
    keys[key] = 1
  }
  END {
    for (key in keys) {
      if (s[key, "ours"] == "" || s[key, "ort"] == "") continue
      split(key, k, "|")
      ours = median(s[key, "ours"]); ort = median(s[key, "ort"])
      printf "%s|%-28s %-5s %4d s | %8.3f %8.2f %5.1f | %8.3f %8.2f %5.1f | %6.2f\n", key, k[2], k[3], k[4] + 0,
        ours, median(b[key, "ours"]), median(l[key, "ours"]), ort, median(b[key, "ort"]), median(l[key, "ort"]), ort / ours
    }
  }' "$summary" | sort | cut -d'|' -f5-
