#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Two conversions of one log in interleaved pairs, the order alternating so
# that neither gains by going first; medians of wall-clock and processor time,
# and B's over A's. A converter and the one before a change, or one converter
# without and with an option:
#
#   bench/run_pair_bench.sh LOG RUNS JOBS CONVERT_A CONVERT_B [OPTION_B...]
#   bench/run_pair_bench.sh LOG 21 2 build/src/cli/tarnimex-convert{,}   \
#       --limits docs/limits-example.ini       # what the timing metrics cost
#
# Each writes its own CSV, replacing the one of its run before, as a user's
# second conversion of a log does. TARNIMEX_CONVERT_OPTS as for bench/run_bench.sh.
set -euo pipefail
[ $# -ge 5 ] || { sed -n 3,10p "$0" >&2; exit 2; }
log=$1 runs=$2 jobs=$3 convert_a=$4 convert_b=$5
shift 5
source "$(dirname "$0")/bench_settings.sh"
# shellcheck disable=SC2206  # the regional options are a word list
options=($CONVERT_OPTS --quiet --jobs "$jobs")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
run() {  # label, converter, extra options...: "label wall cpu"
    local label=$1 convert=$2
    shift 2
    sync  # no CSV of the run before is being written out meanwhile
    # Processor time from the shell's own count of its children (times, to the
    # millisecond; /usr/bin/time gives hundredths).
    times >"$scratch/before"
    local start=$EPOCHREALTIME
    # exit status 4 (limits failed) is what the example limits give
    "$convert" "${options[@]}" "$@" --output "$scratch/$label.csv" -- "$log" || [ $? = 4 ]
    local end=$EPOCHREALTIME
    times >"$scratch/after"
    cat "$scratch/before" "$scratch/after" | awk -v label="$label" -v wall="$start $end" '
        NR % 2 == 0 {for (i = 1; i <= 2; i++) {split($i, t, /[ms]/); cpu[NR] += t[1] * 60 + t[2]}}
        END {gsub(",", ".", wall); split(wall, w, " "); printf "%s %.6f %.3f\n", label, w[2] - w[1], cpu[4] - cpu[2]}'
}
for ((i = 0; i < runs; i++)); do
    if ((i % 2)); then run A "$convert_a"; run B "$convert_b" "$@"; else run B "$convert_b" "$@"; run A "$convert_a"; fi
done >"$scratch/times"
values() { awk -v k="$1" -v f="$2" '$1 == k {print $f}' "$scratch/times"; }
for f in 2 3; do
    a=$(values A $f | median) b=$(values B $f | median)
    awk -v what="$([ $f = 2 ] && echo wall-clock || echo processor)" -v a="$a" -v b="$b" \
        'BEGIN {printf "%-10s A %.3f s, B %.3f s: B/A %.3f\n", what, a, b, b / a}'
done
