#!/usr/bin/env bash
# Makes the download for Windows users: korvane-<version>-windows-x64.zip in
# build-windows-gui/, the program folder of the MinGW build with its binaries
# stripped, the HTML help and the icon collection. Unpacked anywhere the user
# can write, it runs as a portable copy. Builds build-windows-gui/ first
# (through scripts/test-windows.sh's configuration, Qt for MinGW included)
# unless it is there; prints the zip's path.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh windows >/dev/null
command -v zip >/dev/null || { echo "package-windows.sh needs zip (apt install zip)" >&2; exit 1; }
if [ ! -f build-windows-gui/CMakeCache.txt ]; then
  qt=$(scripts/build-qt-mingw.sh "${KORVANE_QT_MINGW:-$HOME/.cache/korvane/qt6-mingw}" | tail -1)
  cmake -S . -B build-windows-gui -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
    -DKORVANE_GUI=ON -DKORVANE_QT_MINGW="$qt" -DQT_HOST_PATH=/usr \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build build-windows-gui -j2 --target korvane >/dev/null
version=$(sed -n 's/^project(Korvane VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
name=korvane-$version-windows-x64
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir "$stage/$name"
# The program and what it needs, nothing a test run left in the folder
# (batches.lst, korvane.ini, korvane.prm, Shortcuts/ belong to a user).
(cd build-windows-gui/program &&
  cp -r --parents ./*.exe ./*.dll Icons help platforms styles imageformats "$stage/$name/")
find "$stage/$name" \( -name '*.exe' -o -name '*.dll' \) -exec x86_64-w64-mingw32-strip --strip-unneeded {} +
zip_file=$PWD/build-windows-gui/$name.zip
rm -f "$zip_file"
(cd "$stage" && zip -qr9 "$zip_file" "$name")
echo "$zip_file"
