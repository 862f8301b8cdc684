#!/usr/bin/env bash
# Installs the Debian package on this machine as a player would and tries it
# (scripts/package.sh has run lintian on it): dpkg -i; the installed program,
# started from another directory, plays a regression replay headless to the same
# state dump as the build in BUILD_DIR; the desktop entry's command opens the
# game's window (under Xvfb, where xvfb-run is installed); the manual page renders
# without a warning; the desktop entry and metainfo pass their validators; then
# dpkg --purge, and nothing of it may be left.
#
#   scripts/check-package.sh out/tankbattle_VERSION_amd64.deb
#
# Needs root (or sudo). Refuses to run where tankbattle is installed already, so
# that it never removes a player's own installation.
# Environment: BUILD_DIR (build-package): the build the package was made from.
set -euo pipefail
cd "$(dirname "$0")/.."
package=$(realpath "${1:?usage: scripts/check-package.sh PACKAGE.deb}")
build=$(realpath "${BUILD_DIR:-build-package}")
replay=$PWD/tests/regress/coop.replay
frames=3000
id=io.github.tankbattle.tankbattle
sudo=""
[ "$(id -u)" -ne 0 ] && sudo=sudo

if dpkg -s tankbattle > /dev/null 2>&1; then
  echo "check-package: tankbattle is installed already; remove it first (dpkg --purge tankbattle)" >&2
  exit 1
fi
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"; dpkg -s tankbattle > /dev/null 2>&1 && $sudo dpkg --purge tankbattle > /dev/null' EXIT
step() { echo "check-package: $*"; }

$sudo dpkg -i "$package"
dpkg -L tankbattle > "$scratch/files"

# From another directory, with nothing pointing at the data: the installed game
# finds its own, and plays the replay to the dumps the build gives.
cd "$scratch"
[ "$(env -i PATH=/usr/bin:/bin:/usr/games tankbattle --version)" = "tankbattle $(cat "$OLDPWD/VERSION")" ]
env -i PATH=/usr/bin:/bin:/usr/games HOME="$scratch" tankbattle --headless --replay "$replay" --frames $frames \
  --dump-every 500 --dump-state installed.jsonl
"$build/tankbattle" --headless --data "$build/data" --no-pixels --replay "$replay" --frames $frames \
  --dump-every 500 --dump-state built.jsonl
cmp installed.jsonl built.jsonl
step "the installed game plays $(basename "$replay") to the build's $(($(wc -l < built.jsonl) - 1)) dumps"
if command -v xvfb-run > /dev/null; then
  command=$(sed -n 's/^Exec=//p' "/usr/share/applications/$id.desktop")
  env -i PATH=/usr/bin:/bin HOME="$scratch" SDL_AUDIODRIVER=dummy xvfb-run -a $command --frames 120
  step "the desktop entry's command ($command) plays 120 passes in a window"
fi
cd "$OLDPWD"

warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z \
  /usr/share/man/man6/tankbattle.6.gz 2>&1 > /dev/null)
[ -z "$warnings" ] || { echo "$warnings" >&2; exit 1; }
man -l /usr/share/man/man6/tankbattle.6.gz | grep -q -- '--headless'
step "the manual page renders without a warning"
desktop-file-validate "/usr/share/applications/$id.desktop"
appstreamcli validate --no-net "/usr/share/metainfo/$id.metainfo.xml"
step "the desktop entry and the metainfo are valid"

$sudo dpkg --purge tankbattle
left=$(while read -r path; do
  if [ -e "$path" ] && { [ ! -d "$path" ] || [ -z "$(dpkg -S "$path" 2> /dev/null)" ]; }; then echo "$path"; fi
done < <(grep -vx '/.' "$scratch/files"))
[ -z "$left" ] || { echo "check-package: left behind after dpkg --purge:" >&2; echo "$left" >&2; exit 1; }
step "removed, and nothing of it is left"
