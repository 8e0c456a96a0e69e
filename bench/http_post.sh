#!/usr/bin/env bash
# POSTs one 64 MiB random body over HTTPS on loopback through HttpRequest (http_post_client)
# and with `curl --data-binary @FILE`, alternately and several times, to a local server that
# reads and discards the body; prints the median times, their ratio and both peak RSS values.
# Usage: bench/http_post.sh [path of http_post_client]   (ROUNDS=n to change the count)
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
client=${1:-$here/../build/default/bench/http_post_client}
rounds=${ROUNDS:-7}
size=$((64 * 1024 * 1024))

if [[ ! -x $client ]]; then
  echo "no client program at $client; build the target http_post_client first" >&2
  exit 1
fi
for tool in curl python3 openssl /usr/bin/time; do
  if ! command -v "$tool" >/dev/null; then
    echo "$tool is needed (Debian packages curl, python3, openssl, time)" >&2
    exit 1
  fi
done

work=$(mktemp -d "${TMPDIR:-/tmp}/quorvel-post.XXXXXX")
server_pid=
cleanup() {
  if [[ -n $server_pid ]]; then kill "$server_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

body=$work/body
head -c "$size" /dev/urandom >"$body"
cat "$body" >/dev/null # both sides read it from the page cache

# The servers live as long as the pipe on their standard input stays open (this script).
mkfifo "$work/ports"
exec 3> >(python3 "$here/../tests/tools/loopback_servers.py" --tls --lifetime 900 >"$work/ports")
server_pid=$!
read -r -t 30 line <"$work/ports"
port=$(tr ' ' '\n' <<<"$line" | awk -F= '$1 == "https-valid" { print $2 }')
url=https://127.0.0.1:$port/sink

# The client accepts the loopback certificate through its certificate flags; curl needs -k.
ours_cmd=("$client" "$url" "$body")
curl_cmd=(curl -sS -k --data-binary "@$body" -H "Content-Type: application/octet-stream" "$url")

# Runs the command once; prints its wall time in nanoseconds and its peak RSS in KiB.
measure() {
  local start end
  start=$(date +%s%N)
  /usr/bin/time -f '%M' -o "$work/rss" "$@" >"$work/out"
  end=$(date +%s%N)
  if ! grep -q "received $size" "$work/out"; then
    echo "unexpected reply from $1: $(head -c 200 "$work/out")" >&2
    exit 1
  fi
  echo "$((end - start)) $(cat "$work/rss")"
}

"${ours_cmd[@]}" >/dev/null # warm up the server and the caches
ours_ns=() ours_kib=() curl_ns=() curl_kib=()
for ((i = 0; i < rounds; i++)); do
  read -r ns kib <<<"$(measure "${ours_cmd[@]}")"
  ours_ns+=("$ns") ours_kib+=("$kib")
  read -r ns kib <<<"$(measure "${curl_cmd[@]}")"
  curl_ns+=("$ns") curl_kib+=("$kib")
done

median() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
max() { printf '%s\n' "$@" | sort -n | tail -1; }
ours_median=$(median "${ours_ns[@]}")
curl_median=$(median "${curl_ns[@]}")
echo "body: $((size >> 20)) MiB over HTTPS on loopback, median of $rounds runs, whole processes"
awk -v n="$size" -v a="$ours_median" -v b="$curl_median" 'BEGIN {
  printf "HttpRequest: %.3f s (%.0f MB/s)\n", a / 1e9, n / a * 1e3
  printf "curl:        %.3f s (%.0f MB/s)\n", b / 1e9, n / b * 1e3
  printf "time ratio HttpRequest / curl: %.3f (goal: at most 1.10)\n", a / b
}'
ours_peak=$(max "${ours_kib[@]}")
curl_peak=$(max "${curl_kib[@]}")
awk -v a="$ours_peak" -v b="$curl_peak" -v n="$size" 'BEGIN {
  printf "peak RSS: HttpRequest %.1f MiB, curl %.1f MiB (goal: below %.1f MiB)\n",
         a / 1024, b / 1024, (b * 1024 + n) / 1048576
}'
