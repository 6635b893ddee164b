#!/usr/bin/env bash
# Installs what is missing, configures, builds and runs every test.
#   scripts/test.sh              the normal build (build/)
#   scripts/test.sh --sanitize   AddressSanitizer + UndefinedBehaviorSanitizer
#                                (build-asan/), after a short run of every
#                                fuzz target (build-fuzz/, clang + libFuzzer)
# Exits non-zero on any failure. With CI=true warnings are errors.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

mode=normal
[[ "${1:-}" == "--sanitize" ]] && mode=sanitize

bash scripts/install_deps.sh

jobs=$(nproc)
werror=OFF
[[ "${CI:-}" == "true" ]] && werror=ON
export CTEST_OUTPUT_ON_FAILURE=1
# The real audio backend's tests play into a private PulseAudio null sink;
# without one they are skipped.
build_dir=build
[[ $mode == sanitize ]] && build_dir=build-asan
# A server this command starts (with its recorder) is stopped when it ends,
# whatever the outcome; one that was already running is left as it was.
if ! bash scripts/null_sink.sh running --for "$build_dir"; then
  if bash scripts/null_sink.sh start --for "$build_dir" >/dev/null; then
    trap 'bash scripts/null_sink.sh stop --for "$build_dir"' EXIT
  else
    echo "test.sh: no null sink, the Qt audio tests will be skipped"
  fi
fi

configure() {  # dir, extra args...
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja -DTV_WERROR=$werror "$@" >/dev/null
}

if [[ $mode == normal ]]; then
  # The benchmarks are built even when the demo configured build/ first.
  configure build -DTV_BUILD_BENCH=ON
  cmake --build build -j "$jobs"
  ctest --test-dir build -j "$jobs" --timeout 600
  exit 0
fi

# Fuzz targets: each runs briefly on a copy of its seed corpus.
configure build-fuzz -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
  -DTV_FUZZ=ON -DTV_BUILD_TESTS=OFF -DTV_BUILD_BENCH=OFF
cmake --build build-fuzz -j "$jobs" --target tv_fuzzers
# Leaks inside system libraries (a codec's on damaged input) are not the
# suite's: the fuzz runs take the same suppressions as the sanitizer suite.
export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0"
fuzz_seconds=${TV_FUZZ_SECONDS:-20}
while read -r exe corpus; do
  [[ -n "$exe" ]] || continue
  work=$(mktemp -d)
  [[ -d "$corpus" ]] && cp -r "$corpus"/. "$work"/
  echo "fuzzing $(basename "$exe") for ${fuzz_seconds}s"
  "$exe" -max_total_time="$fuzz_seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=0 \
    "$work" 2>"$work.log" || { tail -50 "$work.log"; exit 1; }
  grep -E '^Done [0-9]+ runs' "$work.log" || tail -1 "$work.log"
  rm -rf "$work" "$work.log"
done < build-fuzz/fuzzers.txt

# The whole suite under the sanitizers.
configure build-asan -DTV_SANITIZE=ON -DTV_BUILD_BENCH=OFF
cmake --build build-asan -j "$jobs"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:strict_string_checks=1:detect_stack_use_after_return=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0"
ctest --test-dir build-asan -j "$jobs" --timeout 900
