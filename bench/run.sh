#!/usr/bin/env bash
# Benchmarks: direct launch against the tools a user would pick instead, the
# catalogue, editor start and pause accuracy. Prints tables and writes
# bench/results/*.csv. REPEAT (default 5) sets the repetitions.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
need=()
command -v dex >/dev/null || need+=(dex)
command -v gio >/dev/null || need+=(libglib2.0-bin)
command -v xdg-open >/dev/null || need+=(xdg-utils)
[ -x /usr/bin/time ] || need+=(time)
command -v xvfb-run >/dev/null || need+=(xvfb xauth)
command -v dbus-run-session >/dev/null || need+=(dbus-daemon)
if [ ${#need[@]} -gt 0 ]; then
  sudo=""; [ "$(id -u)" -ne 0 ] && sudo=sudo
  $sudo apt-get install -y --no-install-recommends "${need[@]}"
fi
scripts/build.sh -DKORVANE_BUILD_BENCH=ON >/dev/null
mkdir -p bench/results
repeat=${REPEAT:-5}
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT

# A program folder with a batch of 100 items whose target exits at once.
prog=$work/prog; mkdir -p "$prog" "$work/apps"
cp build/program/korvane build/program/*.so "$prog/"
printf '#!/bin/sh\nexit 0\n' > "$work/tiny"; chmod +x "$work/tiny"
{
  printf '[Hundred]\r\nID=1\r\n'
  for i in $(seq 0 99); do
    mkdir -p "$prog/Shortcuts/1/$i"
    printf '[Shell Link]\nTarget=%s\n' "$work/tiny" > "$prog/Shortcuts/1/$i/tiny.lnk"
    printf 'Item%d=File;%d\\;Active\r\n' "$i" "$i"
    printf '[Desktop Entry]\nType=Application\nName=tiny %d\nExec=%s\nPath=%s\n' "$i" "$work/tiny" "$prog/Shortcuts/1/$i" > "$work/apps/tiny$i.desktop"
  done
} > "$prog/batches.lst"
{
  echo '#!/bin/sh'
  for i in $(seq 0 99); do echo "(cd '$prog/Shortcuts/1/$i' && '$work/tiny' &)"; done
} > "$work/script.sh"; chmod +x "$work/script.sh"

ms() { date +%s%N; }
measure() { # name command...
  local name=$1; shift
  local times=()
  for _ in $(seq "$repeat"); do
    local t0; t0=$(ms); "$@" >/dev/null 2>&1 || true; local t1; t1=$(ms)
    times+=($(( (t1 - t0) / 1000 )))
  done
  printf '%s\n' "${times[@]}" | sort -n | awk -v n="$name" '
    { v[NR]=$1 } END { med=v[int((NR+1)/2)]; printf "%s,%d,%d,%d\n", n, med, v[1], v[NR] }'
}
gio_loop() { for f in "$work"/apps/*.desktop; do gio launch "$f"; done; }
xdg_loop() { for f in "$work"/apps/*.desktop; do xdg-open "$f"; done; }
dex_all() { dex "$work"/apps/*.desktop; }

csv=bench/results/launch.csv
echo "tool,median_us,min_us,max_us" > "$csv"
measure "korvane direct launch" "$prog/korvane" Hundred >> "$csv"
measure "shell script" "$work/script.sh" >> "$csv"
measure "dex" dex_all >> "$csv"
measure "gio launch loop" gio_loop >> "$csv"
measure "xdg-open loop" xdg_loop >> "$csv"
# What the launch report costs: the same launch with its report written and
# with none (a file stands where the Reports folder would go). Run in turn.
report_cost() {
  local with=() without=()
  for _ in $(seq "$repeat"); do
    rm -rf "$prog/Reports"
    local t0; t0=$(ms); "$prog/korvane" Hundred >/dev/null 2>&1 || true; local t1; t1=$(ms)
    with+=($(( (t1 - t0) / 1000 )))
    rm -rf "$prog/Reports"; : > "$prog/Reports"
    t0=$(ms); "$prog/korvane" Hundred >/dev/null 2>&1 || true; t1=$(ms)
    without+=($(( (t1 - t0) / 1000 )))
  done
  rm -rf "$prog/Reports"
  local mw mo
  mw=$(printf '%s\n' "${with[@]}" | sort -n | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}')
  mo=$(printf '%s\n' "${without[@]}" | sort -n | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}')
  echo "report_with_us,$mw" > bench/results/report_cost.csv
  echo "report_without_us,$mo" >> bench/results/report_cost.csv
  echo "  launch report: ${mw} us with, ${mo} us without (x$(awk -v a="$mw" -v b="$mo" 'BEGIN{printf "%.3f", a/b}'), goal <= 1.05)"
}
base=$(awk -F, 'NR==3 {print $2}' "$csv")
echo; echo "Direct launch of 100 items (median of $repeat; per item; ratio to the shell script)"
awk -F, -v b="$base" 'NR>1 { printf "  %-24s %9.1f ms  (%.1f-%.1f)  %7.2f ms/item  x%.2f\n", $1, $2/1000, $3/1000, $4/1000, $2/100000, $2/b }' "$csv"
repeat_saved=$repeat; repeat=${REPEAT_REPORT:-21}; report_cost; repeat=$repeat_saved

# One item, the common case: process start-up is most of the cost.
one=$work/one; mkdir -p "$one/Shortcuts/2/0" "$one/Shortcuts/2/1"
cp build/program/korvane build/program/*.so "$one/"
printf '[Shell Link]\nTarget=%s\n' "$work/tiny" > "$one/Shortcuts/2/0/tiny.lnk"
cp "$work/apps/tiny0.desktop" "$one/Shortcuts/2/1/tiny.desktop"
printf '[One]\r\nID=2\r\nItem0=File;0\\;Active\r\n[Entry]\r\nID=2\r\nItem0=File;1\\;Active\r\n' > "$one/batches.lst"
printf '#!/bin/sh\n(cd %s && %s &)\n' "$one/Shortcuts/2/0" "$work/tiny" > "$work/one.sh"; chmod +x "$work/one.sh"
rone=${REPEAT_ONE:-51}
ocsv=bench/results/one_item.csv
echo "tool,median_us,min_us,max_us" > "$ocsv"
repeat_saved=$repeat; repeat=$rone
measure "korvane one program" "$one/korvane" One >> "$ocsv"
measure "shell script one program" "$work/one.sh" >> "$ocsv"
measure "gio launch one entry" gio launch "$work/apps/tiny0.desktop" >> "$ocsv"
measure "korvane one desktop entry" "$one/korvane" Entry >> "$ocsv"
repeat=$repeat_saved
peak() { /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -1; }
mk=$(peak "$one/korvane" One); ms_=$(peak "$work/one.sh")
echo "peak_kb_korvane,$mk" >> "$ocsv"; echo "peak_kb_script,$ms_" >> "$ocsv"
echo; echo "Direct launch of one item (median of $rone)"
awk -F, 'NR>1 && $1 !~ /^peak/ { v[$1]=$2; printf "  %-28s %7.2f ms\n", $1, $2/1000 }
  END {
    printf "  one program / shell script       x%.2f (goal <= 1.3)\n", v["korvane one program"]/v["shell script one program"]
    printf "  one program / gio launch         x%.2f (goal <= 0.6)\n", v["korvane one program"]/v["gio launch one entry"]
    printf "  desktop entry / gio launch       x%.2f (goal <= 1.0)\n", v["korvane one desktop entry"]/v["gio launch one entry"]
  }' "$ocsv"
echo "  peak memory: korvane ${mk} kB, shell script ${ms_} kB (x$(awk -v a="$mk" -v b="$ms_" 'BEGIN{printf "%.2f", a/b}'), goal <= 1.3)"

echo; echo "Pause accuracy"
pcsv=bench/results/pause.csv; echo "pause_s,measured_ms,error_ms" > "$pcsv"
for p in 1 ${PAUSE_10S:+10}; do
  printf '[P]\r\nID=2\r\nItem0=Interval;0:00:%02d;Active\r\n' "$p" > "$prog/batches.lst"
  t0=$(ms); "$prog/korvane" P; t1=$(ms)
  m=$(( (t1 - t0) / 1000000 )); echo "$p,$m,$((m - p * 1000))" >> "$pcsv"
  echo "  ${p} s pause: ${m} ms (error $((m - p * 1000)) ms, process start included)"
done

echo; echo "Catalogue (Google Benchmark)"
build/bench/catalogue_bench --benchmark_out=bench/results/catalogue.csv --benchmark_out_format=csv \
  --benchmark_repetitions="$repeat" --benchmark_report_aggregates_only=true

echo; echo "Editor start to first paint, 1,000 batches against an empty catalogue"
ecsv=bench/results/editor.csv; echo "batches,median_ms,platform" > "$ecsv"
QT_QPA_PLATFORM=offscreen build/bench/editor_start_bench "$repeat" | sed 's/$/,offscreen/' >> "$ecsv"
if command -v xvfb-run >/dev/null; then
  xvfb-run -a build/bench/editor_start_bench "$repeat" | sed 's/$/,xvfb/' >> "$ecsv"
fi
awk -F, 'NR>1 { printf "  %-9s %5d batches: %d ms\n", $3, $1, $2 }' "$ecsv"
echo; xvfb-run -a -s "-screen 0 1280x800x24" dbus-run-session bench/first_map.sh 2>/dev/null
echo; bench/wait_window.sh
echo; echo "CSV files: bench/results/"
