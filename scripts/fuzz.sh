#!/usr/bin/env bash
# Runs the libFuzzer targets (fuzz/) for a bounded time each, under
# AddressSanitizer and UndefinedBehaviorSanitizer, after replaying every
# target's kept reproducers. A crash, a sanitizer report, a timeout or running
# out of memory fails the run; the input that did it is written to tests/data/fuzz/.
#
#   scripts/fuzz.sh                 # every target, 60 s each
#   scripts/fuzz.sh 30 fast         # the fast targets, 30 s each (CI)
#   scripts/fuzz.sh 600 thorough    # the thorough ones, before a release
#   scripts/fuzz.sh 3600 model      # one target for an hour
#   FUZZ_ARGS="-fork=2" scripts/fuzz.sh 28800   # a night on two cores
#
# Targets and their sets (fast, thorough) are listed in fuzz/CMakeLists.txt.
# New corpus entries collect in $BUILD_DIR/fuzz-corpus/<target> (the committed
# seeds in fuzz/corpus/ stay as they are; copy good finds there by hand).
# Environment: BUILD_DIR (build-fuzz; CI uses the sanitizer tree build-asan), JOBS, FUZZ_ARGS.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
build=${BUILD_DIR:-build-fuzz}
jobs=${JOBS:-$(nproc)}
export ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

if [ ! -f "$build/CMakeCache.txt" ]; then
  CC=clang-14 CXX=clang++-14 cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTANKBATTLE_SANITIZE=ON -DTANKBATTLE_FUZZ=ON -DTANKBATTLE_TESTS=OFF -DTANKBATTLE_BENCH=OFF
fi
# Every target: the kept reproducers of all of them are replayed.
cmake --build "$build" -j"$jobs" --target fuzzers

# "name set longest-input seeds" lines, written by fuzz/CMakeLists.txt.
declare -A set_of max_len_of seeds_of
all=()
while read -r name set max_len seeds; do
  all+=("$name")
  set_of[$name]=$set
  max_len_of[$name]=$max_len
  seeds_of[$name]=$seeds
done < "$build/fuzz/targets.txt"

targets=()
for arg in "${@:-all}"; do
  case "$arg" in
    all) targets+=("${all[@]}") ;;
    fast | thorough) for t in "${all[@]}"; do [ "${set_of[$t]}" = "$arg" ] && targets+=("$t"); done ;;
    *) [ -n "${set_of[$arg]:-}" ] || { echo "fuzz: no target $arg (targets: ${all[*]})" >&2; exit 2; }
       targets+=("$arg") ;;
  esac
done

# SDL's WAV reader allocates what a header's data size claims (up to 4 GB,
# see tests/data/fuzz/wav-oom-*): allow that much address space for the sound target.
limits() { [ "$1" = wav ] && echo -malloc_limit_mb=4500 || true; }

mkdir -p tests/data/fuzz
status=0
shopt -s nullglob
for t in "${all[@]}"; do
  kept=(tests/data/fuzz/"$t"-*)
  [ ${#kept[@]} -gt 0 ] || continue
  echo "fuzz: $t: replaying ${#kept[@]} kept reproducer(s)"
  # shellcheck disable=SC2046
  "$build/fuzz/fuzz_$t" -rss_limit_mb=3000 $(limits "$t") "${kept[@]}" > "$build/fuzz-$t-kept.log" 2>&1 || {
    status=1
    echo "fuzz: $t: a kept reproducer fails, the log follows"
    tail -n 60 "$build/fuzz-$t-kept.log"
  }
done
shopt -u nullglob

for t in "${targets[@]}"; do
  corpus="$build/fuzz-corpus/$t"
  mkdir -p "$corpus"
  seeds=()
  [ -d "fuzz/corpus/${seeds_of[$t]}" ] && seeds=("fuzz/corpus/${seeds_of[$t]}")
  echo "fuzz: $t for ${seconds}s"
  start=$(date +%s)
  # shellcheck disable=SC2046,SC2086
  if ! "$build/fuzz/fuzz_$t" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=3000 $(limits "$t") \
      -max_len="${max_len_of[$t]}" -print_final_stats=1 -artifact_prefix="tests/data/fuzz/$t-" ${FUZZ_ARGS:-} \
      "$corpus" "${seeds[@]}" > "$build/fuzz-$t.log" 2>&1; then
    status=1
    echo "fuzz: $t FAILED; the reproducer is under tests/data/fuzz/, the log follows"
    tail -n 60 "$build/fuzz-$t.log"
  fi
  grep -E '^stat::(number_of_executed_units|average_exec_per_sec)' "$build/fuzz-$t.log" | sed "s/^/fuzz: $t: /" || true
  echo "fuzz: $t took $(( $(date +%s) - start ))s"
done
exit $status
