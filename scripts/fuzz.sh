#!/usr/bin/env bash
# Builds the fuzz targets with clang and libFuzzer and runs each for a while
# (FUZZ_SECONDS, default 60) on a copy of its seed corpus. Crashes land in
# build-fuzz/crashes/<target>/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
command -v clang++ >/dev/null || { sudo=""; [ "$(id -u)" -ne 0 ] && sudo=sudo; $sudo apt-get install -y clang libclang-rt-14-dev; }
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DKORVANE_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
targets="fuzz_ini_file fuzz_item_entry fuzz_clock_time fuzz_link_file fuzz_ico_file"
cmake --build build-fuzz -j2 --target $targets
status=0
for t in $targets; do
  corpus=build-fuzz/corpus/${t#fuzz_}
  mkdir -p "$corpus" "build-fuzz/crashes/$t"
  cp -n fuzz/corpus/${t#fuzz_}/* "$corpus"/ 2>/dev/null || true
  echo "== $t"
  QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 \
    build-fuzz/fuzz/$t -max_total_time="${FUZZ_SECONDS:-60}" -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix="build-fuzz/crashes/$t/" "$corpus" 2>&1 | tail -n 3 || status=1
done
exit $status
