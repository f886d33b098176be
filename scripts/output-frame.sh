#!/usr/bin/env bash
# Makes the picture in docs/output.md of one real frame of the program output, with its alpha:
# the output window runs under Xvfb in a fresh temporary home with layers 2, 5 and 8 playing,
# and the frame is written by GStreamer's pngenc from the program output
# (docs/screenshots/output-frame.png).
# Usage: scripts/output-frame.sh [out.png]     BUILD_DIR=... to use another build directory
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-"$here/build"}
out=$(realpath -m "${1:-"$here/docs/screenshots/output-frame.png"}")
if [ ! -x "$build/scripts/tools/outputframe" ]; then
  cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
  cmake --build "$build" -j2 --target outputframe
fi
mkdir -p "$(dirname "$out")"
log=$(mktemp)
trap 'rm -f "$log"' EXIT
if ! ORVANE_NEEDS_DISPLAY=1 "$here/tests/run-isolated.sh" "$build/scripts/tools/outputframe" "$out" >"$log" 2>&1; then
  cat "$log" >&2
  echo "output-frame: no picture made" >&2
  exit 1
fi
grep -E '^Output frames' "$log" || true
echo "Saved $out"
