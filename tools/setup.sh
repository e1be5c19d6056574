#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing need.
# Idempotent and quiet: packages already present are left alone, and the package
# lists are refreshed only when something is missing.
set -euo pipefail

packages=(
    build-essential cmake pkg-config
    procps qt6-base-dev qt6-base-dev-tools qt6-serialport-dev qt6-qpa-plugins libgl-dev
    xvfb xauth imagemagick fonts-dejavu-core fonts-liberation
    clang libclang-rt-14-dev
    libmosquitto-dev mosquitto mosquitto-clients openssl
    # The service's notifications to systemd; systemd itself only for the unit's
    # checks (systemd-analyze), absent from a bare container and inert there.
    libsystemd-dev systemd
    # The service's web page; a real browser and its driver for the page's test.
    qt6-httpserver-dev qt6-websockets-dev chromium chromium-driver python3-selenium
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
    echo "setup: these packages are missing: ${missing[*]}" >&2
    echo "setup: run this script as root (or with sudo) to install them." >&2
    exit 1
fi

export DEBIAN_FRONTEND=noninteractive
echo "setup: installing ${missing[*]}"
# A new machine may have no package lists at all; a stale list may name versions
# that are gone. Refresh once before installing.
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
