#!/usr/bin/env bash
# The same replay must give the same state dump from every build: the release
# build (gcc -O3), a debug build (gcc -O0) and, when present, the clang
# sanitizer build. The generated data files must be the same bytes too.
#
#   scripts/determinism.sh            # 20,000 passes of the twelve-tank battle
#   PASSES=200000 scripts/determinism.sh
set -euo pipefail
cd "$(dirname "$0")/.."
passes=${PASSES:-20000}
replay=tests/data/battle12.replay
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)" --target tankbattle game_data
cmake -S . -B build-debug -DCMAKE_BUILD_TYPE=Debug -DTANKBATTLE_TESTS=OFF -DTANKBATTLE_BENCH=OFF >/dev/null
cmake --build build-debug -j"$(nproc)" --target tankbattle game_data

builds=(build build-debug)
[ -x build-asan/tankbattle ] && builds+=(build-asan)
for b in "${builds[@]}"; do
  for f in Tank.ddo tex.bmp tex2.bmp expl.wav bumm.wav; do
    cmp "build/data/$f" "$b/data/$f"
  done
  "$b/tankbattle" --headless --no-pixels --frames "$passes" --replay "$replay" --data build/data \
    --dump-state "$out/$b.jsonl" --dump-every 1000
  cmp "$out/build.jsonl" "$out/$b.jsonl"
  echo "determinism: $b gives the release build's $(wc -l < "$out/$b.jsonl") dumps and data, byte for byte"
done
# The picture is drawn or skipped without changing the game: a shorter run with pixels.
build/tankbattle --headless --frames 600 --replay "$replay" --data build/data --dump-state "$out/pixels.jsonl" --dump-every 100
build-debug/tankbattle --headless --frames 600 --replay "$replay" --data build/data --dump-state "$out/pixels-debug.jsonl" --dump-every 100
build/tankbattle --headless --no-pixels --frames 600 --replay "$replay" --data build/data --dump-state "$out/no-pixels.jsonl" --dump-every 100
cmp "$out/no-pixels.jsonl" "$out/pixels.jsonl"
cmp "$out/pixels.jsonl" "$out/pixels-debug.jsonl"
echo "determinism: drawing pixels changes nothing, in either build"
