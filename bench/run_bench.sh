#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Whole-process benchmark of tarnimex-convert beside `cat FILE > /dev/null`:
# one thread (--jobs 1) and every core (a large log read in parts), the three
# interleaved run by run so that the machine's changing load touches all alike.
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

# name  generator options
LOGS=(
    "mixed-1d|--days 1"
    "mixed-4d|--days 4"
    "nmea-only-4d|--days 4 --nmea-only"
    "reports-1d|--days 1 --reports-every-line"
    "hourly-4d|--days 4 --report-every 3600"
    "binary-1d|--days 1 --binary-heavy"
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
cores=$(nproc)
printf '%-13s %7s %9s %9s %8s %6s %6s %7s %7s\n' \
    log "size MB" "1 thread" "$cores thr." "cat" "x cat" "x cat" "RSS MiB" "RSS max"
printf '%-13s %7s %9s %9s %8s %6s %6s %7s %7s\n' "" "" "MB/s" "MB/s" "MB/s" "1 thr." "$cores thr." "" ""

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

    single_times=()
    convert_times=()
    cat_times=()
    for ((run = 0; run < RUNS; run++)); do
        # The last run's CSV goes to disk now, not during the next timing.
        sync
        t0=$(now)
        cat "$file" > /dev/null
        t1=$(now)
        # shellcheck disable=SC2086
        "$CONVERT" --quiet --jobs 1 $CONVERT_OPTS "$file" > /dev/null
        t2=$(now)
        sync
        t3=$(now)
        # shellcheck disable=SC2086
        "$CONVERT" --quiet $CONVERT_OPTS "$file" > /dev/null
        t4=$(now)
        cat_times+=("$(awk -v a="$t0" -v b="$t1" 'BEGIN {print b - a}')")
        single_times+=("$(awk -v a="$t1" -v b="$t2" 'BEGIN {print b - a}')")
        convert_times+=("$(awk -v a="$t3" -v b="$t4" 'BEGIN {print b - a}')")
    done
    cat_s=$(printf '%s\n' "${cat_times[@]}" | median)
    single_s=$(printf '%s\n' "${single_times[@]}" | median)
    convert_s=$(printf '%s\n' "${convert_times[@]}" | median)
    csv_bytes=$(stat -c %s "$csv" 2>/dev/null || echo 0)

    awk -v name="$name" -v bytes="$bytes" -v single="$single_s" -v conv="$convert_s" \
        -v cat="$cat_s" -v rss="$rss_kb" -v csv="$csv_bytes" 'BEGIN {
        mb = bytes / 1e6
        limit_kb = 1.2 * csv / 1024 + 16384
        printf "%-13s %7.1f %9.0f %9.0f %8.0f %6.2f %6.2f %7.1f %5.1f%s\n", name, mb, mb / single,
            mb / conv, mb / cat, single / cat, conv / cat, rss / 1024, limit_kb / 1024,
            (rss <= limit_kb) ? "  " : " !"
    }'
done

# What a second core gives on this machine now (a virtual machine's cores may
# share one physical core): two one-thread conversions at once against one.
file="$DATA_DIR/mixed-4d.log"
one_times=()
two_times=()
for ((run = 0; run < RUNS; run++)); do
    sync
    t0=$(now)
    # shellcheck disable=SC2086
    "$CONVERT" --quiet --jobs 1 $CONVERT_OPTS "$file" > /dev/null
    t1=$(now)
    # shellcheck disable=SC2086
    "$CONVERT" --quiet --jobs 1 $CONVERT_OPTS --output "$DATA_DIR/second.csv" "$file" > /dev/null &
    # shellcheck disable=SC2086
    "$CONVERT" --quiet --jobs 1 $CONVERT_OPTS "$file" > /dev/null
    wait
    t2=$(now)
    one_times+=("$(awk -v a="$t0" -v b="$t1" 'BEGIN {print b - a}')")
    two_times+=("$(awk -v a="$t1" -v b="$t2" 'BEGIN {print b - a}')")
done
rm -f "$DATA_DIR/second.csv"
one_s=$(printf '%s\n' "${one_times[@]}" | median)
two_s=$(printf '%s\n' "${two_times[@]}" | median)
awk -v one="$one_s" -v two="$two_s" 'BEGIN {
    printf "\nmixed-4d, two one-thread conversions at once: %.2f x the time of one\n", two / one
    print "(1.00: a second core doubles the work done; 2.00: it adds nothing)"
}'
echo
echo "MB = 10^6 bytes; MB/s of wall-clock time; x cat: the conversion's time over cat's."
echo "RSS: peak resident set on every core; RSS max = 1.2 x CSV + 16 MiB (! above it)."

# The same 4-day log converted from the window (offscreen), once.
WINDOW=${TARNIMEX_BENCH_WINDOW:-$BUILD/bench/tarnimex-bench-window}
if [[ -x "$WINDOW" ]]; then
    echo
    echo "window, mixed-4d: $("$WINDOW" "$DATA_DIR/mixed-4d.log" 2>/dev/null)"
fi
exit "$status"
