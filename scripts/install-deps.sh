#!/usr/bin/env bash
# Installs from Debian's packages what building and playing need, and with
# --tests also what the tests and benchmarks need.
set -euo pipefail
packages=(cmake g++ make pkg-config libsdl2-dev libpng-dev)
[ "${1:-}" = --tests ] && packages+=(libgtest-dev libgmock-dev libbenchmark-dev xvfb xauth xdotool)
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
$sudo apt-get update
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y "${missing[@]}"
