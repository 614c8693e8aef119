#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Whole-archive benchmark of tarnimex-convert: --jobs 1 against --jobs 2 on 8
# copies of the 1-day mixed log, and each compressed format against its own
# decompressor writing to /dev/null, in the same run.
#
# Usage: BUILD=build RUNS=5 bench/run_archive_bench.sh
#   BUILD, RUNS, TARNIMEX_BENCH_DIR, TARNIMEX_GEN, TARNIMEX_CONVERT and
#   TARNIMEX_CONVERT_OPTS as for bench/run_bench.sh. Needs gzip, xz, zstd, bzip2.
set -euo pipefail

source "$(dirname "$0")/bench_settings.sh"
JOBS_COPIES=8
MIN_JOBS_GAIN=1.7

die() { echo "run_archive_bench.sh: $*" >&2; exit 1; }
[[ -x "$GEN" ]] || die "$GEN not found; build the target tarnimex-gen-log first"
[[ -x "$CONVERT" ]] || die "$CONVERT not found; build the target tarnimex-convert first"
[[ "$RUNS" =~ ^[1-9][0-9]*$ ]] || die "RUNS must be a positive integer"
for tool in gzip zcat xz xzcat zstd zstdcat bzip2 bzcat; do
    command -v "$tool" > /dev/null || die "$tool is not installed"
done

# Median wall-clock seconds of a command over RUNS runs.
timed() {
    local times=() t0 t1
    for ((run = 0; run < RUNS; run++)); do
        sync
        t0=$(now)
        "$@" > /dev/null
        t1=$(now)
        times+=("$(awk -v a="$t0" -v b="$t1" 'BEGIN {print b - a}')")
    done
    printf '%s\n' "${times[@]}" | median
}

mkdir -p "$DATA_DIR"
for days in 1 4; do
    file="$DATA_DIR/mixed-${days}d.log"
    if [[ ! -s "$file" || "$GEN" -nt "$file" ]]; then
        echo "generating $file" >&2
        "$GEN" --days "$days" --seed 1 -o "$file.tmp"
        mv "$file.tmp" "$file"
    fi
done

echo "tarnimex-convert archive benchmark, $RUNS runs each, median; host: $(nproc) cores"
echo

# --jobs: the same logs, one at a time and two at a time.
jobs_dir="$DATA_DIR/jobs"
rm -rf "$jobs_dir"
mkdir -p "$jobs_dir"
for ((i = 1; i <= JOBS_COPIES; i++)); do cp "$DATA_DIR/mixed-1d.log" "$jobs_dir/day$i.log"; done
cat "$jobs_dir"/*.log > /dev/null
bytes=$(du -cb "$jobs_dir"/*.log | tail -n 1 | cut -f 1)
# shellcheck disable=SC2086  # the options are a word list
one=$(timed "$CONVERT" --quiet $CONVERT_OPTS --jobs 1 "$jobs_dir")
# shellcheck disable=SC2086
two=$(timed "$CONVERT" --quiet $CONVERT_OPTS --jobs 2 "$jobs_dir")
# shellcheck disable=SC2086
rss=$(/usr/bin/time -f %M "$CONVERT" --quiet $CONVERT_OPTS --jobs 2 "$jobs_dir" 2>&1 >/dev/null | tail -n 1)
awk -v bytes="$bytes" -v one="$one" -v two="$two" -v rss="$rss" -v min="$MIN_JOBS_GAIN" \
    -v n="$JOBS_COPIES" 'BEGIN {
    mb = bytes / 1e6
    printf "%d x mixed-1d (%.1f MB): --jobs 1 %.1f MB/s, --jobs 2 %.1f MB/s, gain %.2f (aim >= %.1f: %s)\n",
        n, mb, mb / one, mb / two, one / two, min, (one / two >= min) ? "yes" : "NO"
    printf "peak RSS of the --jobs 2 run: %.1f MiB\n", rss / 1024
}'
rm -rf "$jobs_dir"
echo

# Compressed logs: MB/s of the uncompressed bytes.
plain="$DATA_DIR/mixed-4d.log"
plain_bytes=$(stat -c %s "$plain")
printf '%-5s %10s %12s %12s %9s\n' format "size MB" "convert MB/s" "tool MB/s" "conv/tool"
#  extension|compress command|decompress command
for entry in "gz|gzip -6 -c|zcat" "xz|xz -6 -T1 -c|xzcat" "zst|zstd -3 -q -c|zstdcat" "bz2|bzip2 -9 -c|bzcat"; do
    IFS='|' read -r ext pack unpack <<< "$entry"
    packed="$DATA_DIR/mixed-4d.log.$ext"
    if [[ ! -s "$packed" || "$plain" -nt "$packed" ]]; then
        $pack "$plain" > "$packed.tmp"
        mv "$packed.tmp" "$packed"
    fi
    cat "$packed" > /dev/null
    tool=$(timed $unpack "$packed")
    # shellcheck disable=SC2086
    conv=$(timed "$CONVERT" --quiet $CONVERT_OPTS "$packed")
    awk -v ext="$ext" -v size="$(stat -c %s "$packed")" -v bytes="$plain_bytes" -v conv="$conv" \
        -v tool="$tool" 'BEGIN {
        mb = bytes / 1e6
        printf "%-5s %10.1f %12.1f %12.1f %9.2f\n", ext, size / 1e6, mb / conv, mb / tool, conv / tool
    }'
done
echo
echo "MB = 10^6 bytes of the uncompressed log per wall-clock second; conv/tool: time of"
echo "tarnimex-convert over the time of the format's own decompressor to /dev/null."
