#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, ASan and UBSan) in build-fuzz/ (or in
# $TARV_FUZZ_BUILD_DIR) and runs each one on a scratch copy of its seed corpus, so
# the corpus under tests/fuzz stays as committed.
#   tools/run-fuzz.sh [SECONDS] [--jobs N] [--runs N]
#     SECONDS    time per target (default 30)
#     --jobs N   targets run at once (default 2)
#     --runs N   also stop a target after N executions
# Prints executions, coverage (cov) and features (ft) per target; exits non-zero when
# a target crashed, naming the file that holds the crashing input.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

seconds=30
jobs=2
runs=-1
while [ $# -gt 0 ]; do
    case "$1" in
    --jobs) jobs=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    [0-9]*) seconds=$1; shift ;;
    *) echo "usage: $0 [SECONDS] [--jobs N] [--runs N]" >&2; exit 2 ;;
    esac
done

bash "$root/tools/setup.sh"

dir="${TARV_FUZZ_BUILD_DIR:-$root/build-fuzz}" # the environment may choose another
cmake -S "$root" -B "$dir" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTARV_SANITIZE=ON -DTARV_FUZZ=ON -DTARV_BUILD_BENCH=OFF >/dev/null
cmake --build "$dir" --target fuzz_all -j"$(nproc)"

export ASAN_OPTIONS=detect_leaks=1
export LSAN_OPTIONS=suppressions=$root/tools/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

# The slowest first, so the others share the remaining jobs while it runs.
targets=(cardlink analog digital settings configfile calibration thermotables command ini)
work="$dir/fuzz-work"

run_target() {
    local t=$1 w="$work/$1"
    rm -rf "$w"
    mkdir -p "$w/corpus" "$w/artifacts"
    cp "$root/tests/fuzz/corpus/$t"/* "$w/corpus/"
    local rc=0
    (cd "$w" && "$dir/tests/fuzz/fuzz_$t" -max_total_time="$seconds" -runs="$runs" \
        -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 -artifact_prefix="$w/artifacts/" \
        corpus >"$w/log" 2>&1) || rc=$?
    echo "$rc" >"$w/rc"
}

running=0
for t in "${targets[@]}"; do
    if [ "$running" -ge "$jobs" ]; then
        wait -n || true
        running=$((running - 1))
    fi
    run_target "$t" &
    running=$((running + 1))
done
wait || true

failed=0
printf '%-14s %12s %10s %8s %8s  %s\n' target executions exec/s cov ft result
for t in "${targets[@]}"; do
    w="$work/$t"
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$w/log" | tail -1)
    speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$w/log" | tail -1)
    last=$(grep -E '^#[0-9]+.* cov: ' "$w/log" | tail -1 || true)
    cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$last")
    ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$last")
    result=ok
    if [ "$(cat "$w/rc")" != 0 ]; then
        failed=1
        crash=$(sed -n 's/.*Test unit written to //p' "$w/log" | tail -1)
        result="FAILED (exit $(cat "$w/rc")) ${crash:-see $w/log}"
    fi
    printf '%-14s %12s %10s %8s %8s  %s\n' "$t" "${execs:-?}" "${speed:-?}" "${cov:-?}" \
        "${ft:-?}" "$result"
done
if [ "$failed" -ne 0 ]; then
    echo "run-fuzz: a target failed; its log is under $work/<target>/log" >&2
    for t in "${targets[@]}"; do
        [ "$(cat "$work/$t/rc")" = 0 ] || grep -E 'invariant broken|ERROR|SUMMARY' "$work/$t/log" >&2 || true
    done
fi
exit "$failed"
