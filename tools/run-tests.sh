#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test.
#   tools/run-tests.sh              normal build in build/
#   tools/run-tests.sh --sanitize   the same tests built with ASan and UBSan in build-asan/
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/tools/setup.sh"

if [ "${1:-}" = "--sanitize" ]; then
    dir="$root/build-asan"
    cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=Debug -DTARV_SANITIZE=ON -DTARV_BUILD_BENCH=OFF >/dev/null
    export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
    export LSAN_OPTIONS=suppressions=$root/tools/lsan.supp:print_suppressions=0
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
else
    dir="$root/build"
    cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$dir" -j"$(nproc)"
ctest --test-dir "$dir" --output-on-failure -j"$(nproc)"
