#!/usr/bin/env bash
# Runs one test in a fresh temporary home: HOME, XDG_* and logDir point into it, and it is
# removed afterwards. A test that needs a display gets an Xvfb server of its own, so tests
# running side by side never share keyboard focus or windows. With ORVANE_WINDOW_MANAGER=openbox
# that display also gets a real window manager, as an operator's desktop has: it decorates, places
# and resizes windows, and sizes and focus then go through it.
set -u
tmp=$(mktemp -d "${TMPDIR:-/tmp}/orvane-test.XXXXXX")
xvfb=""
wm=""
cleanup() {
  [ -n "$wm" ] && kill "$wm" 2>/dev/null && wait "$wm" 2>/dev/null
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null
  chmod -R u+w "$tmp" 2>/dev/null
  rm -rf "$tmp"
}
trap cleanup EXIT
# Waits up to 10 s until `[ FLAG FILE ]` holds (the server NAME has started); otherwise ends the
# run with NAME's log.
started() {
  local flag=$1 file=$2 name=$3 log=$4
  for _ in $(seq 200); do
    [ "$flag" "$file" ] && return 0
    sleep 0.05
  done
  echo "run-isolated: $name did not start" >&2
  cat "$log" >&2
  exit 1
}
export HOME="$tmp/home" XDG_DATA_HOME="$tmp/data" XDG_CONFIG_HOME="$tmp/config" \
       XDG_CACHE_HOME="$tmp/cache" XDG_RUNTIME_DIR="$tmp/runtime" logDir="$tmp/log" \
       ORVANE_TEST_TMP="$tmp" LC_ALL=C.UTF-8
mkdir -p "$HOME" "$XDG_DATA_HOME" "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME" "$XDG_RUNTIME_DIR" "$logDir"
chmod 700 "$XDG_RUNTIME_DIR"
if [ "${ORVANE_NEEDS_DISPLAY:-0}" = 1 ]; then
  export QT_QPA_PLATFORM=xcb
  # Xvfb picks a free display number itself and writes it to fd 3.
  Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp -noreset 3>"$tmp/display" 2>"$tmp/xvfb.log" &
  xvfb=$!
  started -s "$tmp/display" Xvfb "$tmp/xvfb.log"
  export DISPLAY=":$(tr -d '[:space:]' < "$tmp/display")"
  if [ "${ORVANE_WINDOW_MANAGER:-}" = openbox ]; then
    # openbox runs its start-up command once it manages the screen
    openbox --sm-disable --startup "touch $tmp/wm-ready" >"$tmp/wm.log" 2>&1 &
    wm=$!
    started -e "$tmp/wm-ready" openbox "$tmp/wm.log"
  fi
fi
"$@"
