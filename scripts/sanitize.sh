#!/usr/bin/env bash
# The sanitizer check: builds with clang's AddressSanitizer and
# UndefinedBehaviorSanitizer (float-cast-overflow included, no recovery) into
# build-asan and runs the whole test suite, the regression run's long battles
# included. Any report fails. The fuzz targets are built in the same tree
# (scripts/fuzz.sh can use it: BUILD_DIR=build-asan).
#
# Warnings as errors are the job of the gcc build (.ci/run); clang warns about more.
# Environment: BUILD_DIR (build-asan), JOBS (nproc),
# TANKBATTLE_SOAK_PASSES and TANKBATTLE_SOAK_PIXEL_PASSES for the soak tests in
# the suite (10000 and 300 here: the sanitizers slow a pass about twentyfold;
# the 100,000-pass soak runs in the release build, the million in scripts/soak.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build-asan}
jobs=${JOBS:-$(nproc)}
export TANKBATTLE_SOAK_PASSES=${TANKBATTLE_SOAK_PASSES:-10000}
export TANKBATTLE_SOAK_PIXEL_PASSES=${TANKBATTLE_SOAK_PIXEL_PASSES:-300}
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

