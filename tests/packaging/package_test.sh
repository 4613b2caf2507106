#!/usr/bin/env bash
# Builds the Debian package from the build tree, checks its files and Depends, unpacks it and
# runs what it holds.
set -euo pipefail
build=$1 app_id=$2 version=$3
source "$(dirname "$0")/common.sh"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log"; fail "cpack"; }
deb=$work/mavrel_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || { ls "$work"; fail "no $deb"; }

dpkg-deb -c "$deb" | awk '{print $6}' >"$work/contents"
for f in $(installed_files "$app_id"); do
    grep -qx "./usr/$f" "$work/contents" || fail "package lacks /usr/$f"
done
! grep -v '^\./usr/' "$work/contents" || fail "package puts files outside /usr"
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
echo "package test passed"
