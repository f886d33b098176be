#!/usr/bin/env bash
# Makes the pictures of docs/templates.md: for each built-in template, one real frame of the
# program output (written by GStreamer's pngenc) with SCENE-01 playing that template with the
# data below, under Xvfb in a fresh temporary home (docs/screenshots/template-<name>.png).
# Usage: scripts/template-frames.sh [name ...]     BUILD_DIR=... to use another build directory
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-"$here/build"}
if [ ! -x "$build/scripts/tools/templateframe" ]; then
  cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
  cmake --build "$build" -j2 --target templateframe
fi
declare -A data=(
  [lower-third]='[{"name": "name", "value": "Ada Lovelace"}, {"name": "title", "value": "Mathematician, first programmer"}]'
  [title]='[{"name": "heading", "value": "The Analytical Engine"}, {"name": "subheading", "value": "A century ahead of its time"}]'
  [bug]='[{"name": "text", "value": "LIVE"}, {"name": "corner", "value": "top-right"}]'
  [clock]='[{"name": "mode", "value": "countdown"}, {"name": "target", "value": "'"$(date -d '+12 min' +%H:%M)"'"}, {"name": "format", "value": "mm:ss"}]'
  [ticker]='[{"name": "label", "value": "NEWS"}, {"name": "items", "value": ["Markets close higher", "Rain expected in the north tonight", "Final tonight at 20:00"]}, {"name": "speed", "value": 150}]'
  [score]='[{"name": "home", "value": "RED"}, {"name": "away", "value": "BLU"}, {"name": "homeScore", "value": 2}, {"name": "awayScore", "value": 1}, {"name": "period", "value": 2}]'
)
names=("$@")
[ ${#names[@]} -gt 0 ] || names=(lower-third title bug clock ticker score)
mkdir -p "$here/docs/screenshots"
for name in "${names[@]}"; do
  out="$here/docs/screenshots/template-$name.png"
  log=$(mktemp)
  if ! ORVANE_NEEDS_DISPLAY=1 "$here/tests/run-isolated.sh" "$build/scripts/tools/templateframe" "$out" "$name" \
       "${data[$name]}" >"$log" 2>&1; then
    cat "$log" >&2
    rm -f "$log"
    echo "template-frames: no picture of $name" >&2
    exit 1
  fi
  rm -f "$log"
  echo "Saved $out"
done
