#!/usr/bin/env bash
# Shows what the operator sees after clicking Layer 3, "SCENE-02" and Play: builds if needed,
# drives the real window under Xvfb in a fresh temporary home, and saves the window as a PNG
# (default docs/screenshots/play.png). The trace of the commands and replies is printed.
# Usage: scripts/screenshot.sh [output.png]     BUILD_DIR=... to use another build directory
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-"$here/build"}
out=$(realpath -m "${1:-"$here/docs/screenshots/play.png"}")

if [ ! -x "$build/tests/orvane-qmltest" ]; then
  cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
  cmake --build "$build" -j2
fi
mkdir -p "$(dirname "$out")"
rm -f "$out"

log=$(mktemp)
trap 'rm -f "$log"' EXIT
# the program's own controls style, as Orvane loads it from its bundle
status=0
ORVANE_SCREENSHOT="$out" ORVANE_NEEDS_DISPLAY=1 QT_QUICK_CONTROLS_CONF="$here/app/qtquickcontrols2.conf" \
  "$here/tests/run-isolated.sh" "$build/tests/orvane-qmltest" -input "$here/scripts/screenshot.qml" \
  >"$log" 2>&1 || status=$?
grep -E -- '------layer[0-9]+ (command|reply) ' "$log" | sed -e 's/^QWARN *: [^ ]* qml: //' || true
if [ "$status" -ne 0 ] || [ ! -s "$out" ]; then
  grep -E 'FAIL|Loc:' "$log" >&2 || cat "$log" >&2
  echo "screenshot: no picture made" >&2
  exit 1
fi
echo "Saved $out"
