#!/usr/bin/env bash
# Runs the libFuzzer targets (fuzz/) for a bounded time each, under
# AddressSanitizer and UndefinedBehaviorSanitizer, after replaying the kept
# reproducers. A crash, a sanitizer report, a timeout or running out of memory
# fails the run; the input that did it is written to tests/data/fuzz/.
#
#   scripts/fuzz.sh                 # every target, 60 s each (CI)
#   scripts/fuzz.sh 3600 model      # one target for an hour
#   FUZZ_ARGS="-fork=2" scripts/fuzz.sh 28800   # a night on two cores
#
# Targets: model textures replay wav triangle settings. New corpus entries collect in
# $BUILD_DIR/fuzz-corpus/<target> (the committed seeds in fuzz/corpus/<target>
# stay as they are; copy good finds there by hand).
# Environment: BUILD_DIR (build-fuzz; CI uses the sanitizer tree build-asan), JOBS, FUZZ_ARGS.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(model textures replay wav triangle settings)
build=${BUILD_DIR:-build-fuzz}
jobs=${JOBS:-$(nproc)}
export ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

if [ ! -f "$build/CMakeCache.txt" ]; then
  CC=clang-14 CXX=clang++-14 cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTANKBATTLE_SANITIZE=ON -DTANKBATTLE_FUZZ=ON -DTANKBATTLE_TESTS=OFF -DTANKBATTLE_BENCH=OFF
fi
exes=()
for t in "${targets[@]}"; do exes+=("fuzz_$t"); done
cmake --build "$build" -j"$jobs" --target "${exes[@]}"

# Longest input per target: a whole model file (420 records, room for 0x0D
# bytes), both bitmaps, a sound; replays and triangle lists need less.
max_len() {
  case "$1" in
    model) echo 50000 ;; textures) echo 32768 ;; wav) echo 16384 ;; *) echo 4096 ;;
  esac
}

mkdir -p tests/data/fuzz
status=0
for t in "${targets[@]}"; do
  exe="$build/fuzz/fuzz_$t"
  corpus="$build/fuzz-corpus/$t"
  mkdir -p "$corpus"
  # The kept reproducers of this target must all pass now.
  shopt -s nullglob
  kept=(tests/data/fuzz/"$t"-*)
  shopt -u nullglob
  if [ ${#kept[@]} -gt 0 ]; then
    echo "fuzz: $t: replaying ${#kept[@]} kept reproducer(s)"
    extra=()
    [ "$t" = wav ] && extra=(-malloc_limit_mb=4500)
    "$exe" -rss_limit_mb=3000 "${extra[@]}" "${kept[@]}" || { status=1; continue; }
  fi
  # SDL's WAV reader allocates what a header's data size claims (up to 4 GB,
  # see tests/data/fuzz/wav-oom-*): allow that much address space for the sound target.
  limit=()
  [ "$t" = wav ] && limit=(-malloc_limit_mb=4500)
  echo "fuzz: $t for ${seconds}s"
  start=$(date +%s)
  # shellcheck disable=SC2086
  if ! "$exe" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=3000 "${limit[@]}" -max_len="$(max_len "$t")" \
      -print_final_stats=1 -artifact_prefix="tests/data/fuzz/$t-" ${FUZZ_ARGS:-} "$corpus" "fuzz/corpus/$t" \
      > "$build/fuzz-$t.log" 2>&1; then
    status=1
    echo "fuzz: $t FAILED; the reproducer is under tests/data/fuzz/, the log follows"
    tail -n 60 "$build/fuzz-$t.log"
  fi
  grep -E '^stat::(number_of_executed_units|average_exec_per_sec)' "$build/fuzz-$t.log" | sed "s/^/fuzz: $t: /" || true
  echo "fuzz: $t took $(( $(date +%s) - start ))s"
done
exit $status
