#!/bin/sh
# Prepares and submits a 256 MiB package through the real workflow to the local stand-in
# service, and reports time and peak memory. Usage: bench/submit_256mib.sh [build-dir]
# (default build/default; the build needs the submit_bench target). QUORVEL_BENCH_PACKAGE_MIB
# changes the size.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/default}
bench=$build/bench/submit_bench
[ -x "$bench" ] || { echo "no $bench: build the submit_bench target first" >&2; exit 1; }

work=$(mktemp -d)
service_pid=
cleanup() {
  [ -n "$service_pid" ] && kill "$service_pid" 2>/dev/null && wait "$service_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT INT TERM

python3 "$root/tools/stand_in_service.py" --port 0 --exit-with-parent --lifetime 1800 \
  --log "$work/service.log" >"$work/port" 2>"$work/service.err" &
service_pid=$!
for _ in $(seq 100); do [ -s "$work/port" ] && break; sleep 0.1; done
port=$(head -n 1 "$work/port")
[ -n "$port" ] || { cat "$work/service.err" >&2; echo "the stand-in did not start" >&2; exit 1; }

export QUORVEL_BENCH_SERVICE_HOST="127.0.0.1:$port"
if [ -x /usr/bin/time ]; then
  /usr/bin/time -v "$bench" 2>"$work/time"
  grep -E "Elapsed|Maximum resident" "$work/time"
else
  "$bench"
fi
echo "The service received:"
cat "$work/service.log"
