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

# The maintainer scripts with the real deb-systemd-helper on the unpacked tree, as dpkg runs
# them for another root (DPKG_ROOT), which also keeps them off this machine's systemd.
maintainer() { # SCRIPT ARGS...
    env DPKG_ROOT="$root" DPKG_MAINTSCRIPT_PACKAGE=mavrel DPKG_MAINTSCRIPT_NAME="$1" \
        "$work/control/$@" || fail "$* exited $?"
}
links=$root/etc/systemd/system
socket_link=$links/sockets.target.wants/mavrel-catalogue-server.socket
service_link=$links/multi-user.target.wants/mavrel-catalogue-server.service
maintainer postinst configure
[ -L "$socket_link" ] && [ -L "$service_link" ] || fail "postinst enabled: $(find "$links")"
# An administrator's disable survives an upgrade.
rm "$service_link"
maintainer postinst configure "$version"
[ ! -e "$service_link" ] || fail "an upgrade enabled the disabled service again"
maintainer prerm remove
maintainer postrm remove
maintainer postrm purge
[ -z "$(find "$links" -name 'mavrel-*')" ] || fail "purge left $(find "$links" -name 'mavrel-*')"

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
