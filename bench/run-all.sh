#!/usr/bin/env bash
# Builds the benchmarks and prints every end-to-end figure, each under the command
# that produced it:
#   - frames a second accepted from the unthrottled simulated card, and frames lost;
#   - share of one core at the card's line rate with every window open, and the
#     resident memory at the start of that run and after it (ten minutes by default);
#   - time from start to the version query on the wire and to the main window shown;
#   - full trend redraw time; decode and conversion time per frame;
#   - the unattended service's share of one core and its resident memory at the
#     line rate (as long as the line-rate run);
#   - QoS 1 messages a second to a local broker, and the CPU per message; both
#     line-rate runs again with publishing on, and with 32 alarm rules (one minute
#     each);
#   - an alarm's time from the frame that crosses its limit to "#D" on the wire;
#   - the service with its web page open in one and in twenty browsers' places;
#   - a fleet of 20 services publishing to one broker (bench/fleet for other sizes).
#   bench/run-all.sh [--minutes M]   (length of the line-rate run; default 10)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
minutes=10
while [ $# -gt 0 ]; do
    case "$1" in
    --minutes) minutes=$2; shift 2 ;;
    *) echo "usage: $0 [--minutes M]" >&2; exit 2 ;;
    esac
done

bash "$root/tools/setup.sh"
dir="$root/build"
cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARV_BUILD_BENCH=ON >/dev/null
cmake --build "$dir" -j"$(nproc)" >/dev/null
export QT_QPA_PLATFORM=offscreen
# Qt's notes about the offscreen platform are not figures.
export QT_LOGGING_RULES="qt.qpa.*=false;*.warning=false"

run() {
    echo
    echo "\$ ${*#"$dir/"}"
    "$@"
}

echo "machine: $(nproc) cores, $(sed -n 's/^model name\s*: //p' /proc/cpuinfo | head -1)"
run "$dir/bench/bench_link_throughput" 20000
run "$dir/bench/bench_link_throughput" 200000
run "$dir/bench/bench_startup" 5
run "$dir/bench/bench_trend"
run "$dir/bench/bench_conversion"
run "$dir/bench/bench_cpu_linerate" $((minutes * 60))
run "$dir/bench/bench_service" $((minutes * 60))
run "$dir/bench/bench_publish" 10
run "$dir/bench/bench_cpu_linerate" 60 --publish
run "$dir/bench/bench_service" 60 --publish
run "$dir/bench/bench_cpu_linerate" 60 --rules 32
run "$dir/bench/bench_service" 60 --rules 32
run "$dir/bench/bench_alarms" 1000
run "$dir/bench/bench_web" 300 1
run "$dir/bench/bench_web" 300 20
run "$dir/bench/bench_fleet" 20 60
