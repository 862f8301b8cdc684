#!/usr/bin/env bash
# Installs from Debian's packages what building and playing need, with --tests
# also what the tests and benchmarks need, and with --package what making and
# checking the Debian package needs (scripts/package.sh).
set -euo pipefail
packages=(cmake g++ make pkg-config libsdl2-dev libpng-dev libenet-dev libsdl2-gfx-dev)
for set in "$@"; do
  case "$set" in
    --tests) packages+=(libgtest-dev libgmock-dev libbenchmark-dev xvfb xauth xdotool) ;;
    --package) packages+=(dpkg-dev lintian appstream desktop-file-utils man-db librsvg2-bin) ;;
  esac
done
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
$sudo apt-get update
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y "${missing[@]}"
