#!/usr/bin/env bash
# Installs what is needed, builds Tarnwick with warnings as errors and runs
# the whole test suite (the desktop program's tests on Qt's offscreen
# platform: no display is needed); then builds the core and its tests again
# under AddressSanitizer and UndefinedBehaviorSanitizer, and once more under
# ThreadSanitizer, and runs those.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

# One format for the tree.
find src tests bench tools \( -name '*.cpp' -o -name '*.h' \) -print0 | xargs -0 clang-format --dry-run --Werror

bash scripts/build.sh build -DTARNWICK_WERROR=ON
ctest --test-dir build --output-on-failure --timeout 300
bash scripts/test-package.sh build

bash scripts/build.sh build-sanitize -DTARNWICK_WERROR=ON -DTARNWICK_SANITIZE=ON \
  -DTARNWICK_BENCH=OFF -DTARNWICK_GUI=OFF -DCMAKE_BUILD_TYPE=Debug
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-sanitize --output-on-failure --timeout 600

# Debian's Qt is not built for ThreadSanitizer: the GUI stays out. Address
# space randomisation is turned off for the run, as TSan's fixed shadow
# mapping needs on kernels with many random bits.
bash scripts/build.sh build-tsan -DTARNWICK_WERROR=ON -DTARNWICK_SANITIZE=thread \
  -DTARNWICK_BENCH=OFF -DTARNWICK_GUI=OFF
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
  setarch "$(uname -m)" -R ctest --test-dir build-tsan --output-on-failure --timeout 600
