#!/usr/bin/env bash
# Installs what is missing, builds, and runs Korvane: for now a direct launch of
# a small demo batch that it sets up beside the program.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
program=build/program
demo=$program/demo
mkdir -p "$demo"
cat > "$demo/hello.sh" <<'SH'
#!/bin/sh
echo "  started: $(basename "$1") in $(pwd) at $(date +%T.%N | cut -c1-12)"
SH
chmod +x "$demo/hello.sh"
if [ ! -e "$program/batches.lst" ]; then
  for n in 1 2; do
    mkdir -p "$program/Shortcuts/100/$n"
    printf '[Shell Link]\nTarget=%s\nArguments=step-%s\nWorkingDirectory=%s\n' \
      "$PWD/$demo/hello.sh" "$n" "$PWD/$demo" > "$program/Shortcuts/100/$n/hello.sh.lnk"
  done
  printf '[Demo batch]\r\nID=100\r\nItem0=File;1\\;Active\r\nItem1=Interval;0:00:02;Active\r\nItem2=File;2\\;Active\r\n' \
    > "$program/batches.lst"
fi
echo "Launching \"Demo batch\" (two programs, a 2-second pause between them):"
"$program/korvane" "Demo batch"
sleep 0.5
echo "Done. Edit $program/batches.lst and run $program/korvane \"<batch name>\" to try your own."
