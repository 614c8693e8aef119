#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs each fuzzer for a bounded time and reports its executions and findings.
# usage: fuzz/run_fuzz.sh BUILD_DIR SECONDS [NAME...]   (names: log_reader fields
# profile_file conversion compressed; all by default). The seeds in fuzz/corpus/ are only
# read; what the fuzzers learn goes to BUILD_DIR/fuzz-corpus/, a finding's
# input to BUILD_DIR/fuzz-findings/. Exit status 1 when anything was found.
set -uo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-fuzz}
seconds=${2:-300}
shift $(($# < 2 ? $# : 2))
names=("$@")
[ ${#names[@]} -gt 0 ] || names=(log_reader fields profile_file conversion compressed)

declare -A maxLength=([log_reader]=12288 [fields]=256 [profile_file]=4096 [conversion]=8192 [compressed]=16384)
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}
status=0
mkdir -p "$build/fuzz-findings" "$build/fuzz-logs"
for name in "${names[@]}"; do
    fuzzer=$build/fuzz/fuzz_$name
    if [ ! -x "$fuzzer" ]; then
        echo "$name: $fuzzer is missing (build the target fuzzers)" >&2
        status=1
        continue
    fi
    mkdir -p "$build/fuzz-corpus/$name"
    log=$build/fuzz-logs/$name.log
    "$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len="${maxLength[$name]}" \
        -print_final_stats=1 -artifact_prefix="$build/fuzz-findings/$name-" \
        "$build/fuzz-corpus/$name" "fuzz/corpus/$name" >"$log" 2>&1
    rc=$?
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    if [ $rc -eq 0 ]; then
        printf '%-13s %5ss %12s executions, no findings\n' "$name" "$seconds" "${runs:-?}"
    else
        printf '%-13s %5ss %12s executions, FINDING (log: %s)\n' "$name" "$seconds" "${runs:-?}" "$log"
        grep -E -A12 'ERROR|runtime error|^conversion:|^settings file:|disagreement|differ' "$log" | head -40
        status=1
    fi
done
exit $status
