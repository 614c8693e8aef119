#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Whole-process benchmark of tarnimex-convert beside `cat FILE > /dev/null`.
#
# Usage: BUILD=build RUNS=5 bench/run_bench.sh
#   BUILD  build folder holding bench/tarnimex-gen-log and src/cli/tarnimex-convert
#   RUNS   timed runs per log (median reported)
#   TARNIMEX_BENCH_DIR  where generated logs are cached (default $TMPDIR/tarnimex-bench)
#   TARNIMEX_GEN, TARNIMEX_CONVERT  the two programs, when not in $BUILD
#   TARNIMEX_CONVERT_OPTS  regional options matching the generator's report format
#   TARNIMEX_BENCH_WINDOW  the window's whole-run timer, when not in $BUILD/bench
#
# Builds nothing: build the two programs first. Logs are regenerated only when
# the generator is newer than the cached file.
set -euo pipefail

source "$(dirname "$0")/bench_settings.sh"

die() { echo "run_bench.sh: $*" >&2; exit 1; }
[[ -x "$GEN" ]] || die "$GEN not found; build the target tarnimex-gen-log first"
[[ -x "$CONVERT" ]] || die "$CONVERT not found; build the target tarnimex-convert first"
[[ "$RUNS" =~ ^[1-9][0-9]*$ ]] || die "RUNS must be a positive integer"

# Peak RSS in kB of a command: GNU time when installed, else our own probe.
if [[ -x /usr/bin/time ]] && /usr/bin/time -f %M true 2>/dev/null; then
    rss_probe=(/usr/bin/time -f %M)
elif [[ -x "$BUILD/bench/tarnimex-peak-rss" ]]; then
    rss_probe=("$BUILD/bench/tarnimex-peak-rss")
else
    die "neither /usr/bin/time nor $BUILD/bench/tarnimex-peak-rss is available"
fi

# Wall-clock seconds; bash's own clock avoids a fork per reading.
now() {
    if [[ -n "${EPOCHREALTIME:-}" ]]; then echo "${EPOCHREALTIME/,/.}"; else date +%s.%N; fi
}

median() { sort -g | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }

# name  generator options
LOGS=(
    "mixed-1d|--days 1"
    "mixed-4d|--days 4"
    "nmea-only-4d|--days 4 --nmea-only"
    "reports-1d|--days 1 --reports-every-line"
)

mkdir -p "$DATA_DIR"
for entry in "${LOGS[@]}"; do
    name=${entry%%|*}
    file="$DATA_DIR/$name.log"
    if [[ ! -s "$file" || "$GEN" -nt "$file" ]]; then
        echo "generating $file" >&2
        # shellcheck disable=SC2086  # the options are a word list
        "$GEN" ${entry#*|} --seed 1 -o "$file.tmp"
        mv "$file.tmp" "$file"
    fi
done

echo "tarnimex-convert whole-process benchmark, $RUNS runs per log, median"
echo "host: $(nproc) cores, $(awk -F': ' '/model name/ {print $2; exit}' /proc/cpuinfo 2>/dev/null)"
echo "converter: $CONVERT $CONVERT_OPTS"
echo
printf '%-13s %8s %12s %10s %9s %9s %8s %9s %6s\n' \
    log "size MB" "convert MB/s" "cat MB/s" "cat/conv" "RSS MiB" "CSV MiB" "RSS max" "RSS ok"

status=0
for entry in "${LOGS[@]}"; do
    name=${entry%%|*}
    file="$DATA_DIR/$name.log"
    csv="$DATA_DIR/$name.csv"
    bytes=$(stat -c %s "$file")

    rm -f "$csv"
    cat "$file" > /dev/null  # into the page cache
    # The first conversion also warms up the converter and gives the peak RSS.
    # shellcheck disable=SC2086
    if ! probe_out=$("${rss_probe[@]}" "$CONVERT" --quiet $CONVERT_OPTS "$file" 2>&1 >/dev/null); then
        printf '%-13s tarnimex-convert failed:\n%s\n' "$name" "$probe_out"
        status=1
        continue
    fi
    rss_kb=$(tail -n 1 <<<"$probe_out")

    convert_times=()
    cat_times=()
    for ((run = 0; run < RUNS; run++)); do
        # The last run's CSV goes to disk now, not during the next timing.
        sync
        t0=$(now)
        cat "$file" > /dev/null
        t1=$(now)
        # shellcheck disable=SC2086
        "$CONVERT" --quiet $CONVERT_OPTS "$file" > /dev/null
        t2=$(now)
        cat_times+=("$(awk -v a="$t0" -v b="$t1" 'BEGIN {print b - a}')")
        convert_times+=("$(awk -v a="$t1" -v b="$t2" 'BEGIN {print b - a}')")
    done
    cat_s=$(printf '%s\n' "${cat_times[@]}" | median)
    convert_s=$(printf '%s\n' "${convert_times[@]}" | median)
    csv_bytes=$(stat -c %s "$csv" 2>/dev/null || echo 0)

    awk -v name="$name" -v bytes="$bytes" -v conv="$convert_s" -v cat="$cat_s" \
        -v rss="$rss_kb" -v csv="$csv_bytes" 'BEGIN {
        mb = bytes / 1e6
        conv_rate = mb / conv
        cat_rate = mb / cat
        limit_kb = 1.2 * csv / 1024 + 16384
        printf "%-13s %8.1f %12.1f %10.1f %9.1f %9.1f %8.1f %9.1f %6s\n", name, mb, conv_rate,
            cat_rate, cat_rate / conv_rate, rss / 1024, csv / 1048576,
            limit_kb / 1024, (rss <= limit_kb) ? "yes" : "NO"
    }'
done
echo
echo "MB = 10^6 bytes; MB/s of wall-clock time. RSS: the converter's peak resident set."
echo "RSS max = 1.2 x CSV + 16 MiB. cat/conv: how many times faster cat reads the log."

# The same 4-day log converted from the window (offscreen), once.
WINDOW=${TARNIMEX_BENCH_WINDOW:-$BUILD/bench/tarnimex-bench-window}
if [[ -x "$WINDOW" ]]; then
    echo
    echo "window, mixed-4d: $("$WINDOW" "$DATA_DIR/mixed-4d.log" 2>/dev/null)"
fi
exit "$status"
