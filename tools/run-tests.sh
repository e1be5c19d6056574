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

# The service's unit, with the program just built, through systemd's own checks where
# they are installed: no complaint, and an exposure of at most 2.5 of 10.
if command -v systemd-analyze >/dev/null; then
    unit="$dir/unit-check/tarvane2020d.service"
    mkdir -p "$(dirname "$unit")"
    sed "s|^ExecStart=.*|ExecStart=$dir/service/tarvane2020d|" "$dir/tarvane2020d.service" >"$unit"
    if ! said=$(systemd-analyze verify "$unit" 2>&1) || [ -n "$said" ]; then
        echo "$said" >&2
        exit 1
    fi
    said=$(systemd-analyze security --offline=true --threshold=25 "$unit" 2>&1) || {
        echo "$said" >&2
        exit 1
    }
    echo "${said##*$'\n'}"
fi
