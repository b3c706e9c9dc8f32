#!/usr/bin/env bash
# Installs what is missing, builds, and opens the Korvane batch editor. On a
# first run it sets up a small demo batch beside the program to look at.
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
echo "Opening the editor; \"$program/korvane\" \"Demo batch\" launches the demo batch without a window."
exec "$program/korvane"
