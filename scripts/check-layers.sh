#!/usr/bin/env bash
# Checks that includes run only downward through the program's layers:
#   store < shell < app                  the core: no Qt, no windows
#   gui < layout                         what every window shares
#   appearance, menu, editor             the windows (the editor uses the
#                                        appearance dialogs, nobody the menu's
#                                        or the editor's insides)
#   window_layer                         assembles the windows
# Prints each include that runs upward and fails when there is one.
set -u
cd "$(dirname "$0")/.."
declare -A allowed=(
  [store]="store"
  [shell]="store shell"
  [app]="store shell app"
  [gui]="store shell app gui"
  [layout]="store shell app gui layout"
  [appearance]="store shell app gui layout appearance"
  [menu]="store shell app gui layout menu"
  [editor]="store shell app gui layout appearance editor"
  [window_layer]="store shell app gui layout appearance menu editor window_layer"
)
core="store shell app"
bad=0
for folder in "${!allowed[@]}"; do
  for file in "$folder"/*.h "$folder"/*.cpp; do
    [ -e "$file" ] || continue
    while IFS= read -r line; do
      include=${line#*\#include }
      if [[ $include == \"*/* ]]; then
        target=${include#\"}
        target=${target%%/*}
        [ -n "${allowed[$target]+x}" ] || continue # not one of the layers
        if [[ " ${allowed[$folder]} " != *" $target "* ]]; then
          echo "$file: $include runs upward ($folder may not use $target/)"
          bad=1
        fi
      elif [[ $include == \<Q* ]] && [[ " $core " == *" $folder "* ]]; then
        echo "$file: $include brings Qt into the core ($folder/)"
        bad=1
      fi
    done < <(grep -E '^[[:space:]]*#[[:space:]]*include' "$file")
  done
done
[ $bad -eq 0 ] && echo "every include runs downward"
exit $bad
