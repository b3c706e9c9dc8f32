#!/usr/bin/env bash
# Configures and builds into build/; the program lands in build/program/.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
cmake --build build -j2
