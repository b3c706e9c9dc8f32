#!/bin/sh
# Runs a Windows test program under Wine for ctest. Its output goes through a
# file, not straight into ctest's pipe: the first window of a Wine session
# starts Wine's explorer.exe, which would inherit that pipe and keep ctest
# waiting long after the test ended.
log=$(mktemp "${TMPDIR:-/tmp}/korvane-wine-test.XXXXXX")
wine=$(command -v wine64 || command -v wine)
"$wine" "$@" >"$log" 2>&1 </dev/null
rc=$?
cat "$log"
rm -f "$log"
exit $rc
