#!/usr/bin/env bash
# The regression run: the committed replays of tests/regress, played with and
# without pixels on the data the build generates, against their expected dump
# and picture digests (the Replays/Regress tests of the suite). Running it in
# several builds checks that they all give the same game, bit for bit.
#
#   scripts/regress.sh                                         # the build in build/
#   BUILD_DIR=build-debug BUILD_TYPE=Debug scripts/regress.sh  # an -O0 build
#   scripts/regress.sh --update       # rewrite tests/regress/*.expected
#   scripts/regress.sh --sync-test    # the sync test on every replay instead
#
# The sync test rolls each replay back 1 and 8 passes after every pass and runs
# them again: every pass must give the state it gave the first time, and the
# game must end as it does without the test (the snapshot holds everything
# that decides the game, as online play's rollback needs).
#
# An update of the expected files is a commit of its own that says why the
# game's behaviour or picture changed.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
case "${1:-}" in
  "") update=0 ;;
  --update) update=1 ;;
  --sync-test) update=sync ;;
  *) echo "usage: scripts/regress.sh [--update | --sync-test]" >&2; exit 2 ;;
esac
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-Release}" -DTANKBATTLE_BENCH=OFF
fi
if [ "$update" = sync ]; then
  cmake --build "$build" -j"$(nproc)" --target tankbattle
  scratch=$(mktemp -d)
  trap 'rm -rf "$scratch"' EXIT
  # The replays and their lengths, as the regression run plays them.
  for run in battle12:6000 coop:5000 churn:4000 long:24000; do
    name=${run%:*}
    run=("$build/tankbattle" --headless --no-pixels --data "$build/data" --replay "tests/regress/$name.replay"
         --frames "${run#*:}")
    "${run[@]}" --dump-state "$scratch/$name.jsonl"
    for n in 1 8; do
      start=$(date +%s%N)
      "${run[@]}" --sync-test "$n" --dump-state "$scratch/$name-$n.jsonl"
      cmp -s "$scratch/$name.jsonl" "$scratch/$name-$n.jsonl" ||
        { echo "sync test: $name ends otherwise with --sync-test $n" >&2; exit 1; }
      echo "sync test: $name, rolled back $n passes after every pass: the same game ($(( ($(date +%s%N) - start) / 1000000 )) ms)"
    done
  done
  exit 0
fi
cmake --build "$build" -j"$(nproc)" --target tankbattle_tests
if [ "$update" = 1 ]; then
  TANKBATTLE_REGRESS_UPDATE=1 "$build/tests/tankbattle_tests" --gtest_filter='Replays/Regress.*' --gtest_brief=1
  git --no-pager diff --stat -- tests/regress
fi
ctest --test-dir "$build" --output-on-failure -j"$(nproc)" -R '^Replays/Regress[.]'
