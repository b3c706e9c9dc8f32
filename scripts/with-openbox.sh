#!/usr/bin/env bash
# Runs a command on a private X server with the openbox window manager, for
# tests of window placement and focus. Exits 77 (skipped) when Xvfb or
# openbox is not installed.
set -u
command -v xvfb-run >/dev/null && command -v openbox >/dev/null || {
  echo "xvfb-run or openbox missing: skipped"; exit 77; }
exec xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  openbox >/dev/null 2>&1 &
  wm=$!
  sleep 1
  QT_QPA_PLATFORM=xcb "$@"
  rc=$?
  kill $wm 2>/dev/null
  exit $rc' bash "$@"
