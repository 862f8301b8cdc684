#!/usr/bin/env bash
# Release files, into out/:
#
#   scripts/package.sh               tankbattle_VERSION_amd64.deb (this machine's architecture)
#   scripts/package.sh --arch arm64  tankbattle_VERSION_arm64.deb, cross-compiled with
#                                    g++-aarch64-linux-gnu against Debian's arm64 libraries
#                                    (installed beside the native ones: multiarch)
#   scripts/package.sh --web         tankbattle-web-VERSION.tar.gz: build-web/ (scripts/web.sh)
#                                    with a note on serving it and the game's screenshot
#   scripts/package.sh --cmake-args  the CMake options of the package build, one a line
#                                    (CI configures its release build with them, to reuse it)
#
# The package follows Debian's layout for games: the program in /usr/games, the
# data in /usr/share/games/tankbattle, the manual page, desktop entry, icons and
# AppStream metainfo under /usr/share. It is built with Debian's flags
# (dpkg-buildflags, every hardening feature), its library dependencies are found
# by dpkg-shlibdeps, and lintian must find no error and no warning that
# packaging/lintian-overrides does not explain. scripts/check-package.sh installs
# and tries it.
#
# Environment: BUILD_DIR (build-package, build-package-arm64 for arm64), OUT (out), JOBS.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
version=$(cat VERSION)
out=${OUT:-out}
jobs=${JOBS:-$(nproc)}
native=$(dpkg --print-architecture)
arch=$native
mode=deb
while [ $# -gt 0 ]; do
  case "$1" in
    --arch) arch=$2; shift ;;
    --web) mode=web ;;
    --cmake-args) mode=cmake-args ;;
    *) echo "usage: scripts/package.sh [--arch ARCH | --web | --cmake-args]" >&2; exit 2 ;;
  esac
  shift
done
cross=0
if [ "$arch" != "$native" ]; then
  [ "$arch" = arm64 ] || { echo "package: cross-building only for arm64, not $arch" >&2; exit 2; }
  cross=1
fi

# Debian's compiler and linker flags for the architecture, every hardening
# feature on; the optimisation level is the Release build's own.
buildflags() {
  DEB_BUILD_MAINT_OPTIONS=hardening=+all DEB_CXXFLAGS_MAINT_STRIP="-g -O2" \
    CC=$([ $cross = 1 ] && echo aarch64-linux-gnu-gcc || echo gcc) \
    dpkg-architecture -a"$arch" -c dpkg-buildflags --get "$1" 2> /dev/null
}

cmake_args() {
  echo "-DCMAKE_BUILD_TYPE=Release"
  echo "-DCMAKE_INSTALL_PREFIX=/usr"
  echo "-DCMAKE_INSTALL_BINDIR=games"
  echo "-DTANKBATTLE_INSTALL_DATADIR=share/games/tankbattle"
  echo "-DTANKBATTLE_DESKTOP_EXEC=/usr/games/tankbattle"
  echo "-DCMAKE_CXX_FLAGS=$(buildflags CPPFLAGS) $(buildflags CXXFLAGS)"
  echo "-DCMAKE_EXE_LINKER_FLAGS=$(buildflags LDFLAGS)"
  [ $cross = 0 ] || echo "-DCMAKE_TOOLCHAIN_FILE=$root/cmake/aarch64-linux-gnu.cmake"
}

cache_value() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }

deb() {
  if [ $cross = 1 ]; then
    build=${BUILD_DIR:-build-package-$arch}
    multiarch
  else
    build=${BUILD_DIR:-build-package}
  fi
  mapfile -t args < <(cmake_args)
  # A build directory of its own builds the game alone; one that exists keeps its
  # tests and benchmarks (CI's release build, configured with these options).
  [ -f "$build/CMakeCache.txt" ] || args+=(-DTANKBATTLE_TESTS=OFF -DTANKBATTLE_BENCH=OFF)
  cmake -S . -B "$build" "${args[@]}" > /dev/null
  cmake --build "$build" -j"$jobs" --target tankbattle game_data release_files

  local work stage
  work=$(realpath -m "$build/deb")
  stage=$work/root
  rm -rf "$work"
  mkdir -p "$stage/DEBIAN"
  DESTDIR=$stage cmake --install "$build" > /dev/null
  [ -f "$stage/usr/share/icons/hicolor/48x48/apps/io.github.tankbattle.tankbattle.png" ] ||
    { echo "package: no PNG icons: install librsvg2-bin (scripts/install-deps.sh --package)" >&2; exit 1; }
  local strip=strip
  [ $cross = 0 ] || strip=aarch64-linux-gnu-strip
  $strip --remove-section=.comment --remove-section=.note --strip-unneeded "$stage/usr/games/tankbattle"
  gzip -9n "$stage/usr/share/man/man6/tankbattle.6"
  local doc=$stage/usr/share/doc/tankbattle
  mkdir -p "$doc"
  cp packaging/copyright "$doc/copyright"
  gzip -9n < "$build/packaging/changelog" > "$doc/changelog.gz"
  if [ -s packaging/lintian-overrides ]; then
    mkdir -p "$stage/usr/share/lintian/overrides"
    cp packaging/lintian-overrides "$stage/usr/share/lintian/overrides/tankbattle"
  fi
  find "$stage" -type d -exec chmod 0755 {} +
  find "$stage" -type f -exec chmod 0644 {} +
  chmod 0755 "$stage/usr/games/tankbattle"
  # Every file dated by the last commit, so that the same commit gives the same package.
  export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
  find "$stage" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +

  # The libraries' packages, as dpkg-shlibdeps finds them for the architecture.
  mkdir -p "$work/debian"
  printf 'Source: tankbattle\n\nPackage: tankbattle\nArchitecture: any\n' > "$work/debian/control"
  local depends
  depends=$(cd "$work" && dpkg-architecture -a"$arch" -c dpkg-shlibdeps -O -eroot/usr/games/tankbattle 2> /dev/null |
    sed -n 's/^shlibs:Depends=//p')
  [ -n "$depends" ] || { echo "package: dpkg-shlibdeps found no dependencies" >&2; exit 1; }

  cat > "$stage/DEBIAN/control" <<CONTROL
Package: tankbattle
Version: $version
Architecture: $arch
Maintainer: $(cache_value TANKBATTLE_MAINTAINER)
Installed-Size: $(du -sk --exclude=DEBIAN "$stage" | cut -f1)
Depends: $depends
Section: games
Priority: optional
Homepage: $(cache_value TANKBATTLE_HOMEPAGE)
Description: real-time 3D tank battle for two players on one keyboard
 Twelve tanks in two teams fight on a square field under a slowly turning
 camera. Two players share one keyboard (or play with gamepads), side by
 side or against each other, and the computer drives every other tank.
 .
 The game runs full screen or in a window at 60 updates a second on any
 monitor, records games and plays them back, and runs without a window to
 check a recorded game: the same keys always give the same battle.
CONTROL
  (cd "$stage" && find . -path ./DEBIAN -prune -o -type f -printf '%P\0' | sort -z | xargs -0 md5sum) \
    > "$stage/DEBIAN/md5sums"
  chmod 0644 "$stage/DEBIAN/control" "$stage/DEBIAN/md5sums"

  mkdir -p "$out"
  local package=$out/tankbattle_${version}_$arch.deb
  dpkg-deb --root-owner-group -Zxz --build "$stage" "$package" > /dev/null
  echo "package: $package ($(du -k "$package" | cut -f1) KB)"
  lintian --fail-on error,warning --info "$package"
  echo "package: lintian finds nothing beyond the overrides"
}

# The arm64 libraries the game links with, beside the native ones.
multiarch() {
  local need=()
  for p in g++-aarch64-linux-gnu qemu-user libsdl2-dev:arm64 libpng-dev:arm64 libenet-dev:arm64 libsdl2-gfx-dev:arm64; do
    dpkg -s "$p" > /dev/null 2>&1 || need+=("$p")
  done
  [ ${#need[@]} -eq 0 ] && return
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo=sudo
  dpkg --print-foreign-architectures | grep -qx arm64 || $sudo dpkg --add-architecture arm64
  $sudo apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y "${need[@]}"
}

web() {
  scripts/web.sh
  # The screenshot a software centre shows (the metainfo finds it on the home
  # page): the twelve-tank battle replay at twice the game's resolution.
  cmake --build build -j"$jobs" --target tankbattle > /dev/null
  local work=build-web/release name=tankbattle-web-$version
  rm -rf "$work"
  mkdir -p "$work/$name" "$out"
  find build-web -maxdepth 1 -type f -exec cp {} "$work/$name/" \;
  cp packaging/web-serving.md "$work/$name/SERVING.md"
  build/tankbattle --headless --data build/data --replay tests/regress/battle12.replay --frames 2400 --scale 2 \
    --screenshot "$work/$name/screenshot.png"
  tar --sort=name --owner=0 --group=0 --numeric-owner --mtime="@$(git log -1 --format=%ct)" \
    -C "$work" -cf - "$name" | gzip -9n > "$out/$name.tar.gz"
  echo "package: $out/$name.tar.gz ($(du -k "$out/$name.tar.gz" | cut -f1) KB):"
  tar -tzf "$out/$name.tar.gz"
}

case $mode in
  cmake-args) cmake_args ;;
  deb) deb ;;
  web) web ;;
esac
