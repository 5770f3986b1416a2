#!/usr/bin/env bash
# The Debian package as an administrator gets it, from the tree that
# scripts/test.sh built (nothing is built or tested twice): lintian (errors
# fail), apt-get install, the installed watcher's --once on the example list
# as an ordinary user and its metrics (the module it loads), the unit, the desktop entry and the manual pages
# checked by their own tools, and apt-get purge leaving no file behind.
# Needs root: scripts/test-package.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}
step() { echo "== package: $*" >&2; }
if [ "$(id -u)" -ne 0 ]; then
  echo "package tests skipped: they install and purge the package, which needs root" >&2
  exit 0
fi

step "build"
bash scripts/package.sh "$dir" >/dev/null
deb=$(ls tarnwick_*.deb)
dpkg-deb --info "$deb" >/dev/null

step "lintian $deb"
# lintian refuses nothing as root, but says so; errors fail, warnings show.
lintian --fail-on error --display-level '>=warning' "$deb" 2>&1 | grep -v 'running as root' || true
lintian --fail-on error "$deb" >/dev/null 2>&1

# Every file outside the volatile folders, to compare after the purge.
snapshot() {
  find /etc /usr /lib /opt /var/lib \
    \( -path /var/lib/dpkg -o -path /var/lib/apt -o -path /var/lib/ucf \
       -o -path /var/lib/systemd -o -path /etc/ld.so.cache \) -prune -o -print 2>/dev/null |
    grep -v -e '/icon-theme\.cache$' -e '/mimeinfo\.cache$' | sort
}
before=$(mktemp)
after=$(mktemp)
home=$(mktemp -d)
trap 'rm -rf "$before" "$after" "$home"' EXIT
apt-get purge -y -q tarnwick >/dev/null 2>&1 || true
snapshot >"$before"

step "apt-get install ./$deb"
DEBIAN_FRONTEND=noninteractive apt-get install -y -q "./$deb" >/dev/null
command -v tarnwick tarnwick-watch >/dev/null
[ "$(tarnwick-watch --version)" = "tarnwick-watch $(dpkg-query -W -f='${Version}' tarnwick)" ]
[ "$(tarnwick --version)" = "tarnwick $(dpkg-query -W -f='${Version}' tarnwick)" ]
# The desktop program never gets a capability; the watcher only where needed.
[ -z "$(getcap /usr/bin/tarnwick)" ]

step "tarnwick-watch --once as an ordinary user"
chown nobody:nogroup "$home"
status=0
setpriv --reuid=nobody --regid=nogroup --clear-groups --reset-env \
  env HOME="$home" tarnwick-watch --once /etc/tarnwick/example.ls2 >"$home/out" 2>&1 || status=$?
cat "$home/out" >&2
[ "$status" -eq 0 ] || { echo "tarnwick-watch --once exited $status" >&2; exit 1; }
grep -q 'localhost (127.0.0.1) ○' "$home/out"
# Without the capability (a copy) and outside ping_group_range, a ping row is
# not reported as down: the check says why it cannot be made.
if [ -n "$(getcap /usr/bin/tarnwick-watch)" ]; then
  install -o nobody -m 755 /usr/bin/tarnwick-watch "$home/plain-watch"
  status=0
  setpriv --reuid=nobody --regid=nogroup --clear-groups --reset-env env HOME="$home" \
    "$home/plain-watch" --once /etc/tarnwick/example.ls2 >"$home/out" 2>&1 || status=$?
  [ "$status" -eq 2 ] && grep -q 'ICMP' "$home/out" ||
    { cat "$home/out" >&2; echo "no ICMP socket: exit $status, not 2" >&2; exit 1; }
fi

step "tarnwick-watch --metrics serves through its module"
setpriv --reuid=nobody --regid=nogroup --clear-groups --reset-env env HOME="$home" \
  tarnwick-watch --metrics 127.0.0.1:0 /etc/tarnwick/example.ls2 >"$home/metrics" 2>&1 &
watcher=$!
url=""
for _ in $(seq 100); do
  url=$(grep -o 'http://127\.0\.0\.1:[0-9]*/metrics' "$home/metrics" || true)
  [ -n "$url" ] && break
  sleep 0.1
done
served=0
[ -n "$url" ] && python3 -c 'import sys, urllib.request
sys.exit(b"tarnwick_computer_up" not in urllib.request.urlopen(sys.argv[1], timeout=5).read())' \
  "$url" && served=1
kill -TERM "$watcher"
wait "$watcher" || true
[ "$served" -eq 1 ] || { cat "$home/metrics" >&2; echo "no metrics served at '$url'" >&2; exit 1; }

step "systemd-analyze verify, desktop-file-validate, man"
unit=/usr/lib/systemd/system/tarnwick-watch@.service
cp "$unit" "$home/tarnwick-watch@example.ls2.service"
out=$(systemd-analyze verify "$home/tarnwick-watch@example.ls2.service" 2>&1)
[ -z "$out" ] || { echo "$out" >&2; exit 1; }
systemd-analyze security --offline=true --threshold=25 "$home/tarnwick-watch@example.ls2.service" |
  tail -n 1 >&2
[ -z "$(systemctl list-unit-files 'tarnwick-watch@*' --state=enabled --no-legend 2>/dev/null)" ]
desktop-file-validate /usr/share/applications/tarnwick.desktop
for page in tarnwick tarnwick-watch; do
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "/usr/share/man/man1/$page.1.gz" 2>&1 >/dev/null)
  [ -z "$warnings" ] || { echo "$page.1: $warnings" >&2; exit 1; }
done

step "apt-get purge"
DEBIAN_FRONTEND=noninteractive apt-get purge -y -q tarnwick >/dev/null
snapshot >"$after"
if ! diff "$before" "$after" >&2; then
  echo "apt-get purge left the files above behind (or removed them)" >&2
  exit 1
fi
step "passed"
