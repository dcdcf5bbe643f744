#!/bin/bash
# The include graph between the layers of the tree, printed or checked.
#
#   scripts/include-graph.sh          print "from -> to (count)" for every
#                                     include of another layer, then the Qt
#                                     headers of each layer
#   scripts/include-graph.sh --check  fail when a layer includes one it does
#                                     not build on (LAYERS below), or a
#                                     Qt-free layer includes a Qt header
#
# A layer is a folder, save that the windows of settings/ and feedback/ (their
# frm* files) are the layers settings_dialog and feedback_dialog: settings/
# holds a Qt-free library and a Qt one. No layer builds on shell/, the top.
set -euo pipefail
cd "$(dirname "$0")/.."

# Bottom to top: each layer, whether it may use Qt, and the layers it may
# include. The CMake targets link the same way.
LAYERS='
base             -
report           -
formats          -  base
engine           -  base formats report
present          -  base engine
input            -  base
settings         -  base formats
encoders         -  base report
cli              -  base formats engine present encoders
server           -  base
widgets          qt base
settings_dialog  qt base settings widgets
feedback_dialog  qt base widgets
shell            qt base formats engine present input settings widgets settings_dialog feedback_dialog
'

check=0
[ "${1:-}" = --check ] && check=1

layer_of() { # path relative to the root -> its layer
  case "$1" in
    settings/frm*) echo settings_dialog ;;
    feedback/*) echo feedback_dialog ;;
    *) echo "${1%%/*}" ;;
  esac
}

folders=$(echo "$LAYERS" | awk 'NF {print $1}' | sed 's/_dialog$//' | sort -u)
sources=$(for f in $folders; do
  if [ -d "$f" ]; then find "$f" -name '*.cpp' -o -name '*.h'; fi
done | sort)

edges=$(for file in $sources; do
  from=$(layer_of "$file")
  { grep -o '^#include "[^"/]*/[^"]*"' "$file" || true; } | sed 's/^#include "//; s/"$//' |
    while read -r inc; do
      to=$(layer_of "$inc")
      if [ "$to" != "$from" ]; then echo "$from -> $to $file $inc"; fi
    done
done)
qt=$(for file in $sources; do
  if grep -q '^#include <Q[A-Za-z]*[/>]' "$file"; then echo "$(layer_of "$file") $file"; fi
done)

if [ $check = 0 ]; then
  echo "# includes between layers: from -> to (count)"
  echo -n "$edges" | awk '{print $1, $2, $3}' | sort | uniq -c |
    awk '{printf "%s -> %s (%d)\n", $2, $4, $1}'
  echo "# files with Qt headers, per layer"
  echo -n "$qt" | awk '{print $1}' | sort | uniq -c | awk '{printf "%s: %d\n", $2, $1}'
  exit 0
fi

status=0
while read -r from _ to file inc; do
  [ -z "$from" ] && continue
  allowed=$(echo "$LAYERS" | awk -v l="$from" '$1 == l {for (i = 3; i <= NF; i++) print $i}')
  # Not through a pipe: grep -q leaves early, and under pipefail the echo's
  # SIGPIPE would then read as a refusal.
  if ! grep -qx "$to" <<<"$allowed"; then
    echo "$file: $from includes $inc of $to, which it does not build on" >&2
    status=1
  fi
done <<<"$edges"
while read -r layer file; do
  [ -z "$layer" ] && continue
  if [ "$(echo "$LAYERS" | awk -v l="$layer" '$1 == l {print $2}')" != qt ]; then
    echo "$file: the Qt-free layer $layer includes a Qt header" >&2
    status=1
  fi
done <<<"$qt"
[ $status = 0 ] && echo "include graph: every layer includes only the layers below it"
exit $status
