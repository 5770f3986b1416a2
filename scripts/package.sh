#!/usr/bin/env bash
# Builds the Debian package tarnwick_VERSION_ARCH.deb in the top folder, with
# CPack's DEB generator (dpkg-shlibdeps for the dependencies) from a build
# tree: scripts/package.sh [BUILD_DIR], build/ by default. A tree that is
# already built (CI's) is packaged as it is; nothing is built twice.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}
bash scripts/setup.sh
# Only what the package holds is built: the tests and benchmarks of a fresh
# tree are not needed for it.
if [ -f "$dir/CMakeCache.txt" ]; then
  cmake -S . -B "$dir" -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON >/dev/null
else
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON >/dev/null
fi
cmake --build "$dir" -j2 --target tarnwick tarnwick-watch tarnwick_docs
rm -f "$dir"/package/tarnwick_*.deb
(cd "$dir" && cpack -G DEB >/dev/null)
cp "$dir"/package/tarnwick_*.deb .
ls tarnwick_*.deb
