#!/usr/bin/env bash
# Long soak of the output window: a million random operator actions and layer replies (one
# seed, printed; give one as the first argument to run it again), with memory (VmRSS) reported
# every 100000 steps and at the end. Builds into $BUILD (default build/) when needed.
#   bash scripts/soak.sh [seed] [steps]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build="${BUILD:-$here/build}"
if [ ! -x "$build/tests/soak/orvane-soak" ]; then
  cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
  cmake --build "$build" -j2 --target orvane-soak Serialization VideoAlpha
fi
seed_args=()
[ -n "${1:-}" ] && seed_args=(--seed "$1")
steps="${2:-1000000}"
ORVANE_NEEDS_DISPLAY=1 "$here/tests/run-isolated.sh" "$build/tests/soak/orvane-soak" "${seed_args[@]}" \
  --steps "$steps" --report 100000
