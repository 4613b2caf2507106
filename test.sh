#!/usr/bin/env bash
# Sets up if needed, builds, and runs every test. Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/setup.sh
build_dir=${MAVREL_BUILD_DIR:-build}
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
ctest --test-dir "$build_dir" --output-on-failure -j"$(nproc)" "$@"
