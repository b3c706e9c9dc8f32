#!/usr/bin/env bash
# How soon the item after one that waits for its window starts once that
# window is on screen: a batch whose first item maps a window and waits for
# it, and whose second notes when it started, run ROUNDS times (default 21)
# under an X server with openbox. Both items note the time on the monotonic
# clock. Prints a table; writes bench/results/wait_window.csv.
# Goal: a median under 50 ms, with no polling interval visible in it.
set -euo pipefail
cd "$(dirname "$0")/.."
helper=build/bench/wait_window_helper
if [ ! -x "$helper" ] || [ ! -x build/program/korvane ]; then
  echo "wait_window.sh: build the benchmarks first (bench/run.sh, or scripts/build.sh -DKORVANE_BUILD_BENCH=ON)" >&2
  exit 1
fi
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x800x24" "$0" "$@"
fi
rounds=${ROUNDS:-21}
work=$(mktemp -d)
openbox >/dev/null 2>&1 & wm=$!
trap 'kill $wm 2>/dev/null; rm -rf "$work"' EXIT
sleep 1
prog=$work/prog; mkdir -p "$prog/Shortcuts/1/0" "$prog/Shortcuts/1/1"
cp build/program/korvane build/program/*.so "$prog/"
marker=$work/marker.txt
helper=$(readlink -f "$helper")
printf '[Shell Link]\nTarget=%s\nArguments=window 200 %s\n' "$helper" "$marker" > "$prog/Shortcuts/1/0/window.lnk"
printf '[Shell Link]\nTarget=%s\nArguments=stamp next %s\n' "$helper" "$marker" > "$prog/Shortcuts/1/1/next.lnk"
printf '[Waits]\r\nID=1\r\nItem0=File;0\\;Active\r\nItem1=File;1\\;Active\r\nWait0=Window;30\r\n' > "$prog/batches.lst"

delays=()
for _ in $(seq "$rounds"); do
  : > "$marker"
  "$prog/korvane" Waits 2>/dev/null
  for _ in $(seq 100); do grep -q '^next ' "$marker" && break; sleep 0.05; done
  mapped=$(awk '$1 == "mapped" { print $3 }' "$marker")
  next=$(awk '$1 == "next" { print $3 }' "$marker")
  awk '{ print $2 }' "$marker" | xargs -r kill 2>/dev/null || true
  [ -n "$mapped" ] && [ -n "$next" ] && delays+=($(( (next - mapped) / 1000 )))
done
mkdir -p bench/results
csv=bench/results/wait_window.csv
echo "measure,median_us,min_us,max_us,runs" > "$csv"
printf '%s\n' "${delays[@]}" | sort -n | awk -v runs="${#delays[@]}" '
  { v[NR]=$1 } END { printf "window mapped to next item started,%d,%d,%d,%d\n", v[int((NR+1)/2)], v[1], v[NR], runs }' >> "$csv"
echo "Wait for a window ($rounds rounds, openbox on Xvfb):"
awk -F, 'NR > 1 { printf "  %-36s median %.1f ms  (min %.1f, max %.1f; %d runs; goal < 50 ms)\n", $1, $2/1000, $3/1000, $4/1000, $5 }' "$csv"
