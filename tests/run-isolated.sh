#!/usr/bin/env bash
# Runs one test in a fresh temporary home: HOME, XDG_* and logDir point into it, and it is
# removed afterwards. Tests that need a display get one from Xvfb when none is set.
set -u
tmp=$(mktemp -d "${TMPDIR:-/tmp}/orvane-test.XXXXXX")
trap 'chmod -R u+w "$tmp" 2>/dev/null; rm -rf "$tmp"' EXIT
export HOME="$tmp/home" XDG_DATA_HOME="$tmp/data" XDG_CONFIG_HOME="$tmp/config" \
       XDG_CACHE_HOME="$tmp/cache" XDG_RUNTIME_DIR="$tmp/runtime" logDir="$tmp/log" \
       ORVANE_TEST_TMP="$tmp" LC_ALL=C.UTF-8
mkdir -p "$HOME" "$XDG_DATA_HOME" "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME" "$XDG_RUNTIME_DIR" "$logDir"
chmod 700 "$XDG_RUNTIME_DIR"
if [ "${ORVANE_NEEDS_DISPLAY:-0}" = 1 ]; then
  export QT_QPA_PLATFORM=xcb
  if [ -z "${DISPLAY:-}" ]; then
    xvfb-run -a -s "-screen 0 1920x1080x24" "$@"
    exit $?
  fi
fi
"$@"
