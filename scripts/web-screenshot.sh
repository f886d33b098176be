#!/usr/bin/env bash
# Makes the documentation's picture of the web page from a real headless-browser screenshot: the
# program runs under Xvfb in a fresh temporary home with --web and a program output, two layers
# playing, and Chromium shoots the page (docs/screenshots/web.png).
# Usage: scripts/web-screenshot.sh [out.png]     BUILD_DIR=... to use another build directory
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-"$here/build"}
out=$(realpath -m "${1:-"$here/docs/screenshots/web.png"}")
if [ ! -x "$build/bin/Orvane" ]; then
  cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
  cmake --build "$build" -j2 --target Orvane
fi
mkdir -p "$(dirname "$out")"
log=$(mktemp)
trap 'rm -f "$log"' EXIT
if ! ORVANE_NEEDS_DISPLAY=1 ORVANE_BIN_DIR="$build/bin" "$here/tests/run-isolated.sh" \
  /usr/bin/python3 "$here/scripts/web-screenshot.py" "$out" >"$log" 2>&1; then
  tail -50 "$log" >&2
  echo "web-screenshot: no picture made" >&2
  exit 1
fi
echo "Saved $out"
