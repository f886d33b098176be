#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite through CTest under one Xvfb
# display (each test still gets its own temporary home).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build="$here/build"
"$here/scripts/setup.sh" "$build"
cd "$build"
xvfb-run -a -s "-screen 0 1920x1080x24" ctest --output-on-failure -j2 "$@"
