#!/usr/bin/env bash
# Shows what the operator sees: builds if needed, drives the real window under Xvfb in a fresh
# temporary home, and saves play.png (after clicking Layer 3, "SCENE-02" and Play), queues.png
# (the Queues panel open), lamps.png (the layers' lamps: Layer 3 on air, Layer 5 cued) and
# editor.png (the configuration editor) in the output folder (default docs/screenshots). The
# trace of the commands and replies is printed.
# Usage: scripts/screenshot.sh [output-folder]     BUILD_DIR=... to use another build directory
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-"$here/build"}
out=$(realpath -m "${1:-"$here/docs/screenshots"}")

if [ ! -x "$build/tests/orvane-qmltest" ] || [ ! -x "$build/scripts/tools/screengrab" ]; then
  cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
  cmake --build "$build" -j2
fi
mkdir -p "$out"
rm -f "$out/play.png" "$out/queues.png" "$out/lamps.png" "$out/editor.png"

log=$(mktemp)
trap 'rm -f "$log"' EXIT
# the program's own controls style, as Orvane loads it from its bundle
status=0
ORVANE_SCREENSHOT_DIR="$out" ORVANE_SCREENGRAB="$build/scripts/tools/screengrab" ORVANE_NEEDS_DISPLAY=1 QT_QUICK_CONTROLS_CONF="$here/app/qtquickcontrols2.conf" \
  "$here/tests/run-isolated.sh" "$build/tests/orvane-qmltest" -input "$here/scripts/screenshot.qml" \
  >"$log" 2>&1 || status=$?
grep -E -- '------layer[0-9]+ (command|reply) ' "$log" | sed -e 's/^QWARN *: [^ ]* qml: //' || true
if [ "$status" -ne 0 ] || [ ! -s "$out/play.png" ] || [ ! -s "$out/queues.png" ] || [ ! -s "$out/lamps.png" ] \
  || [ ! -s "$out/editor.png" ]; then
  grep -E 'FAIL|Loc:' "$log" >&2 || cat "$log" >&2
  echo "screenshot: no picture made" >&2
  exit 1
fi
echo "Saved $out/play.png, $out/queues.png, $out/lamps.png and $out/editor.png"
