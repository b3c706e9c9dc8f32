#!/usr/bin/env bash
# The Windows program with its windows, under Wine on an X display, driven
# as a person would with xdotool: the startup menu's countdown launches the
# default batch through real .lnk items; the editor adds a batch, which the
# catalogue holds in the ANSI code page, and makes a desktop shortcut that
# launches a batch; the options dialog writes and removes the Run value.
#   windows_session.sh PROGRAM_DIR MARKER_EXE HELPER_EXE
# KORVANE_SCREENSHOTS=<folder> keeps a picture of each window. Exit 77: no
# display, Wine or xdotool here.
set -euo pipefail
program=$1 marker_exe=$2 helper_exe=$3
command -v xdotool >/dev/null && command -v wine >/dev/null && [ -n "${DISPLAY:-}" ] || exit 77
shots=${KORVANE_SCREENSHOTS:-}

dir=$(mktemp -d "${TMPDIR:-/tmp}/korvane-wine-session.XXXXXX")
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$dir"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; shot failure; exit 1; }
step() { echo "-- $*"; }

# A window manager, as on a desktop, brings windows to the front (openbox,
# when there is one and no other runs).
if command -v openbox >/dev/null; then
  openbox >/dev/null 2>&1 </dev/null & pids+=($!)
  sleep 1
fi

prog=$dir/Korvane
cp -r "$program" "$prog"
mkdir -p "$prog/bin"
cp "$marker_exe" "$prog/bin/first.exe"
cp "$marker_exe" "$prog/bin/second.exe"
cp "$helper_exe" "$dir/helper.exe"
export KORVANE_MARKER="Z:$dir/marker.txt"
# (what the helper starts must not hold its output open)
helper() { timeout 60 wine "$dir/helper.exe" "$@" </dev/null 2>/dev/null | tr -d '\r'; }

# Waits up to $1 seconds for a visible window of korvane.exe named $2.
window() {
  local deadline=$((SECONDS + $1)) id
  while [ $SECONDS -lt $deadline ]; do
    id=$(xdotool search --onlyvisible --name "^$2\$" 2>/dev/null | head -1) || true
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.3
  done
  return 1
}
# Waits up to $1 seconds for marker lines; prints the programs' names.
marks() {
  local deadline=$((SECONDS + $1))
  while [ $SECONDS -lt $deadline ]; do
    [ -f "$dir/marker.txt" ] && [ "$(wc -l <"$dir/marker.txt")" -ge "$2" ] && break
    sleep 0.3
  done
  cut -d'|' -f1 "$dir/marker.txt" 2>/dev/null | tr -d '\r' | paste -sd' '
}
shot() { [ -z "$shots" ] || import -window root "$shots/$1.png" || true; }
# Keys go to the window a person brought to the front.
focus() { xdotool windowactivate --sync "$1" 2>/dev/null || xdotool windowfocus --sync "$1"; sleep 0.5; }
keys() { xdotool key --delay 150 "$@"; sleep 0.5; }

# A catalogue as the program writes it on Windows (ANSI, CRLF) with one
# batch of two real links and a pause, the default of a short countdown.
mkdir -p "$prog/Shortcuts/1/0" "$prog/Shortcuts/1/2"
helper link "Z:$prog/bin/first.exe" "Z:$prog/Shortcuts/1/0"
helper link "Z:$prog/bin/second.exe" "Z:$prog/Shortcuts/1/2"
printf '[Morning]\r\nID=1\r\nItem0=File;0\\;Active\r\nItem1=Interval;0:00:01;Active\r\nItem2=File;2\\;Active\r\n' >"$prog/batches.lst"
printf '[Basic]\r\nDefaultBatch=Morning\r\nDefaultStart=1\r\nDefaultStartInterval=0:00:04\r\n' >"$prog/korvane.ini"
[ -f "$prog/Shortcuts/1/0/first.exe.lnk" ] || fail "no link was made for the items"

step "the startup menu counts down and launches the default batch"
# (Wine's output to a file: what the program starts must not hold ctest's pipe)
wine "$prog/korvane.exe" -startup >>"$dir/wine.log" 2>&1 </dev/null & pids+=($!)
menu=$(window 60 "Korvane") || fail "the startup menu did not open"
sleep 1
shot startup-menu
if command -v xprop >/dev/null; then
  xprop -id "$menu" _NET_WM_ICON | grep -q 'Icon (' || fail "the startup menu carries no icon"
fi
[ "$(marks 30 2)" = "first.exe second.exe" ] || fail "the countdown launched: $(marks 0 0)"
wait "${pids[-1]}" || fail "the startup menu ended with an error"

step "the editor adds a batch, stored in the ANSI code page"
rm -f "$dir/marker.txt"
wine "$prog/korvane.exe" >>"$dir/wine.log" 2>&1 </dev/null & pids+=($!)
editor=$(window 60 "Korvane") || fail "the editor did not open"
sleep 2
shot editor
if command -v xprop >/dev/null; then
  xprop -id "$editor" _NET_WM_ICON | grep -q 'Icon (' ||
    fail "the editor's window carries no icon"
fi
focus "$editor"
keys Insert
# (one letter outside ASCII: xdotool lends it a spare key, which Wine reads
# once per session)
xdotool type --delay 120 "Frühstück"
keys Return
grep -q $'^\[Fr\xfchst\xfcck\]\r$' "$prog/batches.lst" ||
  fail "batches.lst does not hold the new batch in code page 1252: $(od -c "$prog/batches.lst" | head -20)"

step "Make shortcut puts a link on the desktop that launches the batch"
desktop=$(helper desktop)
rm -f "$desktop/Morning.lnk"
focus "$editor"
keys Home                      # the first batch, Morning
keys alt+b s                   # "Make &shortcut"
[ -f "$desktop/Morning.lnk" ] || fail "no Morning.lnk on the desktop ($desktop)"
# As a double click in Explorer: the shell opens the link.
timeout 60 wine start /unix "$desktop/Morning.lnk" </dev/null >/dev/null 2>&1 ||
  fail "opening Morning.lnk did not end"
[ "$(marks 30 2)" = "first.exe second.exe" ] || fail "the shortcut launched: $(marks 0 0)"
rm -f "$desktop/Morning.lnk"

step "the options dialog writes and removes the Run value"
# Asked again once: under load Wine may give the first keys to the window
# that had the focus before the editor took it back.
focus "$editor"
keys alt+f Return
options=$(window 15 "Options") || {
  focus "$editor"
  keys Escape alt+f Return
  options=$(window 30 "Options") || fail "the options dialog did not open"
}
shot options-dialog
keys space                     # "Show menu at the Windows startup", first in the dialog
keys Return                    # Save
value=$(helper run-value)
case "$value" in
  \"*\\korvane.exe\"\ -startup) ;;
  *) fail "the Run value is '$value'" ;;
esac
focus "$editor"
keys alt+f Return
window 30 "Options" >/dev/null || fail "the options dialog did not open again"
keys space Return
[ -z "$(helper run-value)" ] || fail "the Run value stayed: $(helper run-value)"

step "the editor closes"
focus "$editor"
keys alt+f Up Return           # Exit, the last in the File menu
wait "${pids[-1]}" || fail "the editor ended with an error"
echo "the Windows session went as a person would expect"
