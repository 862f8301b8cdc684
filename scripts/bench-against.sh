#!/usr/bin/env bash
# Compares the drawFrame benchmarks of this tree with those of another commit,
# run by turns. On a shared machine, figures taken at different times can
# differ by a factor of two; runs taken by turns see the same machine.
#
#   scripts/bench-against.sh COMMIT [ROUNDS]
#
# Builds this tree's glide_bench (Release, into build-bench) and COMMIT's (in
# a temporary worktree), runs each one's drawFrame benchmarks ROUNDS times
# (7), one after the other, and prints for every benchmark the median and the
# fastest run of each side, in microseconds of wall time. This tree's rows
# also give their median as a fraction of COMMIT's one-thread median at
# scale 1 for the same scene.
#
# Environment: BUILD_DIR (build-bench), JOBS.
set -euo pipefail
cd "$(dirname "$0")/.."
commit=${1:?usage: scripts/bench-against.sh COMMIT [ROUNDS]}
rounds=${2:-7}
jobs=${JOBS:-$(nproc)}
here=${BUILD_DIR:-build-bench}
other=$(mktemp -d)
trap 'git worktree remove --force "$other"' EXIT
git worktree add --detach "$other" "$commit" > /dev/null

build() {
  cmake -S "$1" -B "$2" -DCMAKE_BUILD_TYPE=Release -DTANKBATTLE_TESTS=OFF > /dev/null
  cmake --build "$2" -j"$jobs" --target glide_bench game_data > /dev/null
}
build . "$here"
build "$other" "$other/build"

echo "machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//'), $(nproc) cores"
echo "drawFrame, wall time in us: median and fastest of $rounds runs by turns;"
echo "for this tree, also the median over $commit's one-thread median at scale 1"
for _ in $(seq "$rounds"); do
  for side in "this" "$commit"; do
    dir=$here
    [ "$side" = "this" ] || dir=$other/build
    "$dir/bench/glide_bench" --benchmark_filter=DrawFrame --benchmark_min_time=0.3 --benchmark_format=csv 2> /dev/null |
      awk -F, -v side="$side" 'NR > 1 {gsub(/"/, "", $1); print side, $1, $3}'
  done
done | sort -k1,1 -k2,2 -k3,3g | awk -v other="$commit" '
  function keep() {
    if (!n) return
    k++; side[k] = key1; name[k] = key2; fast[k] = v[1]
    med[k] = (n % 2) ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2
  }
  $1 != key1 || $2 != key2 { keep(); key1 = $1; key2 = $2; n = 0 }
  { v[++n] = $3 }
  END {
    keep()
    # A scene'"'"'s reference: the other side'"'"'s one-thread median at scale 1.
    for (i = 1; i <= k; i++)
      if (side[i] == other && (name[i] !~ /scale:/ || name[i] ~ /scale:1\/threads:1\//)) {
        match(name[i], /scene:[0-9]+/); ref[substr(name[i], RSTART, RLENGTH)] = med[i]
      }
    for (i = 1; i <= k; i++) {
      match(name[i], /scene:[0-9]+/); r = ref[substr(name[i], RSTART, RLENGTH)]
      printf "%-12.12s %-50s %9.0f %9.0f", side[i], name[i], med[i], fast[i]
      if (side[i] != other && r > 0) printf " %6.2f", med[i] / r
      printf "\n"
    }
  }'
