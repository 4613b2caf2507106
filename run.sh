#!/usr/bin/env bash
# Sets up if needed, builds, and starts the viewer.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/setup.sh
build_dir=${MAVREL_BUILD_DIR:-build}
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    echo "run.sh: no display. Run it under a virtual one:  xvfb-run -a -s '-screen 0 1280x800x24' ./run.sh" >&2
    exit 1
fi
exec "$build_dir/bin/mavrel" "$@"
