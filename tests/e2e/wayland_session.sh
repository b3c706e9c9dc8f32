#!/usr/bin/env bash
# The program in a Wayland session: weston's headless backend with XWayland.
#   wayland_session.sh PROGRAM_DIR LAYOUT_TEST
# The startup menu runs through XWayland (its saved place and stay-on-top
# hold there) and launches its default batch; forced native, it keeps the
# saved place in the layout file; the windows opened natively and closed
# keep theirs too (LAYOUT_TEST, a QtTest program). Exits 77 (skipped) without
# weston, XWayland or Qt's Wayland plugin.
set -u
program=$1 layout_test=$2
command -v weston >/dev/null && command -v Xwayland >/dev/null || { echo "weston or Xwayland missing: skipped"; exit 77; }
ls /usr/lib/*/qt6/plugins/platforms/libqwayland-generic.so >/dev/null 2>&1 || { echo "qt6-wayland missing: skipped"; exit 77; }
work=$(mktemp -d); runtime=$work/runtime; mkdir -m 700 "$runtime"
cleanup() { [ -n "${wpid:-}" ] && kill "$wpid" 2>/dev/null; wait 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT
socket=korvane-test-$$
XDG_RUNTIME_DIR=$runtime weston --backend=headless-backend.so --use-pixman --width=1280 \
  --height=800 --socket="$socket" --xwayland --idle-time=0 >"$work/weston.log" 2>&1 &
wpid=$!
for _ in $(seq 100); do
  display=$(sed -n 's/.*xserver listening on display \(:[0-9]*\).*/\1/p' "$work/weston.log")
  [ -n "$display" ] && [ -e "$runtime/$socket" ] && break; sleep 0.1
done
[ -n "${display:-}" ] || { echo "weston did not start"; cat "$work/weston.log"; exit 1; }
export XDG_RUNTIME_DIR=$runtime WAYLAND_DISPLAY=$socket DISPLAY=$display
unset QT_QPA_PLATFORM
fail=0
check() { if eval "$2"; then echo "ok: $1"; else echo "FAILED: $1"; fail=1; fi; }

prog=$work/prog; mkdir -p "$prog/Shortcuts/7/1"
cp "$program"/korvane "$program"/*.so "$prog/"
# The item also says which Qt platform a program started from here is told.
printf '#!/bin/sh\necho "$1 QT_QPA_PLATFORM=${QT_QPA_PLATFORM-unset}" >> %s/marker\n' "$work" \
  > "$work/mark.sh"; chmod +x "$work/mark.sh"
printf '[Shell Link]\nTarget=%s\nArguments=launched\n' "$work/mark.sh" > "$prog/Shortcuts/7/1/mark.lnk"
printf '[Work]\r\nID=7\r\nItem0=File;1\\;Active\r\n' > "$prog/batches.lst"
printf '[Basic]\r\nDefaultBatch=Work\r\nDefaultStart=1\r\nDefaultStartInterval=0:00:01\r\n' > "$prog/korvane.ini"
layout='[Form2]\r\nForm2.Left=300\r\nForm2.Top=200\r\nForm2.Position=0\r\n'

# 1. Through XWayland: the saved place is where the menu opens and closes.
printf "$layout" > "$prog/korvane.prm"
timeout 30 "$prog/korvane" -startup; rc=$?
check "startup menu through XWayland ends with 0" "[ $rc = 0 ]"
check "its countdown launched the default batch" "grep -q launched '$work/marker'"
check "the batch's program got the session's environment, not the menu's XWayland choice" \
  "grep -q 'launched QT_QPA_PLATFORM=unset' '$work/marker'"
check "it opened and closed at the saved place" \
  "grep -q 'Form2.Left=300' '$prog/korvane.prm' && grep -q 'Form2.Top=200' '$prog/korvane.prm'"

# 2. Forced native: the compositor places it; the saved place is kept.
printf "$layout" > "$prog/korvane.prm"; rm -f "$work/marker"
QT_QPA_PLATFORM=wayland timeout 30 "$prog/korvane" -startup; rc=$?
check "native startup menu ends with 0" "[ $rc = 0 ]"
check "its countdown launched the default batch" "grep -q launched '$work/marker'"
check "a platform the user chose is passed on" \
  "grep -q 'launched QT_QPA_PLATFORM=wayland' '$work/marker'"
check "the layout keeps Form2.Left/Top" \
  "grep -q 'Form2.Left=300' '$prog/korvane.prm' && grep -q 'Form2.Top=200' '$prog/korvane.prm'"

# 3. The windows opened natively and closed keep their saved places.
QT_QPA_PLATFORM=wayland timeout 60 "$layout_test"; rc=$?
check "windows closed on native Wayland keep Left/Top" "[ $rc = 0 ]"
exit $fail
