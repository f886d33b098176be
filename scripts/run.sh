#!/usr/bin/env bash
# Installs what is missing, builds, and starts Orvane (extra arguments go to Orvane, e.g. --box 2).
# Without a display it starts one with Xvfb.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/setup.sh" "$here/build"
if [ -z "${DISPLAY:-}" ]; then
  echo "No DISPLAY: starting Orvane on a virtual display (Xvfb)."
  exec xvfb-run -a -s "-screen 0 1920x1080x24" "$here/build/bin/Orvane" "$@"
fi
exec "$here/build/bin/Orvane" "$@"
