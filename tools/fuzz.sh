#!/usr/bin/env bash
# Runs every libFuzzer target (the fuzz preset) for a while, one after the
# other, and prints per target the inputs executed and the faults found.
#
#   tools/fuzz.sh [seconds per target, default 600] [target ...]
#
# New inputs collect in $KESTROVA_FUZZ_WORK (default build/fuzz-work/<target>),
# never among the committed seeds; a crash, leak, time-out or sanitizer
# report is saved there as crash-*, leak-*, timeout-* or oom-*.
# KESTROVA_FUZZ_BUILD picks the build folder (default build/fuzz).
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-600}
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    # Every target: one per tests/fuzz/fuzz_*.cpp, as tests/fuzz/CMakeLists.txt builds them.
    for source in tests/fuzz/fuzz_*.cpp; do
        targets+=("$(basename "$source" .cpp)")
    done
fi
build=${KESTROVA_FUZZ_BUILD:-build/fuzz}
work=${KESTROVA_FUZZ_WORK:-build/fuzz-work}

cmake --preset fuzz -B "$build" >/dev/null
cmake --build "$build" -j2 --target "${targets[@]}" >/dev/null

status=0
printf '%-22s %8s %14s %10s %8s %8s\n' target seconds executions exec/s corpus faults
for target in "${targets[@]}"; do
    dir="$work/$target"
    mkdir -p "$dir/corpus" "$dir/faults"
    log="$dir/run.log"
    set +e
    "$build/tests/fuzz/$target" -max_total_time="$seconds" -timeout=5 -rss_limit_mb=1024 \
        -print_final_stats=1 -artifact_prefix="$dir/faults/" \
        "$dir/corpus" "tests/fuzz/corpus/$target" >"$log" 2>&1
    rc=$?
    set -e
    executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
    corpus=$(find "$dir/corpus" -type f | wc -l)
    faults=$(find "$dir/faults" -type f \( -name 'crash-*' -o -name 'leak-*' -o -name 'timeout-*' \
             -o -name 'oom-*' -o -name 'slow-unit-*' \) | wc -l)
    if [ "$rc" -ne 0 ] && [ "$faults" -eq 0 ]; then
        faults=1  # stopped by a report that saved no input
    fi
    printf '%-22s %8s %14s %10s %8s %8s\n' "$target" "$seconds" "${executions:-?}" "${rate:-?}" "$corpus" "$faults"
    if [ "$faults" -ne 0 ]; then
        status=1
        grep -m5 -E 'ERROR|runtime error|check failed' "$log" | sed 's/^/    /' || true
        echo "    log: $log"
    fi
done
exit $status
