#!/usr/bin/env bash
# The sanitizer checks.
#
#   scripts/sanitize.sh            # AddressSanitizer + UndefinedBehaviorSanitizer: the whole suite
#   scripts/sanitize.sh --thread   # ThreadSanitizer: the drawing threads
#
# The default builds with clang's AddressSanitizer and UndefinedBehaviorSanitizer
# (float-cast-overflow included, no recovery) into build-asan and runs the
# whole test suite, the regression run's long battles included. The fuzz
# targets are built in the same tree (scripts/fuzz.sh can use it:
# BUILD_DIR=build-asan).
#
# --thread builds with clang's ThreadSanitizer into build-tsan what draws on
# the pipeline's worker threads and runs it: the pipeline's tests, the
# regression run with pictures, and the pixel digests (each drawn on 1, 2, 3
# and 8 threads). Only those tests are built there.
#
# Any report fails. Warnings as errors are the job of the gcc build (.ci/run); clang warns about more.
# Environment: BUILD_DIR (build-asan, build-tsan), JOBS (nproc),
# TANKBATTLE_ONLINE_PASSES for the long online game (1500 here, 10000 in the release build),
# TANKBATTLE_SOAK_PASSES and TANKBATTLE_SOAK_PIXEL_PASSES for the soak tests in
# the suite (10000 and 300 here: the sanitizers slow a pass about twentyfold;
# the 100,000-pass soak runs in the release build, the million in scripts/soak.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=${JOBS:-$(nproc)}
case "${1:-}" in
  "") ;;
  --thread)
    build=${BUILD_DIR:-build-tsan}
    CC=clang-14 CXX=clang++-14 cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DTANKBATTLE_TSAN=ON -DTANKBATTLE_WERROR=OFF -DTANKBATTLE_BENCH=OFF
    cmake --build "$build" -j"$jobs" --target tankbattle_tests pixel_digest
    export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1}
    # The tests labelled "threads" but the regression runs without pictures (no threads draw there).
    exec ctest --test-dir "$build" --output-on-failure -j"$jobs" -L '^threads$' -E '_no_pixels' ;;
  *) echo "usage: scripts/sanitize.sh [--thread]" >&2; exit 2 ;;
esac
build=${BUILD_DIR:-build-asan}
export TANKBATTLE_SOAK_PASSES=${TANKBATTLE_SOAK_PASSES:-10000}
export TANKBATTLE_SOAK_PIXEL_PASSES=${TANKBATTLE_SOAK_PIXEL_PASSES:-300}
export TANKBATTLE_ONLINE_PASSES=${TANKBATTLE_ONLINE_PASSES:-1500}
export ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1:detect_stack_use_after_return=1:strict_init_order=1:check_initialization_order=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

CC=clang-14 CXX=clang++-14 cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTANKBATTLE_SANITIZE=ON -DTANKBATTLE_FUZZ=ON -DTANKBATTLE_WERROR=OFF -DTANKBATTLE_BENCH=OFF
cmake --build "$build" -j"$jobs"

export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$PWD/scripts/lsan.supp}
# The window tests run the game against an X server; SDL loads the X11 libraries
# itself and unloads them at exit, so what they keep cannot be told apart from a
# leak of ours: those tests run with every check but the leak check.
ctest --test-dir "$build" --output-on-failure -j"$jobs" -E '^DesktopWindow(Test|Comforts)[.]'
ASAN_OPTIONS="$ASAN_OPTIONS:detect_leaks=0" ctest --test-dir "$build" --output-on-failure -j"$jobs" -R '^DesktopWindow(Test|Comforts)[.]'

