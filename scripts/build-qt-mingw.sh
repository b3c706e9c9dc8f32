#!/usr/bin/env bash
# Cross-builds Qt 6.4 for Windows (x86_64-w64-mingw32, POSIX threads) from Debian's own qt6-base
# source package: Core, Gui, Widgets, Test and the `windows` platform plugin, shared libraries.
# No Svg: the qt6-svg source files are not served by the package archive here. Debian 12 ships
# no Qt for MinGW; this makes one. About 15 minutes on two cores (Qt's sources come with
# apt-get source, so the machine's Debian archive must serve source packages: deb-src is
# added when missing).
# Usage: build-qt-mingw.sh [PREFIX]   (default PREFIX: ~/.cache/korvane/qt6-mingw)
# Prints PREFIX on success. Safe to run again: an existing PREFIX with Qt6Widgets.dll is kept.
set -euo pipefail
prefix=${1:-$HOME/.cache/korvane/qt6-mingw}
[ -f "$prefix/bin/Qt6Widgets.dll" ] && { echo "$prefix"; exit 0; }
if [ -n "${QT_MINGW_WORK:-}" ]; then
  work=$QT_MINGW_WORK
else
  # Sources and the build take a few GB; only the installed prefix is kept.
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
fi
export DEBIAN_FRONTEND=noninteractive
sudo=""; [ "$(id -u)" -ne 0 ] && sudo=sudo
if ! apt-cache showsrc qt6-base >/dev/null 2>&1 || [ -z "$(apt-cache showsrc qt6-base 2>/dev/null)" ]; then
  # Source packages come from the same Debian archive as the binary ones
  # (deb822 sources, or the one-line sources.list of older set-ups).
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources |
      $sudo tee /etc/apt/sources.list.d/debian-src.sources >/dev/null
  else
    sed -n 's/^deb /deb-src /p' /etc/apt/sources.list |
      $sudo tee /etc/apt/sources.list.d/debian-src.list >/dev/null
  fi
  $sudo apt-get update
fi
$sudo apt-get install -y --no-install-recommends dpkg-dev cmake ninja-build g++-mingw-w64-x86-64-posix \
  mingw-w64-x86-64-dev qt6-base-dev qt6-base-dev-tools
cd "$work"
apt-get source qt6-base >/dev/null
cat > mingw.cmake <<'TC'
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER   x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER  x86_64-w64-mingw32-windres)
set(CMAKE_AR     /usr/bin/x86_64-w64-mingw32-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB /usr/bin/x86_64-w64-mingw32-gcc-ranlib-posix CACHE FILEPATH "")
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
TC
host="-DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake"
# The Debian tarball leaves out the Wintab headers, so tablet events are off. OpenGL stays on
# (loaded at run time): Qt 6.4's windows plugin does not compile with OpenGL off. Its DirectWrite
# font database is built into Gui only with Direct2D, so with Direct2D off DirectWrite 3 must be
# off too, or the plugin does not link. The rest is what
# a desktop program needs (no network, SQL, D-Bus, XML, print support or ICU).
cmake -S qt6-base-*/ -B build-base -G Ninja -DCMAKE_TOOLCHAIN_FILE="$work/mingw.cmake" $host \
  -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON \
  -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DFEATURE_dbus=OFF -DFEATURE_network=OFF \
  -DFEATURE_sql=OFF -DFEATURE_concurrent=OFF -DFEATURE_printsupport=OFF -DFEATURE_xml=OFF \
  -DFEATURE_icu=OFF -DFEATURE_fontconfig=OFF -DFEATURE_freetype=OFF -DFEATURE_vulkan=OFF \
  -DFEATURE_zstd=OFF -DFEATURE_opengl=ON -DFEATURE_opengl_dynamic=ON -DFEATURE_tabletevent=OFF \
  -DFEATURE_direct2d=OFF -DFEATURE_directwrite3=OFF \
  -DFEATURE_testlib=ON >"$work/configure-base.log" 2>&1 ||
  { tail -n 80 "$work/configure-base.log" >&2; echo "Qt configure failed: $work/configure-base.log" >&2; exit 1; }
cmake --build build-base -j2 >"$work/build-base.log" 2>&1 ||
  { tail -n 80 "$work/build-base.log" >&2; echo "Qt build failed: $work/build-base.log" >&2; exit 1; }
cmake --install build-base >/dev/null
cp mingw.cmake "$prefix/mingw-toolchain.cmake"
echo "$prefix"
