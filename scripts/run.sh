#!/usr/bin/env bash
# Installs what is needed, builds Tarnwick and starts it: the desktop program
# when a display is there, else the console watcher on the sample list of
# loopback computers (Ctrl-C stops the watch).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "Starting the desktop program (display ${DISPLAY:-$WAYLAND_DISPLAY})." >&2
  exec build/src/app/tarnwick
fi
echo "No display (DISPLAY and WAYLAND_DISPLAY are empty): starting the console watcher" \
  "on ${1:-samples/loopback.ls2} instead." >&2
exec build/src/console/tarnwick-watch "${@:-samples/loopback.ls2}"
