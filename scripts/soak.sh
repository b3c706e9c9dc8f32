#!/usr/bin/env bash
# The long random-input soak of the editor, under AddressSanitizer and
# UndefinedBehaviorSanitizer, on a private X server with a window manager.
#   scripts/soak.sh [ACTIONS] [SEED...]     (default: 10000 actions, seeds 1 2 3)
# A failing seed keeps its folder in build-asan/soak/seed-N: actions.log (the
# actions in order, what failed), program/ (batches.lst and Shortcuts/ as they
# were). Replay one with the same seed and number of actions.
set -euo pipefail
cd "$(dirname "$0")/.."
actions=${1:-10000}
shift || true
seeds=("$@")
[ ${#seeds[@]} -gt 0 ] || seeds=(1 2 3)
scripts/install-deps.sh
cmake -S . -B build-asan -DKORVANE_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build build-asan -j2 --target editor_soak
failed=()
for seed in "${seeds[@]}"; do
  start=$(date +%s)
  if ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
    scripts/with-openbox.sh build-asan/tests/editor_soak --seed "$seed" --actions "$actions" \
      --dir "$PWD/build-asan/soak"; then
    echo "seed $seed: $actions actions passed in $(( $(date +%s) - start )) s"
  else
    failed+=("$seed")
  fi
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "failed seeds: ${failed[*]} (kept in build-asan/soak)"
  exit 1
fi
echo "all seeds passed"
