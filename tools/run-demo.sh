#!/usr/bin/env bash
# The demo: builds everything, prepares a working directory (build/demo) with the
# thermocouple tables and settings calibrated for the simulated card, starts the
# simulated card on COM1 there and runs the program in it. Without a display it
# starts a virtual one, drives the program for a few seconds of live frames and
# saves a screenshot instead, whose path it prints.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build"
demo="$build/demo"

bash "$root/tools/setup.sh"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)"

for exe in sim/tarvsim app/tarvane2020 tools/make_demo_settings tools/demo_shot; do
    if [ ! -x "$build/$exe" ]; then
        echo "run-demo: $build/$exe was not built" >&2
        exit 1
    fi
done

mkdir -p "$demo"
cp "$root/data/j.tc" "$root/data/k.tc" "$demo/"
"$build/tools/make_demo_settings" "$demo"
rm -f "$demo/COM1" "$demo/screenshot.png"

# Everything started in the background is stopped when this script ends, however
# it ends; the simulated card removes its COM1 link as it goes.
pids=()
stop_all() {
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
}
trap stop_all EXIT

"$build/sim/tarvsim" --dir "$demo" --port 1 >"$demo/tarvsim.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do
    [ -e "$demo/COM1" ] && break
    sleep 0.1
done
if [ ! -e "$demo/COM1" ]; then
    echo "run-demo: the simulated card did not come up; see $demo/tarvsim.log" >&2
    exit 1
fi

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    echo "run-demo: the simulated card is on COM1; choose Task > Start to stream."
    (cd "$demo" && "$build/app/tarvane2020")
    exit 0
fi

# No display: a virtual one on the first free display number.
n=90
while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do
    n=$((n + 1))
done
Xvfb ":$n" -screen 0 1600x1000x24 -nolisten tcp >"$demo/xvfb.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do
    [ -e "/tmp/.X11-unix/X$n" ] && break
    sleep 0.1
done
if [ ! -e "/tmp/.X11-unix/X$n" ]; then
    echo "run-demo: the virtual display did not start; see $demo/xvfb.log" >&2
    exit 1
fi

echo "run-demo: no display; running the program on a virtual one for a screenshot."
shot=$(cd "$demo" && DISPLAY=":$n" QT_QPA_PLATFORM=xcb "$build/tools/demo_shot")
echo "Screenshot: $shot"
