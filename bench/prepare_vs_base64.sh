#!/usr/bin/env bash
# Prepares one 256 MiB random package with our pipeline (read, Base64, "+" as "%2B") and encodes
# the same file with `base64 -w0`, alternately and several times in one run; prints both
# throughputs in GB/s of input, their ratio, and the peak RSS of the pipeline.
# Usage: bench/prepare_vs_base64.sh [path of base64_bench]   (ROUNDS=n to change the count)
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
bench=${1:-$here/../build/default/bench/base64_bench}
rounds=${ROUNDS:-5}
size=$((256 * 1024 * 1024))

if [[ ! -x $bench ]]; then
  echo "no benchmark program at $bench; build the target base64_bench first" >&2
  exit 1
fi
if [[ ! -x /usr/bin/time ]]; then
  echo "GNU time is needed for the peak RSS: apt-get install -y time" >&2
  exit 1
fi

file=$(mktemp "${TMPDIR:-/tmp}/quorvel-package.XXXXXX")
trap 'rm -f "$file"' EXIT
head -c "$size" /dev/urandom >"$file"
cat "$file" >/dev/null # both sides read it from the page cache

now() { date +%s%N; }
# Wall time in nanoseconds of one run of the command, whole process included.
timed() {
  local start
  start=$(now)
  "$@" >/dev/null
  echo $(($(now) - start))
}

# The pipeline as the program runs it, the same with transparent huge pages for the
# allocator's large blocks, and the reference tool, taken in turn so that all see the same
# state of the machine.
ours=() ours_thp=() reference=()
for ((i = 0; i < rounds; i++)); do
  ours+=("$(timed "$bench" --prepare "$file")")
  ours_thp+=("$(GLIBC_TUNABLES=glibc.malloc.hugetlb=1 timed "$bench" --prepare "$file")")
  reference+=("$(timed base64 -w0 "$file")")
done

median() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
gbps() { awk -v n="$size" -v ns="$1" 'BEGIN { printf "%.2f", n / ns }'; }
peak_mib() {
  env "$@" /usr/bin/time -v "$bench" --prepare "$file" 2>&1 >/dev/null |
    awk -F': ' '/Maximum resident set size/ { printf "%.0f", $2 / 1024 }'
}

ours_gbps=$(gbps "$(median "${ours[@]}")")
thp_gbps=$(gbps "$(median "${ours_thp[@]}")")
ref_gbps=$(gbps "$(median "${reference[@]}")")
echo "input: $((size >> 20)) MiB of random bytes, median of $rounds runs, whole processes"
echo "stages of one run:       $("$bench" --prepare "$file")"
echo "stages of one THP run:   $(GLIBC_TUNABLES=glibc.malloc.hugetlb=1 "$bench" --prepare "$file")"
echo "base64 -w0:              $ref_gbps GB/s"
echo "pipeline:                $ours_gbps GB/s, ratio $(awk -v a="$ours_gbps" -v b="$ref_gbps" 'BEGIN { printf "%.2f", a / b }')"
echo "pipeline, THP malloc:    $thp_gbps GB/s, ratio $(awk -v a="$thp_gbps" -v b="$ref_gbps" 'BEGIN { printf "%.2f", a / b }')"
for variant in plain thp; do
  if [[ $variant == thp ]]; then mib=$(peak_mib GLIBC_TUNABLES=glibc.malloc.hugetlb=1); else mib=$(peak_mib); fi
  printf '%-25s' "peak RSS, $variant:"
  echo "$mib MiB = $(awk -v m="$mib" -v n="$size" 'BEGIN { printf "%.2f", m * 1048576 / n }') x input"
done
