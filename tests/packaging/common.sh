# Shared by the packaging tests.
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# Every file the desktop, the manual and systemd look for, relative to the prefix.
installed_files() {
    local app_id=$1
    echo bin/mavrel bin/catalogue-server share/mavrel/Localization.txt \
        share/mavrel/Help.html share/mavrel/Help.de.html share/mavrel/Help.es.html \
        share/mavrel/Help.fr.html share/mavrel/Help.css \
        share/applications/$app_id.desktop share/metainfo/$app_id.metainfo.xml \
        share/icons/hicolor/scalable/apps/$app_id.svg \
        share/man/man1/mavrel.1.gz share/man/man1/catalogue-server.1.gz \
        lib/systemd/system/mavrel-catalogue-server.service \
        lib/systemd/system/mavrel-catalogue-server.socket
    for size in 16 24 32 48 64 128 256; do
        echo share/icons/hicolor/${size}x$size/apps/$app_id.png
    done
}

# Both programs answer --version with their name and the version, and need no display for it.
check_versions() {
    local bin=$1 version=$2 program out
    for program in mavrel catalogue-server; do
        out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$bin/$program" --version) ||
            fail "$program --version failed"
        [ "$out" = "$program $version" ] || fail "$program --version said '$out'"
    done
}
