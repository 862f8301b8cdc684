#!/usr/bin/env bash
# The regression run: the committed replays of tests/regress, played with and
# without pixels on the data the build generates, against their expected dump
# and picture digests (the Replays/Regress tests of the suite). Running it in
# several builds checks that they all give the same game, bit for bit.
#
#   scripts/regress.sh                                         # the build in build/
#   BUILD_DIR=build-debug BUILD_TYPE=Debug scripts/regress.sh  # an -O0 build
#   scripts/regress.sh --update       # rewrite tests/regress/*.expected
#
# An update of the expected files is a commit of its own that says why the
# game's behaviour or picture changed.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
case "${1:-}" in
  "") update=0 ;;
  --update) update=1 ;;
  *) echo "usage: scripts/regress.sh [--update]" >&2; exit 2 ;;
esac
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-Release}" -DTANKBATTLE_BENCH=OFF
fi
cmake --build "$build" -j"$(nproc)" --target tankbattle_tests
if [ "$update" = 1 ]; then
  TANKBATTLE_REGRESS_UPDATE=1 "$build/tests/tankbattle_tests" --gtest_filter='Replays/Regress.*' --gtest_brief=1
  git --no-pager diff --stat -- tests/regress
fi
ctest --test-dir "$build" --output-on-failure -j"$(nproc)" -R '^Replays/Regress[.]'
