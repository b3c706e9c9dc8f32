#!/usr/bin/env bash
# Builds with AddressSanitizer and UndefinedBehaviorSanitizer into build-asan/
# and runs every test there once.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build-asan -DKORVANE_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
cmake --build build-asan -j2
cd build-asan
# Qt and fontconfig keep caches until exit; leaks are not what this run looks for.
ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  ctest --output-on-failure -j2
