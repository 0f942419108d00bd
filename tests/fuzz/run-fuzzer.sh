#!/usr/bin/env bash
# run-fuzzer.sh FUZZER SEEDS SECONDS MIN_RUNS [LIBFUZZER_OPTION...]
# Runs a libFuzzer target for a fixed time from the seeds in the repository,
# keeping what it finds in a scratch folder, and fails on a crash or when it
# managed fewer runs than asked.
set -euo pipefail
fuzzer=$1 seeds=$2 seconds=$3 min_runs=$4
shift 4
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir "$scratch/corpus"
status=0
# New inputs go to the first folder, so the seeds in the repository stay as they are.
"$fuzzer" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$scratch/" "$@" \
    "$scratch/corpus" "$seeds" >"$scratch/log" 2>&1 || status=$?
runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$scratch/log" | tail -n 1)
echo "$(basename "$fuzzer"): ${runs:-no} runs in $seconds s, $(ls "$scratch/corpus" | wc -l) new inputs, exit $status"
if [ "$status" -ne 0 ]; then
    tail -n 40 "$scratch/log"
    for crash in "$scratch"/crash-* "$scratch"/leak-* "$scratch"/timeout-*; do
        [ -e "$crash" ] && { echo "input that failed (hex):"; od -An -tx1 "$crash" | head -n 20; }
    done
    exit 1
fi
if [ -z "$runs" ] || [ "$runs" -lt "$min_runs" ]; then
    echo "FAIL: fewer than $min_runs runs"
    tail -n 20 "$scratch/log"
    exit 1
fi
