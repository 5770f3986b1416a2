#!/usr/bin/env bash
# Installs every Debian package that building, running and testing Tarnwick needs.
# Runs apt-get update once, and nothing at all when every package is already present.
set -euo pipefail

packages=(
  # build
  build-essential cmake ninja-build pkg-config clang-format
  # the desktop program: Qt 6 Widgets and Test, the SVG icon plugin, a Japanese font
  qt6-base-dev qt6-svg-dev libqt6svg6 qt6-qpa-plugins libgl-dev fonts-noto-cjk qt6-translations-l10n
  # screenshots of the desktop program
  xvfb xauth
  # the console watcher's metrics endpoint
  prometheus-cpp-dev
  # mail submission over TLS; openssl makes the tests' certificates
  libssl-dev openssl
  # tests and benchmarks
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  # the real peers the tests talk to
  iproute2 nftables iputils-ping fping procps samba smbclient python3 python3-aiosmtpd
  # the metrics' and the service unit's checkers: Prometheus and promtool, systemd-analyze
  prometheus systemd
  # the Debian package: CPack's dependency scan, lintian, and what its checks run
  dpkg-dev file lintian man-db desktop-file-utils libcap2-bin
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -q
"${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
