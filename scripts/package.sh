#!/usr/bin/env bash
# Builds the Debian package of the installed program (state in the user's
# ~/.local/share/korvane) into build/ and prints its path.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/install-deps.sh package
cmake -S . -B build-package -DCMAKE_BUILD_TYPE=Release -DKORVANE_INSTALLED=ON \
  -DKORVANE_BUILD_TESTS=OFF -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
cmake --build build-package -j2 >/dev/null
rm -f build-package/korvane_*.deb
(cd build-package && cpack -G DEB >/dev/null)
mkdir -p build
rm -f build/korvane_*.deb
mv build-package/korvane_*.deb build/
ls "$PWD"/build/korvane_*.deb
