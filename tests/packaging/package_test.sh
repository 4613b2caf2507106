#!/usr/bin/env bash
# Builds the Debian package from the build tree, checks its files and Depends, unpacks it and
# runs what it holds.
set -euo pipefail
build=$1 app_id=$2 version=$3
source "$(dirname "$0")/common.sh"

work=$(mktemp -d)
server=
cleanup() {
    [ -z "$server" ] || { kill -TERM "$server" && wait "$server"; } 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log"; fail "cpack"; }
deb=$work/mavrel_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || { ls "$work"; fail "no $deb"; }

dpkg-deb -c "$deb" | awk '{print $6}' >"$work/contents"
for f in $(installed_files "$app_id"); do
    grep -qx "./usr/$f" "$work/contents" || fail "package lacks /usr/$f"
done
! grep -v -e '^\./usr/' -e '^\./etc/$' -e '^\./etc/mavrel/' "$work/contents" ||
    fail "package puts files outside /usr and /etc/mavrel"
! grep -E 'portable|/include/|\.a$|test_|bench_' "$work/contents" || fail "package holds build files"

[ "$(dpkg-deb -f "$deb" Package)" = mavrel ] || fail "package name"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version"
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
# Found by dpkg-shlibdeps from what the programs link, with versions...
for lib in libc6 libstdc++6 libqt6core6 libqt6widgets6 libqt6webenginewidgets6 libqt6sql6 \
    libmicrohttpd12 libvlc5; do
    grep -qF ", $lib (>= " <<<", $depends" || fail "Depends lacks $lib (>= ...)"
done
# ...and the plug-ins they load, which no library links.
for plugin in qt6-qpa-plugins libqt6sql6-sqlite vlc-plugin-base vlc-plugin-video-output; do
    grep -qF ", $plugin," <<<", $depends," || fail "Depends lacks $plugin"
done
! grep -qE 'gtest|gmock|benchmark' <<<"$depends" || fail "test libraries in Depends"
# apt can satisfy them here (setup.sh has installed all of them).
apt-get install --simulate "$deb" >"$work/apt.log" 2>&1 || { cat "$work/apt.log"; fail "apt"; }

root=$work/root
dpkg-deb -x "$deb" "$root"
check_versions "$root/usr/bin" "$version"
file "$root/usr/bin/mavrel" | grep -q ', stripped' || fail "the viewer is not stripped"
# The server's configuration is a conffile, so an upgrade keeps what the administrator edited.
conf=/etc/mavrel/catalogue-server.conf
dpkg-deb -e "$deb" "$work/control"
[ "$(cat "$work/control/conffiles")" = "$conf" ] || fail "conffiles: $(cat "$work/control/conffiles")"
[ -s "$root$conf" ] || fail "package lacks $conf"

# The maintainer scripts, with stand-ins for deb-systemd-helper and deb-systemd-invoke that log
# their arguments and answer with $STUB_STATUS; a failing helper must not fail the package.
stubs=$work/stubs
mkdir "$stubs"
for helper in deb-systemd-helper deb-systemd-invoke systemctl; do
    printf '#!/bin/sh\necho "%s $*" >>"$STUB_LOG"\nexit "$STUB_STATUS"\n' "$helper" >"$stubs/$helper"
    chmod +x "$stubs/$helper"
done
maintainer() { # STATUS SCRIPT ARGS...
    local status=$1 script=$2
    shift 2
    : >"$work/helpers.log"
    env PATH="$stubs:$PATH" STUB_LOG="$work/helpers.log" STUB_STATUS="$status" \
        "$work/control/$script" "$@" || fail "$script $* exited $? with helpers answering $status"
}
maintainer 0 postinst configure
for unit in mavrel-catalogue-server.socket mavrel-catalogue-server.service; do
    grep -qx "deb-systemd-helper enable $unit" "$work/helpers.log" || fail "postinst enables no $unit"
done
maintainer 1 postinst configure
! grep -q "helper enable" "$work/helpers.log" || fail "postinst re-enabled a disabled unit"
maintainer 0 postrm purge
grep -qx "deb-systemd-helper purge mavrel-catalogue-server.socket" "$work/helpers.log" ||
    fail "postrm purge leaves the socket's links"

# Socket activation as systemd does it, with the service's own command line (the installed paths
# replaced by the unpacked ones) and the shipped configuration without its internet sources: the
# connection that starts the server finds the demo channels already there.
listen=$(sed -n 's/^ListenStream=//p' "$root/usr/lib/systemd/system/mavrel-catalogue-server.socket")
[ "$listen" = 127.0.0.1:8077 ] || fail "the socket listens on '$listen'"
grep -qF "http://$listen" "$root/usr/bin/mavrel" || fail "the viewer's default address is not $listen"
grep -v -- '^--sync' "$root$conf" >"$work/offline.conf"
mkdir "$work/state"
read -ra command <<<"$(sed -n 's/^ExecStart=//p' "$root/usr/lib/systemd/system/mavrel-catalogue-server.service")"
command=("${command[@]/#\/usr\//$root/usr/}")
command=("${command[@]/#\/var\/lib\/mavrel-catalogue\//$work/state/}")
command=("${command[@]/#$conf/$work/offline.conf}")
port=$(/usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
systemd-socket-activate -l "127.0.0.1:$port" "${command[@]}" --port 9 \
    >"$work/server.out" 2>"$work/server.err" &
server=$!
channels=
for _ in $(seq 50); do
    channels=$(curl -sS --max-time 20 "http://127.0.0.1:$port/ostrel/getChannels.asp?date=1/1/2000" 2>/dev/null) && break
    sleep 0.1
done
grep -q '^ADD|' <<<"${channels//<BR>/$'\n'}" || { cat "$work/server.err"; fail "first reply: '$channels'"; }
[ "$(head -n1 "$work/server.out")" = "listening on http://127.0.0.1:$port" ] ||
    fail "the server said '$(head -n1 "$work/server.out")'"
echo "package test passed"
