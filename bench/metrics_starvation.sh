#!/usr/bin/env bash
# The metrics endpoint under idle connections: starts the console watcher of
# a build tree with --metrics on a loopback list, holds IDLE connections that
# never send a request (default 200) and one HTTP/0.9 request (no header end),
# then times SCRAPES scrapes by curl while they are held (goal: each within 1 s).
#   bench/metrics_starvation.sh [BUILD_DIR] [IDLE] [SCRAPES] [INTERVAL_SECONDS]
set -euo pipefail
build=${1:-build}
idle=${2:-200}
scrapes=${3:-10}
interval=${4:-0.5}
watch=$(realpath "$build/src/console/tarnwick-watch")
work=$(mktemp -d)
trap 'kill $watcher $holder 2>/dev/null || true; rm -rf "$work"' EXIT

printf 'ZNRQ\r\nloop,127.0.0.1,,CUSTOM,9,,,,,,,,,,\r\n' >"$work/list.ls2"
printf 'REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\KORVALE\\ZNRQ]\r\n"CheckInterval"=dword:00000001\r\n' \
  >"$work/registry.reg"
TARNWICK_REGISTRY="$work/registry.reg" TARNWICK_SYSLOG_SOCKET="$work/none" \
  XDG_STATE_HOME="$work" "$watch" --metrics 127.0.0.1:0 "$work/list.ls2" >"$work/out" 2>&1 &
watcher=$!
for _ in $(seq 50); do grep -q '/metrics' "$work/out" && break; sleep 0.1; done
url=$(grep -o 'http://[^ ]*/metrics' "$work/out")
port=${url##*:}
port=${port%%/*}

python3 - "$port" "$idle" "$work/held" <<'PY' &
import socket, sys, time
port, count, flag = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3]
held = []
for _ in range(count):
    s = socket.create_connection(("127.0.0.1", port))
    held.append(s)
old = socket.create_connection(("127.0.0.1", port))
old.sendall(b"GET /metrics\r\n")  # HTTP/0.9: a request line and nothing else
held.append(old)
open(flag, "w").close()
time.sleep(3600)
PY
holder=$!
for _ in $(seq 100); do [ -e "$work/held" ] && break; sleep 0.1; done

echo "idle connections: $idle, plus one HTTP/0.9 request"
worst=0
for i in $(seq "$scrapes"); do
  t=$(curl -s -o /dev/null -m 60 -w '%{http_code} %{time_total}' "$url" || true)
  echo "scrape $i: HTTP ${t% *}, ${t#* } s"
  worst=$(python3 -c "print(max($worst, ${t#* }))")
  sleep "$interval"
done
echo "worst scrape: $worst s (goal: under 1 s)"
