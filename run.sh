#!/usr/bin/env bash
# Sets up if needed, builds, starts the catalogue server with its demo catalogue and its video
# site, and starts the viewer against both. The server stops when the viewer ends.
#
#   MAVREL_SERVER_PORT  port of the local catalogue server (default 8077; the demo channels keep
#                       the port they were created with, so keep it the same between runs)
#   MAVREL_SERVER_DB    its database (default: the user's data folder, Mavrel/catalogue.db)
#   MAVREL_DATA_DIR     the viewer's data folder (default: the user's data folder, RUZAV)
#   MAVREL_VIDEOS       a folder of your own videos to browse as well (a subfolder per category)
set -euo pipefail
cd "$(dirname "$0")"

if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    echo "run.sh: no display. Run it under a virtual one:" >&2
    echo "    xvfb-run -a -s '-screen 0 1280x800x24' ./run.sh" >&2
    echo "and take a screenshot from another shell with:  import -window root shot.png" >&2
    exit 1
fi

./scripts/setup.sh
build_dir=${MAVREL_BUILD_DIR:-build}

data_home=${XDG_DATA_HOME:-$HOME/.local/share}
data_dir=${MAVREL_DATA_DIR:-$data_home/RUZAV}
server_db=${MAVREL_SERVER_DB:-$data_home/Mavrel/catalogue.db}
port=${MAVREL_SERVER_PORT:-8077}
mkdir -p "$(dirname "$server_db")"

if [ -z "${XDG_RUNTIME_DIR:-}" ] || [ ! -d "$XDG_RUNTIME_DIR" ]; then
    XDG_RUNTIME_DIR=$(mktemp -d)
    chmod 700 "$XDG_RUNTIME_DIR"
    export XDG_RUNTIME_DIR
fi
server_log=$(mktemp "${TMPDIR:-/tmp}/catalogue-server.XXXXXX")

videos=()
if [ -n "${MAVREL_VIDEOS:-}" ]; then
    videos=(--videos "$MAVREL_VIDEOS")
fi
"$build_dir/bin/catalogue-server" --db "$server_db" --port "$port" --demo "${videos[@]}" \
    >"$server_log" 2>&1 &
server_pid=$!
viewer_pid=
stop_all() {
    if [ -n "$viewer_pid" ]; then
        kill "$viewer_pid" 2>/dev/null || true
        wait "$viewer_pid" 2>/dev/null || true
    fi
    kill "$server_pid" 2>/dev/null || true
    wait "$server_pid" 2>/dev/null || true
    rm -f "$server_log"
}
trap stop_all EXIT
trap 'exit 130' INT TERM

server_url=
# The first start also makes the demo video clips, which takes a few seconds.
for _ in $(seq 300); do
    server_url=$(sed -n 's/^listening on //p' "$server_log" | head -n 1)
    [ -n "$server_url" ] && break
    if ! kill -0 "$server_pid" 2>/dev/null; then
        echo "run.sh: the catalogue server did not start:" >&2
        cat "$server_log" >&2
        echo "(is port $port taken? choose another with MAVREL_SERVER_PORT)" >&2
        exit 1
    fi
    sleep 0.1
done
if [ -z "$server_url" ]; then
    echo "run.sh: the catalogue server did not answer in time" >&2
    exit 1
fi
echo "run.sh: catalogue server at $server_url (database $server_db)"

# Like an installer: a first catalogue for a viewer that has none yet.
if [ ! -f "$data_dir/Data.txt" ]; then
    mkdir -p "$data_dir"
    tmp_catalogue="$data_dir/Data.txt.new.$$"
    if "$build_dir/bin/catalogue-server" export --db "$server_db" >"$tmp_catalogue"; then
        mv "$tmp_catalogue" "$data_dir/Data.txt"
        echo "run.sh: created $data_dir/Data.txt from the server's catalogue"
    else
        rm -f "$tmp_catalogue"
        echo "run.sh: could not export the server's catalogue" >&2
    fi
fi

# In the background so that a signal to this script ends the viewer and the server alike.
MAVREL_CATALOGUE_URL=$server_url MAVREL_VIDEOSITE_URL=$server_url MAVREL_DATA_DIR=$data_dir \
    "$build_dir/bin/mavrel" "$@" &
viewer_pid=$!
status=0
wait "$viewer_pid" || status=$?
viewer_pid=
exit "$status"
