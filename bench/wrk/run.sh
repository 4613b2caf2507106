#!/usr/bin/env bash
# Whole-catalogue update requests against the catalogue server, beside cheap pages and reports.
#
#   bench/wrk/run.sh sqlite|postgres [CHANNELS] [SECONDS] [UPDATERS] [gzip|plain] [polite|rude]
#
# Generates a catalogue of CHANNELS (100000) channels, serves it from build/bin/catalogue-server
# (BIN= to override) and runs three wrk loads at once for SECONDS (30): UPDATERS (1000)
# connections asking getChannels.asp?date=1/1/2000 (with Accept-Encoding: gzip unless "plain";
# "rude" asks again at once after a 503 instead of waiting its Retry-After; 0: none, for a
# baseline), 25 connections asking currentdate.asp and REPORTERS (environment, 25; 0: none, so
# that the catalogue stays as it is) sending FAVORITE reports (each a catalogue change). Prints one line per load, the server's peak resident memory and its share
# of the processor. PostgreSQL runs on a throw-away cluster (as nobody under root).
set -euo pipefail
backend=${1:?sqlite or postgres}
channels=${2:-100000}
seconds=${3:-30}
updaters=${4:-1000}
encoding=${5:-gzip}
manners=${6:-polite}
here=$(cd "$(dirname "$0")" && pwd)
bin=${BIN:-$here/../../build/bin/catalogue-server}
pgbin=/usr/lib/postgresql/15/bin
work=$(mktemp -d /tmp/mavrel-wrk-XXXXXX)
server=
pgdata=
as_pg=()
[ "$(id -u)" -eq 0 ] && as_pg=(runuser -u nobody --)

cleanup() {
    [ -n "$server" ] && kill "$server" 2>/dev/null && wait "$server" 2>/dev/null
    [ -n "$pgdata" ] && "${as_pg[@]}" "$pgbin/pg_ctl" -D "$pgdata" -m immediate -w stop >/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
ulimit -n "$(ulimit -Hn)"

free_port() {
    python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

awk -v n="$channels" 'BEGIN {
    print "#EXTM3U"
    for (i = 1; i <= n; i++)
        printf "#EXTINF:-1 tvg-language=\"English;Lang%d\" group-title=\"News\",Channel number %d (720p)\nhttp://stream%d.example.org/live/channel%d/playlist.m3u8\n", i % 50, i, i % 997, i
}' > "$work/channels.m3u"

case $backend in
sqlite) db=$work/catalogue.db ;;
postgres)
    chmod 755 "$work"
    mkdir "$work/pg" && chown nobody "$work/pg" 2>/dev/null || true
    pgdata=$work/pg/data
    pgport=$(free_port)
    "${as_pg[@]}" "$pgbin/initdb" -D "$pgdata" -U postgres --auth=trust -E UTF8 \
        --locale=C.UTF-8 --no-sync >/dev/null
    "${as_pg[@]}" "$pgbin/pg_ctl" -D "$pgdata" -l "$work/pg/log" -w -o \
        "-c listen_addresses=127.0.0.1 -c port=$pgport -c unix_socket_directories=$work/pg -c fsync=off -c max_connections=200" \
        start >/dev/null
    "$pgbin/createdb" -h 127.0.0.1 -p "$pgport" -U postgres bench
    db=postgresql://postgres@127.0.0.1:$pgport/bench
    ;;
*) echo "sqlite or postgres" >&2; exit 2 ;;
esac

"$bin" import --db "$db" "$work/channels.m3u" >/dev/null
"$bin" --db "$db" --port 0 --per-address 0 --report-rate 0 > "$work/server.out" 2> "$work/server.err" &
server=$!
for _ in $(seq 100); do grep -q listening "$work/server.out" 2>/dev/null && break; sleep 0.1; done
url=$(sed -n 's/^listening on //p' "$work/server.out")
curl -s -o /dev/null "$url/ostrel/getChannels.asp?date=1/1/2000"

cpu() { awk '{ print $14 + $15 }' "/proc/$server/stat"; }
ticks=$(getconf CLK_TCK)
before=$(cpu)
echo "$backend: $channels channels, $seconds s, $updaters updaters, $encoding, $manners;" \
    "load average $(cut -d' ' -f1-3 /proc/loadavg)"
touch "$work/updates.txt"
if [ "$updaters" -gt 0 ]; then
    POLITE=$([ "$manners" = polite ] && echo 1 || echo 0) wrk -t2 -c"$updaters" -d"${seconds}s" \
        --timeout 60s -s "$here/updates.lua" "$url" -- "$encoding" > "$work/updates.txt" &
    updates=$!
fi
wrk -t1 -c25 -d"${seconds}s" -s "$here/cheap.lua" "$url" -- currentdate > "$work/cheap.txt" &
cheap=$!
touch "$work/reports.txt"
if [ "${REPORTERS:-25}" -gt 0 ]; then
    wrk -t1 -c"${REPORTERS:-25}" -d"${seconds}s" -s "$here/cheap.lua" "$url" -- reports \
        "$channels" > "$work/reports.txt" &
    reports=$!
fi
wait ${updates:-} "$cheap" ${reports:-}
grep -h -E '^(updates|currentdate|reports):' "$work/updates.txt" "$work/cheap.txt" "$work/reports.txt"
grep -E 'VmHWM|VmRSS' "/proc/$server/status" | tr -s ' \t' ' ' | paste -sd ' ' | sed 's/^/server memory: /'
echo "server processor time: $(( ($(cpu) - before) * 100 / ticks / seconds ))% of one core"
