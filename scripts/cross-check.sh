#!/usr/bin/env bash
# The pixel pipeline on other targets: builds tools/pixel_digest (random
# triangles in every state through the reference and the fast loops, threads
# 1, 2, 3 and 8, scales 1 and 2) for x86-64 without AVX2, for 64-bit ARM (run
# under qemu-user) and, where emscripten is installed, for WebAssembly (run
# under node), and compares each one's digests with tests/data/pixel_digest.txt,
# which the native build's test checks too.
#
#   scripts/cross-check.sh          # needs g++-aarch64-linux-gnu and qemu-user
#
# Environment: BUILD_DIR (build-cross).
set -euo pipefail
cd "$(dirname "$0")/.."
out=${BUILD_DIR:-build-cross}
mkdir -p "$out"
flags=(-std=c++20 -O2 -Wall -Wextra -Werror -Wno-psabi -ffp-contract=off -fno-fast-math -Isrc)
sources=(tools/pixel_digest.cpp src/platform/glide/*.cpp)
expected=tests/data/pixel_digest.txt
status=0

check() {
  local name=$1
  shift
  if "$@" | diff - "$expected"; then
    echo "cross-check: $name gives the expected digests"
  else
    echo "cross-check: $name gives other digests" >&2
    status=1
  fi
}

# x86-64 without AVX2: the AVX2 file is built without it and offers nothing.
if [ "$(uname -m)" = x86_64 ]; then
  g++ "${flags[@]}" "${sources[@]}" -pthread -o "$out/pixel_digest_sse2"
  check "x86-64 without AVX2" "$out/pixel_digest_sse2"
fi

aarch64-linux-gnu-g++ "${flags[@]}" "${sources[@]}" -pthread -o "$out/pixel_digest_aarch64"
# The ARM C library: the cross compiler's, or Debian's arm64 packages' where
# they are installed (scripts/package.sh --arch arm64 installs them). With
# both, the cross compiler's loader would meet the packages' libraries and hang.
sysroot=/usr/aarch64-linux-gnu
[ -e /lib/ld-linux-aarch64.so.1 ] && sysroot=/
check "aarch64 (qemu-user)" qemu-aarch64 -L "$sysroot" "$out/pixel_digest_aarch64"

if command -v em++ > /dev/null; then
  # Compiled optimised and linked without emscripten's JavaScript optimiser.
  mkdir -p "$out/wasm"
  for source in "${sources[@]}"; do
    em++ "${flags[@]}" -msimd128 -c "$source" -o "$out/wasm/$(basename "$source" .cpp).o"
  done
  em++ -O0 "$out"/wasm/*.o -sSINGLE_FILE=1 -sENVIRONMENT=node -sALLOW_MEMORY_GROWTH=1 -o "$out/pixel_digest.js"
  check "WebAssembly (node)" node "$out/pixel_digest.js"
fi
exit "$status"
