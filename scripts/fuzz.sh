#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, sanitizers) and runs each for
# SECONDS (default 60), then prints per target: inputs run, crashes found,
# corpus size.
#
#   scripts/fuzz.sh [SECONDS]
#
# Each target starts from its seed corpus in fuzz/corpus/<name> (read only)
# and keeps what it finds in build/fuzz/corpus/<name>. A crash is kept in
# build/fuzz/crashes/<name>/ and the target starts again until its time is
# up. To keep a crash as a regression test, mend it and copy the input into
# fuzz/corpus/<name>.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}

scripts/install-deps.sh
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

export ASAN_OPTIONS=detect_leaks=0
export UBSAN_OPTIONS=print_stacktrace=1
export QT_QPA_PLATFORM=offscreen
# The targets write their files in a folder of their own; memory is quicker.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then
    export TMPDIR=/dev/shm
fi

printf '%-16s %12s %8s %8s\n' target runs crashes corpus
for seeds in fuzz/corpus/*/; do
    name=$(basename "$seeds")
    work=build/fuzz/corpus/$name
    crashes=build/fuzz/crashes/$name
    log=build/fuzz/$name.log
    mkdir -p "$work" "$crashes"
    : > "$log"
    options=()
    [ -f "fuzz/$name.dict" ] && options+=("-dict=fuzz/$name.dict")
    [ -f "fuzz/$name.options" ] && read -r -a extra < "fuzz/$name.options" && options+=("${extra[@]}")
    runs=0
    before=$(find "$crashes" -type f ! -name "slow-unit-*" | wc -l)
    restarts=0
    end=$((SECONDS + seconds))
    while [ "$SECONDS" -lt "$end" ] && [ "$restarts" -lt 20 ]; do
        left=$((end - SECONDS))
                "build/fuzz/fuzz/fuzz_$name" "${options[@]}" -max_total_time="$left" -print_final_stats=1 \
            -artifact_prefix="$crashes/" "$work" "$seeds" > /dev/null 2> "$log.last" || true
        cat "$log.last" >> "$log"
        done_runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log.last" | tail -n 1)
        if [ -z "$done_runs" ]; then
            done_runs=$(grep -o '^#[0-9]*' "$log.last" | tail -n 1 | tr -d '#')
        fi
        runs=$((runs + ${done_runs:-0}))
        restarts=$((restarts + 1))
    done
    rm -f "$log.last"
    found=$(( $(find "$crashes" -type f ! -name "slow-unit-*" | wc -l) - before ))
    corpus=$(find "$work" "$seeds" -type f | wc -l)
    printf '%-16s %12d %8d %8d\n' "$name" "$runs" "$found" "$corpus"
done
