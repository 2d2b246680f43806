#!/usr/bin/env bash
# Builds the fuzzing harnesses of the file readers (fuzz/) with clang (the release's version that
# scripts/packages.sh names), libFuzzer, ASan and UBSan in build/fuzz, then
#   scripts/fuzz.sh [seconds]        runs each harness for that long (default 60), growing its
#                                    corpus in build/fuzz/corpus/<harness> from the seeds;
#   scripts/fuzz.sh --regression     runs each harness once over its seed corpus and the crash
#                                    inputs kept in fuzz/<harness>/regressions (what CI does);
#   scripts/fuzz.sh --coverage       runs each harness over its grown corpus (or its seeds) and
#                                    prints, per source file of its reader, the share of the
#                                    instrumented edges and functions the corpus reaches.
# PARLOQUIN_FUZZ_HARNESSES="tar zip" picks harnesses; PARLOQUIN_FUZZ_PARALLEL (default 3) is how
# many fuzz at once, each a single process (one job). A finding stops the run with the harness's report; the
# input that caused it lies in build/fuzz/findings/<harness>.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh

mode=fuzz
seconds=60
case "${1:-}" in
  --regression) mode=regression ;;
  --coverage) mode=coverage ;;
  "") ;;
  *[!0-9]*)
    echo "usage: $0 [seconds | --regression | --coverage]" >&2
    exit 2
    ;;
  *) seconds="$1" ;;
esac

tree=build/fuzz
jobs="${PARLOQUIN_JOBS:-$(nproc)}"
launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache); fi
configure=(cmake -S . -B "$tree" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER="clang-$fuzz_clang_version"
           -DCMAKE_CXX_COMPILER="clang++-$fuzz_clang_version" -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g" -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -g"
           -DPARLOQUIN_FUZZ=ON -DPARLOQUIN_BUILD_TESTS=OFF -DPARLOQUIN_BUILD_BENCH=OFF "${launcher[@]}")
stamp="$tree/configured-with"
if [[ ! -f "$tree/build.ninja" || "$(cat "$stamp" 2>/dev/null)" != "${configure[*]}" ]]; then
  rm -f "$stamp"
  "${configure[@]}" >/dev/null
  printf '%s\n' "${configure[*]}" >"$stamp"
fi
# Only the harnesses and what they link: none of the networks, no libtorch.
cmake --build "$tree" -j "$jobs" --target fuzz_harnesses

all=(tar zip checkpoint onnx parakeet_config kokoro hub_listing bundle lexicon defaults records audio text)
read -r -a harnesses <<<"${PARLOQUIN_FUZZ_HARNESSES:-${all[*]}}"
export ASAN_OPTIONS="detect_leaks=1:allocator_may_return_null=0:${ASAN_OPTIONS:-}"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:${UBSAN_OPTIONS:-}"
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0:${LSAN_OPTIONS:-}"
# The readers log what they refuse; the harnesses send it nowhere, this catches what logs early.
export RARIVOREDU_LOG_LEVEL=fault

if [ "$mode" = regression ]; then
  failed=()
  for name in "${harnesses[@]}"; do
    inputs=("fuzz/$name/corpus")
    [ -d "fuzz/$name/regressions" ] && inputs+=("fuzz/$name/regressions")
    start=$SECONDS
    if "$tree/fuzz/fuzz_$name" -runs=0 -rss_limit_mb=2048 -timeout=30 "${inputs[@]}" >"$tree/fuzz-$name.log" 2>&1; then
      echo "fuzz regression $name: $(grep -o 'INITED exec/s.*\|DONE.*' "$tree/fuzz-$name.log" | tail -n 1) ($((SECONDS - start)) s)"
    else
      tail -n 40 "$tree/fuzz-$name.log" >&2
      failed+=("$name")
    fi
  done
  passed=$((${#harnesses[@]} - ${#failed[@]}))
  echo "fuzz regression: ${passed} passed, ${#failed[@]} failed"
  [ ${#failed[@]} -eq 0 ] || { echo "failing harnesses: ${failed[*]}" >&2; exit 1; }
  exit 0
fi

# The source files each harness is there for.
declare -A readers=(
  [tar]="checkpoint/TarArchive checkpoint/FileRegion"
  [zip]="checkpoint/ZipArchive checkpoint/FileRegion"
  [checkpoint]="checkpoint/PickleReader checkpoint/PickleValue checkpoint/TorchCheckpoint checkpoint/TensorRecord checkpoint/ZipArchive"
  [onnx]="checkpoint/OnnxModel silero/SileroVadWeights"
  [parakeet_config]="parakeet/ParakeetConfig parakeet/ParakeetNetwork"
  [kokoro]="kokoro/KokoroNetworkConfig kokoro/KokoroWeights kokoro/KokoroScriptSource kokoro/KokoroScriptHelpers kokoro/KokoroVoicePack"
  [hub_listing]="shared/DownloadUtils"
  [bundle]="ml/MLModelBundle ml/MLModelDescription asr/AsrModels tts/KokoroVocabulary"
  [lexicon]="misaki/MisakiLexicon tts/LexiconCache"
  [defaults]="system/UserDefaults"
  [records]="services/TranscriptionRecord services/SessionStatistics services/JSONCoding services/RTFWriter"
  [audio]="audio/AVAudioFile audio/SndfileDecoder audio/FFmpegDecoder audio/AVAudioConverter shared/AudioConverter"
  [text]="tts/TtsTextPreprocessor tts/TtsOverrideMarkup tts/TtsSpokenNumbers tts/KokoroChunker tts/KokoroChunkerWords tts/KokoroChunkerAssembly tts/SynthesizerInput"
)
if [ "$mode" = coverage ]; then
  for name in "${harnesses[@]}"; do
    corpus="$tree/corpus/$name"
    [ -d "$corpus" ] && [ -n "$(ls -A "$corpus")" ] || corpus="fuzz/$name/corpus"
    "$tree/fuzz/fuzz_$name" -runs=0 -print_coverage=1 -rss_limit_mb=2048 -timeout=30 "$corpus" 2>&1 |
      awk -v name="$name" -v files="${readers[$name]}" '
        /^(UN)?COVERED_FUNC:/ {
          split($5, e, "/"); where = $NF; sub(/:[0-9]+$/, "", where)
          n = split(files, wanted, " ")
          for (i = 1; i <= n; ++i) if (index(where, "/" wanted[i] ".cpp")) {
            key = wanted[i] ".cpp"; covered[key] += e[1]; total[key] += e[2]
            functions[key]++; if ($1 == "COVERED_FUNC:") reached[key]++
          }
        }
        END {
          for (key in total) printf "coverage %s %s: edges %d/%d (%.0f%%), functions %d/%d\n", name, key, covered[key], total[key], 100 * covered[key] / total[key], reached[key], functions[key]
        }' | sort
  done
  exit 0
fi

parallel="${PARLOQUIN_FUZZ_PARALLEL:-3}"
mkdir -p "$tree/corpus" "$tree/findings" "$tree/logs"
run_one() {
  local name="$1" corpus="$tree/corpus/$1"
  mkdir -p "$corpus" "$tree/findings/$name"
  "$tree/fuzz/fuzz_$name" "$corpus" "fuzz/$name/corpus" -dict="fuzz/$name/$name.dict" -max_total_time="$seconds" \
    -rss_limit_mb=2048 -timeout=30 -print_final_stats=1 \
    -artifact_prefix="$tree/findings/$name/" >"$tree/logs/$name.log" 2>&1
}
pids=()
names=()
status=0
for name in "${harnesses[@]}"; do
  while [ "$(jobs -rp | wc -l)" -ge "$parallel" ]; do wait -n || true; done
  run_one "$name" &
  pids+=($!)
  names+=("$name")
done
for i in "${!pids[@]}"; do
  name="${names[$i]}"
  if wait "${pids[$i]}"; then
    echo "fuzz $name: $(grep -E '^stat::number_of_executed_units' "$tree/logs/$name.log" | awk '{print $2}') runs in ${seconds} s, no finding"
  else
    echo "fuzz $name: FINDING (build/fuzz/logs/$name.log, input in build/fuzz/findings/$name)" >&2
    status=1
  fi
done
exit $status
