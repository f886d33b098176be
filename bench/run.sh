#!/usr/bin/env bash
# Benchmarks of Orvane: builds what they need, runs every figure under Xvfb and prints one table
# (each figure, its baseline measured in the same run, their ratio; min / median / max over
# repeated runs), also written to bench/out/results.json and results.md.
#
#   bash bench/run.sh            the full run (about 11 minutes on a 2-core machine)
#   bash bench/run.sh --smoke    a handful of iterations, only to see that everything still runs
# Options: --build DIR (default: build/), --no-build, --out DIR (default: bench/out/),
# --memory-checkpoints N,M (commands before the two resident-size readings; default 10000,30000,
# which keeps the full run near 11 minutes on a 2-core machine; 10000,100000 adds about 13 minutes),
# --only GROUP,... (only these groups of figures: startup, commands, rendering, memory, preview,
# control, videos, templates, outputWork, outputTiming, outputFeed, web, headless, restart).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build="$here/build"
out="$here/bench/out"
smoke=()
memory=()
only=()
make=1
while [ $# -gt 0 ]; do
  case "$1" in
    --smoke) smoke=(--smoke) ;;
    --no-build) make=0 ;;
    --build) build=$2; shift ;;
    --out) out=$2; shift ;;
    --memory-checkpoints) memory=(--memory-checkpoints "$2"); shift ;;
    --only) only=(--only "$2"); shift ;;
    *) echo "usage: bench/run.sh [--smoke] [--build DIR] [--no-build] [--out DIR] [--memory-checkpoints N,M] [--only GROUP,...]" >&2; exit 2 ;;
  esac
  shift
done
if [ "$make" = 1 ]; then
  cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$build" -j2 --target orvane-bench
fi
# every run below gets its own temporary home; temporary files stay under one directory
tmp=$(mktemp -d "${TMPDIR:-/tmp}/orvane-bench.XXXXXX")
trap 'rm -rf "$tmp"' EXIT
export TMPDIR="$tmp"
# what was measured: the commit, and whether the documents differ from it
if rev=$(git -C "$here" rev-parse --short HEAD 2>/dev/null); then
  git -C "$here" diff --quiet HEAD -- qml app plugins 2>/dev/null || rev="$rev with local changes"
  export ORVANE_BENCH_REVISION="$rev"
fi
run=("$build/bench/orvane-bench" run "${smoke[@]}" "${memory[@]}" "${only[@]}" --out "$out")
if [ -z "${DISPLAY:-}" ]; then
  xvfb-run -a -s "-screen 0 1920x1080x24" "${run[@]}"
else
  "${run[@]}"
fi
