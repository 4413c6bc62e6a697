#!/usr/bin/env bash
# Times `velmorctl firmware --check` on a 16 MB S3 file beside srec_info on the same file.
#   bench/srecord_check.sh [build folder]
set -euo pipefail
build=${1:-build}
velmorctl=$(realpath "$build/cli/velmorctl")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# 6,795,000 bytes in 32-byte S3 records make a file of about 16 MiB.
head -c 6795000 /dev/urandom > "$work/image.bin"
srec_cat "$work/image.bin" -binary -offset 0x40010000 -o "$work/image.s3" -motorola -address-length=4
ls -l "$work/image.s3" | awk '{print "file: " $5 " bytes"}'

if command -v hyperfine >/dev/null; then
  hyperfine --warmup 1 "$velmorctl firmware --check $work/image.s3" "srec_info $work/image.s3"
else
  for tool in "$velmorctl firmware --check" "srec_info"; do
    $tool "$work/image.s3" >/dev/null 2>&1  # warm the page cache
    for run in 1 2 3 4 5; do
      /usr/bin/env time -f "$tool: %e s, %M KiB" $tool "$work/image.s3" 2>&1 >/dev/null | grep -v -e warning -e "address record" >&2
    done
  done
fi
