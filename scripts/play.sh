#!/usr/bin/env bash
# Sets up, builds and starts the game. Extra arguments go to the game (try --help).
# Only the game and its data are built (the first run takes about a minute); the
# tests and benchmarks are left to scripts/test.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DTANKBATTLE_TESTS=OFF -DTANKBATTLE_BENCH=OFF
cmake --build build -j"$(nproc)" --target tankbattle
exec ./build/tankbattle "$@"
