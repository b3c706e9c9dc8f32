#!/usr/bin/env bash
# Installs the Debian 12 packages the build and the tests need, if any are missing.
# With the argument "windows": what the MinGW-w64 cross builds and Wine need;
# with "package": what building and checking the Debian package needs.
set -euo pipefail
if [ "${1:-}" = package ]; then
  packages=(dpkg-dev fakeroot file lintian desktop-file-utils appstream man-db)
elif [ "${1:-}" = windows ]; then
  # With the windows: Debian's Qt for its build tools (moc, rcc), an X server
  # with a window manager for Wine's windows, Wine's own fonts (Tahoma and the
  # other faces Windows programs ask for), xdotool to drive them.
  packages=(cmake make g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev googletest wine wine64
            fonts-wine qt6-base-dev qt6-base-dev-tools xvfb xauth openbox xdotool x11-utils zip unzip)
else
  packages=(build-essential cmake pkg-config qt6-base-dev qt6-svg-dev libglib2.0-dev
            libgtest-dev libgmock-dev libbenchmark-dev librapidcheck-dev libxcb1-dev xvfb xauth openbox
            weston xwayland qt6-wayland dbus-daemon libglib2.0-bin)
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
$sudo apt-get update
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
