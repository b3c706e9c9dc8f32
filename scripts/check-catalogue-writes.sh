#!/usr/bin/env bash
# Checks that batches.lst is written only through the edits of store/, which
# check that the batch is still there: outside store/ the catalogue is const
# (code that writes it does not compile), nothing outside store/ includes the
# one header that gives write access, and the default batch setting is
# written only by store/ too (for a batch that is there).
# Usage: check-catalogue-writes.sh COMPILER
set -u
cd "$(dirname "$0")/.."
compiler=${1:-c++}
bad=0
while IFS= read -r hit; do
  echo "$hit: only store/ may write batches.lst"
  bad=1
done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"](\.\./)*(store/)?catalogue_writer\.h[>"]' \
  --include='*.h' --include='*.cpp' . | grep -vE '^\./(store|build[^/]*)/')
while IFS= read -r hit; do
  echo "$hit: the default batch is set through SetDefaultBatch"
  bad=1
done < <(grep -rnE 'Write[A-Za-z]*\([^;]*"DefaultBatch"' --include='*.h' --include='*.cpp' \
  store shell app gui layout menu editor appearance window_layer | grep -v '^store/')
snippet=tests/store/catalogue_write_outside.cpp
if ! "$compiler" -std=c++20 -fsyntax-only -I. "$snippet" 2>/tmp/catalogue-read.$$; then
  echo "reading the catalogue outside store/ does not compile:"; cat /tmp/catalogue-read.$$
  bad=1
fi
if "$compiler" -std=c++20 -fsyntax-only -I. -DWRITES "$snippet" 2>/tmp/catalogue-write.$$; then
  echo "writing the catalogue outside store/ compiles"
  bad=1
elif ! grep -q "WriteText" /tmp/catalogue-write.$$; then
  echo "writing the catalogue outside store/ fails, but not for writing it:"
  cat /tmp/catalogue-write.$$
  bad=1
fi
rm -f /tmp/catalogue-read.$$ /tmp/catalogue-write.$$
[ $bad -eq 0 ] && echo "batches.lst is written through the edits of store/ alone"
exit $bad
