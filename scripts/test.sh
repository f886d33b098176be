#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite through CTest (each test gets
# its own temporary home and, when it needs one, its own virtual display).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build="$here/build"
"$here/scripts/setup.sh" "$build"
cd "$build"
ctest --output-on-failure -j2 "$@"
