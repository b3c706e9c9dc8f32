#!/usr/bin/env bash
# Time from exec to the first window on screen: the startup menu and the
# editor against a bare Qt window built here, paired runs in turn on one X
# server with a session bus. Run under an X server (bench/run.sh uses
# xvfb-run). Prints a table; writes bench/results/first_map.csv.
# ROUNDS (default 15) sets the number of paired runs.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ ! -x build/bench/first_map ] || [ ! -x build/bench/bare_window ] ||
  [ ! -x build/bench/widgets_window ]; then
  echo "first_map.sh: build the benchmarks first (bench/run.sh, or scripts/build.sh -DKORVANE_BUILD_BENCH=ON)" >&2
  exit 1
fi
rounds=${ROUNDS:-15}
settle=${SETTLE_MS:-700}
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT

# A portable copy with a catalogue: NAME BATCHES ITEMS
make_copy() {
  local dir=$work/$1 batches=$2 items=$3
  mkdir -p "$dir"
  cp build/program/korvane build/program/*.so "$dir/"
  [ -d build/program/help ] && cp -r build/program/help "$dir/"
  {
    for b in $(seq 1 "$batches"); do
      printf '[Batch %d]\r\nID=%d\r\n' "$b" "$b"
      for i in $(seq 0 $((items - 1))); do
        mkdir -p "$dir/Shortcuts/$b/$i"
        if [ $((i % 2)) -eq 0 ]; then
          printf '[Shell Link]\nTarget=/bin/true\nDescription=Item %d\n' "$i" > "$dir/Shortcuts/$b/$i/item$i.lnk"
        else
          printf '[Desktop Entry]\nType=Application\nName=Item %d\nExec=/bin/true\nIcon=utilities-terminal\n' "$i" \
            > "$dir/Shortcuts/$b/$i/item$i.desktop"
        fi
        printf 'Item%d=File;%d\\;Active\r\n' "$i" "$i"
      done
    done
  } > "$dir/batches.lst"
}
make_copy small 8 5
# The same shown batch as the large copy's (20 rows, half desktop entries):
# what the catalogue's size alone costs.
make_copy eight 8 20
make_copy large 1000 20

csv=bench/results/first_map.csv
mkdir -p bench/results
echo "program,round,ms,rss_kb" > "$csv"
run() { # name command...
  local name=$1 round=$2; shift 2
  local out; out=$(build/bench/first_map "$settle" "$@" 2>/dev/null) || out="-1,-1"
  echo "$name,$round,$out" >> "$csv"
}
for r in $(seq "$rounds"); do
  run "bare Qt window" "$r" build/bench/bare_window
  run "Qt: editor widgets only" "$r" build/bench/widgets_window
  run "startup menu (8 batches)" "$r" "$work/small/korvane" -startup
  run "editor (8 batches)" "$r" "$work/small/korvane"
  run "editor (8 x 20)" "$r" "$work/eight/korvane"
  run "editor (1000 x 20)" "$r" "$work/large/korvane"
done

echo "First window mapped, $rounds paired runs (ms: median, min-max; ratio of medians to the bare window; resident memory)"
awk -F, 'NR > 1 { n[$1]++; t[$1, n[$1]] = $3; m[$1, n[$1]] = $4; if (!($1 in seen)) { seen[$1] = 1; order[++k] = $1 } }
  function median(arr, name, cnt,   i, j, v, tmp) {
    for (i = 1; i <= cnt; i++) v[i] = arr[name, i]
    for (i = 1; i <= cnt; i++) for (j = i + 1; j <= cnt; j++) if (v[j] < v[i]) { tmp = v[i]; v[i] = v[j]; v[j] = tmp }
    lo = v[1]; hi = v[cnt]
    return (cnt % 2) ? v[(cnt + 1) / 2] : (v[cnt / 2] + v[cnt / 2 + 1]) / 2
  }
  END {
    base = median(t, order[1], n[order[1]]); baseMem = median(m, order[1], n[order[1]])
    for (i = 1; i <= k; i++) {
      name = order[i]; med = median(t, name, n[name]); l = lo; h = hi; mem = median(m, name, n[name])
      printf "  %-26s %6.1f ms (%.1f-%.1f)  x%.2f   %6d kB  x%.2f\n", name, med, l, h, med / base, mem, mem / baseMem
    }
    print "  goals: startup menu and editor x1.5 or less in time, the editor x1.3 or less in memory,"
    print "         1000 x 20 no slower than 8 batches (8 x 20 shows the same first batch);"
    print "  Qt: editor widgets only: the kinds of widgets the editor shows, with a few lines of text"
    print "         and nothing of the program; what Qt alone needs for such a window"
  }' "$csv"
