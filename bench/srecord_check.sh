#!/usr/bin/env bash
# Times `velmorctl firmware --check` beside srec_info in one run, on two S3 files:
#   full  the whole application region 0x40010000-0x4003FFFF (192 KiB of data), which passes;
#   big   about 16 MiB of data from 0x40010000 on, which velmorctl refuses at the region's end.
# Prints the best wall time and the peak memory (maximum resident set, from /usr/bin/time -v,
# package `time`) of each over RUNS runs, after one to warm the page cache.
#   bench/srecord_check.sh [build folder]
set -euo pipefail
build=${1:-build}
runs=${RUNS:-5}
velmorctl=$(realpath "$build/cli/velmorctl")
[ -x /usr/bin/time ] || { echo "srecord_check: /usr/bin/time missing (scripts/install-deps test)" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

head -c $((0x30000)) /dev/urandom > "$work/full.bin"
srec_cat "$work/full.bin" -binary -offset 0x40010000 -o "$work/full.s3" -motorola -address-length=4
# 6,795,000 bytes in 32-byte S3 records make a file of about 16 MiB.
head -c 6795000 /dev/urandom > "$work/big.bin"
srec_cat "$work/big.bin" -binary -offset 0x40010000 -o "$work/big.s3" -motorola -address-length=4

# One line: the best wall time in seconds (bash's own timer, to the millisecond) and the largest
# peak memory in KiB (/usr/bin/time -v) over $runs runs.
measure() {
  local best="" peak=0 wall rss TIMEFORMAT=%R
  "$@" >/dev/null 2>&1 || true
  for _ in $(seq "$runs"); do
    wall=$( { time "$@" >/dev/null 2>&1; } 2>&1 || true)
    rss=$(/usr/bin/time -v "$@" 2>&1 >/dev/null | sed -n 's/.*Maximum resident set size (kbytes): //p' || true)
    if [ -z "$best" ] || awk -v a="$wall" -v b="$best" 'BEGIN { exit !(a < b) }'; then best=$wall; fi
    [ "$rss" -gt "$peak" ] && peak=$rss
  done
  echo "$best $peak"
}

report() {
  local name=$1 file=$2
  read -r vt vm < <(measure "$velmorctl" firmware --check "$file")
  read -r st sm < <(measure srec_info "$file")
  local verdict
  verdict=$("$velmorctl" firmware --check "$file" >/dev/null 2>&1 && echo passes || echo refused)
  printf '%-5s %9d bytes  velmorctl %-7s %6.3f s %7d KiB   srec_info %6.3f s %7d KiB   time %.2fx  memory %.2fx\n' \
    "$name" "$(stat -c %s "$file")" "$verdict" "$vt" "$vm" "$st" "$sm" \
    "$(awk -v a="$vt" -v b="$st" 'BEGIN { print (b > 0 ? a / b : 0) }')" \
    "$(awk -v a="$vm" -v b="$sm" 'BEGIN { print (b > 0 ? a / b : 0) }')"
}

# Instructions executed, from valgrind's callgrind: the same count whatever else the machine is
# doing, where a short run's wall time is mostly process start-up and the load of the moment.
instructions() {
  valgrind --tool=callgrind --callgrind-out-file=/dev/null "$@" 2>&1 >/dev/null |
    sed -n 's/.*Collected : //p' || true
}

count() {
  local name=$1 file=$2 vi si
  vi=$(instructions "$velmorctl" firmware --check "$file")
  si=$(instructions srec_info "$file")
  printf '%-5s instructions  velmorctl %12d   srec_info %12d   ratio %.2fx\n' "$name" "$vi" "$si" \
    "$(awk -v a="$vi" -v b="$si" 'BEGIN { print (b > 0 ? a / b : 0) }')"
}

echo "best of $runs runs; time and memory as velmorctl / srec_info"
report full "$work/full.s3"
report big "$work/big.s3"
if command -v valgrind >/dev/null; then
  count full "$work/full.s3"
  count big "$work/big.s3"
fi
"$velmorctl" firmware --check "$work/big.s3" 2>&1 >/dev/null | sed 's/^/big: /' || true
echo
