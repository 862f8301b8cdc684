#!/usr/bin/env bash
# The release soak: a million passes of random key presses over all 30 keys,
# with the world's invariants checked after every pass (tests/soak_test.cpp),
# then a shorter run with pixels on. Run it before each release.
#
#   scripts/soak.sh                  # 1,000,000 passes, seed 1
#   scripts/soak.sh 5000000 7        # passes, seed
#
# Environment: BUILD_DIR (build-soak), JOBS, TANKBATTLE_SOAK_PIXEL_PASSES (20000).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build-soak}
jobs=${JOBS:-$(nproc)}
export TANKBATTLE_SOAK_PASSES=${1:-1000000}
export TANKBATTLE_SOAK_SEED=${2:-1}
export TANKBATTLE_SOAK_PIXEL_PASSES=${TANKBATTLE_SOAK_PIXEL_PASSES:-20000}

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DTANKBATTLE_BENCH=OFF > /dev/null
cmake --build "$build" -j"$jobs" --target tankbattle_tests game_data
"$build/tests/tankbattle_tests" --gtest_filter='Soak.*'
