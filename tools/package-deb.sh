#!/usr/bin/env bash
# Builds the Debian package: configures a release build for the /usr prefix in
# build-deb/ and runs CPack's DEB generator there. Prints the package's path.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir="$root/build-deb"
bash "$root/tools/setup.sh"
cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    -DTARV_BUILD_BENCH=OFF -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON >/dev/null
cmake --build "$dir" -j"$(nproc)" --target tarvane2020 tarvane2020d tarvsim
(cd "$dir" && cpack -G DEB >/dev/null)
ls "$dir"/tarvane2020_*.deb
