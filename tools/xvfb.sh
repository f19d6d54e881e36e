#!/usr/bin/env bash
# Makes sure the X server for window tests runs on display :97 (or
# $LITE_XVFB_DISPLAY, so that runs side by side keep apart) and prints the
# DISPLAY value. "tools/xvfb.sh stop" ends it.
set -euo pipefail
display=${LITE_XVFB_DISPLAY:-:97}
socket=/tmp/.X11-unix/X${display#:}
pidfile=/tmp/.lite-xvfb${display#:}.pid
if [ "${1:-}" = stop ]; then
  [ -f "$pidfile" ] && kill "$(cat "$pidfile")" 2>/dev/null || true
  rm -f "$pidfile"
  exit 0
fi
if [ -f "$pidfile" ] && kill -0 "$(cat "$pidfile")" 2>/dev/null && [ -S "$socket" ]; then
  echo "$display"
  exit 0
fi
rm -f "/tmp/.X${display#:}-lock" "$socket"
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 </dev/null &
echo $! > "$pidfile"
for _ in $(seq 50); do [ -S "$socket" ] && break; sleep 0.1; done
echo "$display"
