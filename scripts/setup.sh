#!/usr/bin/env bash
# Installs everything the product, its tests and benchmarks need (Debian 12 packages only),
# then configures and builds. Safe to run again: it installs only what is missing.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
    g++ clang cmake ninja-build pkg-config libgtest-dev libgmock-dev libbenchmark-dev
    qt6-base-dev qt6-webengine-dev libqt6sql6-sqlite libqt6sql6-psql
    libvlc-dev libvlc-bin vlc-plugin-base vlc-plugin-video-output
    qt6-svg-dev qt6-translations-l10n libclang-rt-14-dev clang-format
    libmicrohttpd-dev zlib1g-dev postgresql
    xvfb xauth imagemagick fonts-dejavu-core curl dbus-daemon dbus-bin
    dpkg-dev file desktop-file-utils appstream systemd init-system-helpers
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
    echo "setup: installing ${missing[*]}"
    sudo_cmd=()
    [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
    export DEBIAN_FRONTEND=noninteractive
    "${sudo_cmd[@]}" apt-get update -qq
    "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

build_dir=${MAVREL_BUILD_DIR:-build}
if [ ! -f "$build_dir/build.ninja" ]; then
    cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$build_dir"
