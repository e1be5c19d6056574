#!/usr/bin/env bash
# Runs the program for a long spell against the simulated card streaming flat out
# with every fault it can inject (split and merged writes, junk, over-long lines,
# damaged frames, quiet spells, the port vanishing and coming back), every window
# open and a log line every second, then checks the counts, the log and the memory.
#   tools/soak.sh [SECONDS] [tarvsoak options]   (default 120 s; e.g. 3600 --seed 7)
# With --headless the service runs instead of the main window.
# Works in build/soak (build/soak-headless), where the log (soak.csv) stays for a look
# afterwards. Exits non-zero when a check failed or the program crashed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-120}
shift || true

bash "$root/tools/setup.sh"
dir="$root/build"
cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$dir" --target tarvsoak tarvsim -j"$(nproc)"

work="$dir/soak"
case " $* " in *" --headless "*) work="$dir/soak-headless" ;; esac
rm -rf "$work"
# A crashed run leaves no one to stop its simulated card.
trap 'pkill -f -- "tarvsim --dir $work " || true' EXIT

export QT_QPA_PLATFORM=offscreen
export QT_LOGGING_RULES="qt.qpa.*=false"
status=0
"$dir/tests/tarvsoak" --seconds "$seconds" --keep "$work" "$@" || status=$?
if [ "$status" -gt 1 ]; then
    echo "soak: tarvsoak ended with status $status (crash or failed start)" >&2
fi
exit "$status"
