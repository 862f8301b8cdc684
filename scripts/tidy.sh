#!/usr/bin/env bash
# Static checks of a change: clang-tidy (.clang-tidy, every warning an error) and
# clang-format (.clang-format, the whole file) on the C++ files changed since BASE,
# and the subjects of the commits since BASE (at most 72 characters; details go in the body).
# Hand-aligned tables sit between "clang-format off" and "clang-format on".
#
#   scripts/tidy.sh              # changes since origin/main's merge base; on main itself, the newest commit
#   scripts/tidy.sh HEAD~5       # changes since that commit (working tree included)
#   scripts/tidy.sh --all        # clang-tidy on every source file
#
# Environment: BUILD_DIR (build-tidy: only configured, for compile_commands.json), JOBS,
# TIDY_FORMAT_STRICT (1; 0 only reports layout).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build-tidy}
jobs=${JOBS:-$(nproc)}

CC=clang-14 CXX=clang++-14 cmake -S . -B "$build" -DCMAKE_EXPORT_COMPILE_COMMANDS=ON -DTANKBATTLE_FUZZ=ON \
  -DTANKBATTLE_SANITIZE=ON > /dev/null
db="$build/compile_commands.json"

if [ "${1:-}" = "--all" ]; then
  mapfile -t units < <(grep -oE '"file": "[^"]+"' "$db" | sed 's/"file": "//; s/"$//' | sort -u)
  formatCheck=0
else
  if [ -n "${1:-}" ]; then
    base=$1
  elif git rev-parse -q --verify origin/main > /dev/null &&
       [ "$(git merge-base HEAD origin/main)" != "$(git rev-parse HEAD)" ]; then
    base=$(git merge-base HEAD origin/main)
  else
    # A fresh clone of main (as in CI): the change is the newest commit.
    base=$(git rev-parse -q --verify HEAD~1 || git hash-object -t tree /dev/null)
  fi
  mapfile -t changed < <(git diff --name-only --diff-filter=ACMR "$base" -- '*.cpp' '*.h')
  echo "tidy: ${#changed[@]} changed C++ file(s) since $base"
  units=()
  for f in "${changed[@]}"; do
    case "$f" in
      *.cpp) grep -q "\"file\": \"$PWD/$f\"" "$db" && units+=("$PWD/$f") ;;
      *.h)   # a header is checked through the sources that include it (HeaderFilterRegex reports it)
             name=$(basename "$f")
             mapfile -t users < <(grep -lE "#include \"([a-z_/]*/)?$name\"" $(git ls-files '*.cpp') 2>/dev/null | head -n 2)
             for u in "${users[@]}"; do grep -q "\"file\": \"$PWD/$u\"" "$db" && units+=("$PWD/$u"); done ;;
    esac
  done
  formatCheck=1
fi

status=0
if [ ${#units[@]} -gt 0 ]; then
  mapfile -t units < <(printf '%s\n' "${units[@]}" | sort -u)
  echo "tidy: clang-tidy on ${#units[@]} file(s)"
  printf '%s\n' "${units[@]}" | xargs -P "$jobs" -n 1 clang-tidy-14 -p "$build" --quiet 2> /dev/null \
    | tee "$build/tidy.log" || true
  if grep -qE ': (warning|error):' "$build/tidy.log"; then
    echo "tidy: clang-tidy found problems (above)"
    status=1
  fi
fi

if [ "$formatCheck" = 1 ] && [ ${#changed[@]} -gt 0 ]; then
  present=()
  for f in "${changed[@]}"; do [ -f "$f" ] && present+=("$f"); done
  if [ ${#present[@]} -gt 0 ] && ! clang-format-14 --dry-run -Werror "${present[@]}"; then
    echo "tidy: the files above do not follow .clang-format (clang-format-14 -i FILE fixes them)"
    [ "${TIDY_FORMAT_STRICT:-1}" = 1 ] && status=1
  fi
fi
if [ "$formatCheck" = 1 ] && git rev-parse -q --verify "$base^{commit}" > /dev/null; then
  long=0
  while IFS= read -r subject; do
    if [ "$(LC_ALL=C.UTF-8 bash -c 'echo ${#1}' _ "$subject")" -gt 72 ]; then
      echo "tidy: commit subject longer than 72 characters: $subject"
      long=1
    fi
  done < <(git log --format=%s "$base..HEAD")
  [ $long = 0 ] || status=1
fi
[ $status -eq 0 ] && echo "tidy: clean"
exit $status
