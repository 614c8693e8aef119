# SPDX-License-Identifier: GPL-3.0-or-later
# The settings every benchmark script shares (sourced, not run); see
# bench/run_bench.sh for what each variable means.
BUILD=${BUILD:-build}
RUNS=${RUNS:-5}
DATA_DIR=${TARNIMEX_BENCH_DIR:-${TMPDIR:-/tmp}/tarnimex-bench}
CONVERT_OPTS=${TARNIMEX_CONVERT_OPTS:---date-order ymd --date-sep / --time-sep : --decimal-sep .}
GEN=${TARNIMEX_GEN:-$BUILD/bench/tarnimex-gen-log}
CONVERT=${TARNIMEX_CONVERT:-$BUILD/src/cli/tarnimex-convert}

# The median of the numbers on standard input, one a line.
median() { sort -g | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }

# Wall-clock seconds; bash's own clock where it has one (a decimal comma in
# some locales), else date.
now() {
    if [[ -n "${EPOCHREALTIME:-}" ]]; then echo "${EPOCHREALTIME/,/.}"; else date +%s.%N; fi
}
