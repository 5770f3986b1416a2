#!/usr/bin/env bash
# Pictures of the desktop program's screens in a real X server (Xvfb) with the
# Japanese font: scripts/screenshots.sh [GROUP...] writes docs/screenshots/*.png.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo
export TARNWICK_REGISTRY
TARNWICK_REGISTRY=$(mktemp -d)/registry.reg
QT_QPA_PLATFORM=xcb xvfb-run -a -s '-screen 0 1280x900x24' \
  build/tools/screens/tarnwick-screens docs/screenshots "$@"
