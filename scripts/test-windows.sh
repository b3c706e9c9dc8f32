#!/usr/bin/env bash
# Cross-builds Korvane for 64-bit Windows with MinGW-w64 twice and runs the
# tests of both under Wine in a throw-away prefix:
#  - build-windows/: the core and the direct-launch executable, no Qt (the
#    end-to-end direct launch with real .lnk items among its tests);
#  - build-windows-gui/: the whole program with its windows, against Qt for
#    MinGW (scripts/build-qt-mingw.sh makes it once, about 15 minutes, into
#    ~/.cache/korvane/qt6-mingw, or KORVANE_QT_MINGW), deployed with its DLLs
#    into build-windows-gui/program/; its window tests and the end-to-end
#    session run on a private X server.
# KORVANE_SCREENSHOTS=<folder> keeps pictures of the windows under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh windows
qt=$(scripts/build-qt-mingw.sh "${KORVANE_QT_MINGW:-$HOME/.cache/korvane/qt6-mingw}" | tail -1)
toolchain=-DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
cmake -S . -B build-windows $toolchain -DKORVANE_GUI=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build-windows -j2
cmake -S . -B build-windows-gui $toolchain -DKORVANE_GUI=ON -DKORVANE_QT_MINGW="$qt" \
  -DQT_HOST_PATH=/usr -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build-windows-gui -j2

# Nothing of a run may land in the developer's home (Wine's menu builder
# once put launchers and icons there): checked at the end.
home_stamp=$(mktemp)
sleep 1
WINEPREFIX="$(mktemp -d "${TMPDIR:-/tmp}/korvane-wine.XXXXXX")"
export WINEPREFIX
trap 'wineserver -k >/dev/null 2>&1 || true; rm -rf "$WINEPREFIX"' EXIT
# No Mono, no Gecko, and no menu builder: it would turn the prefix's desktop
# and its programs into launchers and icons in the host's home.
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
# Without a display Wine also asks for no Mono or Gecko.
echo "Setting up a Wine prefix in $WINEPREFIX"
(unset DISPLAY WAYLAND_DISPLAY; wine wineboot --init >/dev/null 2>&1 || true; wineserver -w)
# Wine links the user's Desktop, Documents, ... to the host's folders: the
# prefix gets folders of its own, so shortcuts made by the tests stay in it.
for folder in "$WINEPREFIX"/drive_c/users/*/*; do
  if [ -L "$folder" ]; then rm -f "$folder" && mkdir -p "$folder"; fi
done
# Debian's Wine does not load its own fonts (fonts-wine) by itself: without
# Tahoma, which Windows has, "MS Shell Dlg" falls to a serif face. In the
# prefix's Fonts folder, as on Windows, Qt finds them.
cp /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true

echo "== The core under Wine, no display"
(cd build-windows && unset DISPLAY WAYLAND_DISPLAY && ctest --output-on-failure -j2)
# A Wine session started without a display cannot open windows: it must end
# before the windows' tests start one on the X server.
wineserver -k >/dev/null 2>&1 || true
wineserver -w

echo "== The program with its windows under Wine, on a private X server"
# The core's tests ran above already (the same sources; on a display some
# of them open Wine's own programs and take minutes). One at a time: two
# programs opening the first windows of a fresh Wine session at once can
# leave one of them without a desktop.
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c 'cd build-windows-gui &&
  ctest --output-on-failure -j1 -E "^(store_|app_|fuzz_|shell_windows_test|shell_folder_watch_test)";
  rc=$?
  # With a display there is a notification area: a notice must show there.
  wine tests/shell_windows_test.exe --gtest_filter="ShellNotificationTest.*" || rc=1
  wineserver -k; exit $rc'

echo "== The download: the zip, unpacked elsewhere, runs the same session"
zip_file=$(scripts/package-windows.sh | tail -1)
unpacked=$(mktemp -d)
trap 'wineserver -k >/dev/null 2>&1 || true; rm -rf "$WINEPREFIX" "$unpacked"' EXIT
unzip -q "$zip_file" -d "$unpacked"
program=$(echo "$unpacked"/korvane-*-windows-x64)
for file in korvane.exe Qt6Core.dll platforms/qwindows.dll help/index.html Icons/korvane.ico; do
  [ -f "$program/$file" ] || { echo "the zip lacks $file"; exit 1; }
done
echo "$(basename "$zip_file"): $(du -k "$zip_file" | cut -f1) KB"
# The test's own helpers find the MinGW runtime there, and nothing of Qt.
mkdir "$unpacked/runtime"
cp build-windows-gui/program/lib{gcc_s_seh-1,stdc++-6,winpthread-1}.dll "$unpacked/runtime/"
WINEPATH="Z:$unpacked/runtime" xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  tests/e2e/windows_session.sh "$1" build-windows-gui/tests/e2e_marker_program.exe \
    build-windows-gui/tests/e2e_windows_helper.exe; rc=$?; wineserver -k; exit $rc' bash "$program"

written=$(find "$HOME" -newer "$home_stamp" -type f -not -path "$HOME/.cache/*" \
  -not -name '.bash_history' -not -name '.lesshst' 2>/dev/null | head -20)
rm -f "$home_stamp"
if [ -n "$written" ]; then
  echo "the Windows tests wrote into $HOME:"; echo "$written"; exit 1
fi
echo "nothing was written into $HOME"
