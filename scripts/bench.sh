#!/usr/bin/env bash
# Benchmarks, one command: builds the release game into build-bench, then prints
#   1. the pixel pipeline's and drawFrame's benchmarks on the recorded scenes
#      (bench/glide_bench.cpp, Google Benchmark, medians of 7 repetitions):
#      drawFrame with swap and clear for the start, the twelve-tank battle and
#      the close zoom, at scales 1 and 2, on one thread and on every core
#      (threads:0), in wall time, each with its ratio to a copy of one frame
#      buffer of that size (x_memcpy);
#   2. the median time per pass of the twelve-tank battle replay
#      (tests/regress/battle12.replay), simulation alone (--no-pixels) and
#      simulation plus pixels;
#   3. the passes per second of a long headless battle (simulation alone).
# Medians of RUNS runs (5). Quote figures with the machine they ran on.
#
#   scripts/bench.sh
#
# Environment: BUILD_DIR (build-bench), JOBS, RUNS (5), LONG_PASSES (200000), PIXEL_PASSES (2000).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build-bench}
jobs=${JOBS:-$(nproc)}
runs=${RUNS:-5}
long=${LONG_PASSES:-200000}
pixelPasses=${PIXEL_PASSES:-2000}
replay=tests/regress/battle12.replay

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DTANKBATTLE_TESTS=OFF > /dev/null
cmake --build "$build" -j"$jobs" --target tankbattle glide_bench game_data > /dev/null

echo "machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//'), $(nproc) cores"
echo
"$build/bench/glide_bench" --benchmark_repetitions=7 --benchmark_report_aggregates_only=true \
  --benchmark_filter='.' 2>&1 | grep -E 'median|Benchmark|---' || true
echo

# Seconds taken by one headless run.
seconds() {
  local start end
  start=$(date +%s%N)
  "$build/tankbattle" --headless --replay "$replay" --data "$build/data" "$@" > /dev/null
  end=$(date +%s%N)
  echo "$(( end - start ))" | awk '{printf "%.6f\n", $1 / 1e9}'
}
median() { sort -g | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }

simPasses=20000
sim=$(for _ in $(seq "$runs"); do seconds --no-pixels --frames "$simPasses"; done | median)
pix=$(for _ in $(seq "$runs"); do seconds --frames "$pixelPasses"; done | median)
longRun=$(for _ in $(seq "$runs"); do seconds --no-pixels --frames "$long"; done | median)
awk -v s="$sim" -v n="$simPasses" -v p="$pix" -v m="$pixelPasses" -v l="$longRun" -v k="$long" 'BEGIN {
  printf "twelve-tank battle, simulation alone:      %8.1f us per pass (median of runs of %d passes)\n", s / n * 1e6, n
  printf "twelve-tank battle, simulation + pixels:   %8.1f us per pass (median of runs of %d passes)\n", p / m * 1e6, m
  printf "long headless battle, simulation alone:    %8.0f passes per second (%d passes in %.2f s)\n", k / l, k, l
}'
