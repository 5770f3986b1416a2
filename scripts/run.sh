#!/usr/bin/env bash
# Installs what is needed, builds Tarnwick and starts the console watcher on
# the sample list of loopback computers (Ctrl-C stops the watch).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo
exec build/src/console/tarnwick-watch "${@:-samples/loopback.ls2}"
