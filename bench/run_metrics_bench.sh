#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# What the timing metrics cost a conversion: the same log converted without
# and with --limits, in interleaved pairs; medians of wall-clock and processor
# time, and their ratios.
#
#   bench/run_metrics_bench.sh CONVERT LOG [RUNS] [JOBS]
set -euo pipefail
convert=$1 log=$2 runs=${3:-15} jobs=${4:-$(nproc)}
limits=$(dirname "$0")/../docs/limits-example.ini
options=(--date-order ymd --date-sep / --time-sep : --decimal-sep . --quiet --jobs "$jobs")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
run() {  # label, extra options...: "label wall cpu"
    local label=$1
    shift
    # exit status 4 (limits failed) is what the example limits give
    /usr/bin/time -f "$label %e %U %S" -o "$scratch/time" \
        "$convert" "${options[@]}" "$@" --output "$scratch/$label.csv" -- "$log" || [ $? = 4 ]
    awk '{print $1, $2, $3 + $4}' "$scratch/time"
}
for ((i = 0; i < runs; i++)); do
    if ((i % 2)); then run plain; run limits --limits "$limits"; else run limits --limits "$limits"; run plain; fi
done >"$scratch/times"
median() { awk -v k="$1" -v f="$2" '$1 == k {print $f}' "$scratch/times" | sort -g |
    awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }
for f in 2 3; do
    a=$(median plain $f) b=$(median limits $f)
    awk -v what="$([ $f = 2 ] && echo wall-clock || echo processor)" -v a="$a" -v b="$b" \
        'BEGIN {printf "%-10s without %.3f s, with --limits %.3f s: %.3f x\n", what, a, b, b / a}'
done
