#!/usr/bin/env bash
# Installs into a temporary DESTDIR, validates what the desktop reads, and starts the installed
# viewer as a new user: it must make its own folder and leave the installed tree alone.
set -euo pipefail
build=$1 app_id=$2 version=$3
source "$(dirname "$0")/common.sh"

work=$(mktemp -d)
viewer=
cleanup() {
    [ -z "$viewer" ] || kill -KILL "$viewer" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

dest=$work/dest
DESTDIR=$dest cmake --install "$build" --prefix /usr >"$work/install.log" ||
    { cat "$work/install.log"; fail "cmake --install"; }
usr=$dest/usr

for f in $(installed_files "$app_id"); do
    [ -s "$usr/$f" ] || fail "not installed: $f"
done
[ ! -e "$usr/bin/mavrel.portable" ] || fail "the portable marker was installed"
for png in "$usr"/share/icons/hicolor/*x*/apps/$app_id.png; do
    size=$(basename "$(dirname "$(dirname "$png")")")
    # A PNG's width and height are big-endian words at byte 16.
    [ "$(od -An -tu4 --endian=big -j16 -N8 "$png" | xargs | tr ' ' x)" = "$size" ] ||
        fail "icon $png is not $size"
done

desktop=$usr/share/applications/$app_id.desktop
desktop-file-validate "$desktop" || fail "desktop-file-validate"
grep -qx "Icon=$app_id" "$desktop" || fail "desktop file names another icon"
[ -x "$usr/bin/$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")" ] || fail "Exec is not installed"
grep -qx 'Exec=[^ ]* %U' "$desktop" || fail "Exec takes no URLs"
for type in audio/x-mpegurl application/vnd.apple.mpegurl audio/x-scpls video/x-ms-asf \
    application/xspf+xml x-scheme-handler/{mms,rtsp,rtmp}; do
    grep -q "^MimeType=\(.*;\)\?$type;" "$desktop" || fail "desktop file lacks MimeType $type"
done

appstreamcli validate --no-net "$usr/share/metainfo/$app_id.metainfo.xml" >"$work/as.log" 2>&1 ||
    { cat "$work/as.log"; fail "appstreamcli validate"; }
! grep -E '^[EW]:' "$work/as.log" || fail "metainfo has errors or warnings"
grep -q '<screenshot type="default">' "$usr/share/metainfo/$app_id.metainfo.xml" ||
    fail "metainfo has no screenshot"

unit=$usr/lib/systemd/system/mavrel-catalogue-server.service
for line in "ExecStart=/usr/bin/catalogue-server serve --db /var/lib/mavrel-catalogue/" \
    DynamicUser=yes StateDirectory=mavrel-catalogue ProtectSystem=strict NoNewPrivileges=yes; do
    grep -q "^$line" "$unit" || fail "unit lacks $line"
done

# The manual pages document every option of --help, and the server's exit codes.
for program in mavrel catalogue-server; do
    page=$(zcat "$usr/share/man/man1/$program.1.gz" | sed 's/\\-/-/g')
    for option in $("$usr/bin/$program" --help | grep -o -- '--[a-z-]*[a-z]' | sort -u); do
        grep -q -- "$option" <<<"$page" || fail "$program.1 does not document $option"
    done
done
codes=$("$usr/bin/catalogue-server" --help | grep -i '^exit codes:' | grep -o '\b[0-9]\b')
[ -n "$codes" ] || fail "catalogue-server --help names no exit codes"
for code in $codes; do
    zcat "$usr/share/man/man1/catalogue-server.1.gz" | grep -qx "\.B $code" ||
        fail "catalogue-server.1 does not document exit code $code"
done

check_versions "$usr/bin" "$version"
"$usr/bin/mavrel" --help | grep -qF "Usage: mavrel [OPTION…] [FILE|URL…]" ||
    fail "--help shows no usage with files and addresses"
status=0
QT_QPA_PLATFORM=offscreen "$usr/bin/mavrel" --no-such-option 2>"$work/err" || status=$?
[ "$status" = 2 ] && grep -q "no-such-option" "$work/err" || fail "an unknown option gave $status"

# First start of a new user. Nothing may be written into the installed tree.
snapshot() { (cd "$dest" && find . -printf '%p %y %m %s %T@\n' | sort); }
snapshot >"$work/before"
home=$work/home
mkdir -p "$home" "$work/runtime"
chmod 700 "$work/runtime"
# In a sanitizer build the libraries' lifetime allocations would end the viewer non-zero.
# A closed port for both servers: the default address may be a developer's own server.
env -i PATH="$PATH" HOME="$home" XDG_RUNTIME_DIR="$work/runtime" QT_QPA_PLATFORM=offscreen \
    MAVREL_CATALOGUE_URL=http://127.0.0.1:9 MAVREL_VIDEOSITE_URL=http://127.0.0.1:9 \
    MAVREL_NO_SOUND=1 ASAN_OPTIONS=detect_leaks=0:new_delete_type_mismatch=0 \
    "$usr/bin/mavrel" >"$work/viewer.log" 2>&1 &
viewer=$!
folder=$home/.local/share/Mavrel
for _ in $(seq 600); do
    [ -s "$folder/youtube.html" ] && break
    kill -0 "$viewer" 2>/dev/null || { cat "$work/viewer.log"; fail "the viewer ended by itself"; }
    sleep 0.1
done
[ -s "$folder/youtube.html" ] || { cat "$work/viewer.log"; fail "no youtube.html in $folder"; }

# A second start hands over to the running viewer and ends without a word.
env -i PATH="$PATH" HOME="$home" XDG_RUNTIME_DIR="$work/runtime" QT_QPA_PLATFORM=offscreen \
    ASAN_OPTIONS=detect_leaks=0 timeout 60 "$usr/bin/mavrel" >"$work/second.log" 2>&1 &&
    [ ! -s "$work/second.log" ] || { cat "$work/second.log"; fail "a second start failed"; }

# A session ending sends SIGTERM: the viewer closes as File > Exit does and exits 0.
kill -TERM "$viewer"
for _ in $(seq 300); do
    kill -0 "$viewer" 2>/dev/null || break
    sleep 0.1
done
kill -0 "$viewer" 2>/dev/null && fail "the viewer did not end on SIGTERM"
status=0
wait "$viewer" || status=$?
viewer=
[ "$status" = 0 ] || { cat "$work/viewer.log"; fail "the viewer exited $status on SIGTERM"; }

for shipped in Help.html Help.de.html Help.es.html Help.fr.html Help.css Localization.txt; do
    cmp -s "$folder/$shipped" "$usr/share/mavrel/$shipped" || fail "$shipped not copied to $folder"
done
grep -q 'Please select a video' "$folder/youtube.html" || fail "youtube.html has other content"
snapshot | diff "$work/before" - || fail "the installed tree changed"
echo "install test passed"
