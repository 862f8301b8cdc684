#!/usr/bin/env bash
# Sets up, builds and starts the game. Extra arguments go to the game (try --help).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j"$(nproc)"
exec ./build/tankbattle "$@"
