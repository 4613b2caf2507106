# What `cmake --install` puts where, and the Debian package (`cpack -G DEB` in the build folder).
# Paths are fixed to the usual bin/ and share/ under the prefix: the viewer finds its shipped
# files as ../share/mavrel from its own folder, so an unpacked package works where it lands.

set(MAVREL_APP_ID "example.brintover.Mavrel" CACHE STRING
    "Reverse-DNS id of the viewer's desktop file, icon and metainfo")
set(MAVREL_PRODUCT_NAME "Mavrel")
set(MAVREL_COMPANY_NAME "Brintover")
target_compile_definitions(mavrel PRIVATE MAVREL_APP_ID="${MAVREL_APP_ID}")

# A copy run from the build tree keeps its own folder as application folder; installs leave the
# marker out.
set(_marker ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/mavrel.portable)
add_custom_command(OUTPUT ${_marker}
    COMMAND ${CMAKE_COMMAND} -E echo "Marks a portable copy: the viewer keeps its files here."
            > ${_marker}
    COMMENT "Marking the build tree as a portable copy")
add_custom_target(mavrel_portable_marker ALL DEPENDS ${_marker})
add_dependencies(mavrel mavrel_portable_marker)

set(_art ${CMAKE_SOURCE_DIR}/src/branding/ui/artwork)
set(_pkg ${CMAKE_SOURCE_DIR}/packaging)
set(_out ${CMAKE_BINARY_DIR}/packaging)

install(TARGETS mavrel catalogue-server RUNTIME DESTINATION bin)
install(FILES ${CMAKE_SOURCE_DIR}/src/branding/ui/Help.html
              ${CMAKE_SOURCE_DIR}/src/branding/ui/Help.de.html
              ${CMAKE_SOURCE_DIR}/src/branding/ui/Help.es.html
              ${CMAKE_SOURCE_DIR}/src/branding/ui/Help.fr.html
              ${CMAKE_SOURCE_DIR}/src/branding/ui/Help.css
              ${CMAKE_SOURCE_DIR}/src/localization/Localization.txt
        DESTINATION share/mavrel)

configure_file(${_pkg}/mavrel.desktop.in ${_out}/${MAVREL_APP_ID}.desktop @ONLY)
configure_file(${_pkg}/mavrel.metainfo.xml.in ${_out}/${MAVREL_APP_ID}.metainfo.xml @ONLY)
install(FILES ${_out}/${MAVREL_APP_ID}.desktop DESTINATION share/applications)
install(FILES ${_out}/${MAVREL_APP_ID}.metainfo.xml DESTINATION share/metainfo)

foreach(size 16 24 32 48 64 128 256)
    install(FILES ${_art}/png/AAA-${size}.png
            DESTINATION share/icons/hicolor/${size}x${size}/apps RENAME ${MAVREL_APP_ID}.png)
endforeach()
install(FILES ${_art}/icon.svg
        DESTINATION share/icons/hicolor/scalable/apps RENAME ${MAVREL_APP_ID}.svg)

# Manual pages, compressed as Debian expects (-n: no time stamp, so rebuilds are identical).
set(_manpages)
foreach(page mavrel catalogue-server)
    configure_file(${_pkg}/man/${page}.1.in ${_out}/${page}.1 @ONLY)
    add_custom_command(OUTPUT ${_out}/${page}.1.gz
        COMMAND gzip -9nc ${_out}/${page}.1 > ${_out}/${page}.1.gz
        DEPENDS ${_out}/${page}.1)
    list(APPEND _manpages ${_out}/${page}.1.gz)
endforeach()
add_custom_target(mavrel_manpages ALL DEPENDS ${_manpages})
install(FILES ${_manpages} DESTINATION share/man/man1)

# The units name the server and its configuration file by their installed paths, known only
# when installing (--prefix). Under /usr the configuration goes to /etc, as packages do. An
# existing configuration file is kept: it is the administrator's.
set(_units mavrel-catalogue-server.service mavrel-catalogue-server.socket)
install(CODE "
    set(BINDIR \"\${CMAKE_INSTALL_PREFIX}/bin\")
    set(SYSCONFDIR \"\${CMAKE_INSTALL_PREFIX}/etc\")
    if(CMAKE_INSTALL_PREFIX STREQUAL \"/usr\")
        set(SYSCONFDIR /etc)
    endif()
    set(MAVREL_PRODUCT_NAME \"${MAVREL_PRODUCT_NAME}\")
    foreach(unit ${_units})
        configure_file(\"${_pkg}/systemd/\${unit}.in\" \"${_out}/\${unit}\" @ONLY)
        file(INSTALL DESTINATION \"\${CMAKE_INSTALL_PREFIX}/lib/systemd/system\" TYPE FILE
             FILES \"${_out}/\${unit}\")
    endforeach()
    if(NOT EXISTS \"\$ENV{DESTDIR}\${SYSCONFDIR}/mavrel/catalogue-server.conf\")
        file(INSTALL DESTINATION \"\${SYSCONFDIR}/mavrel\" TYPE FILE
             FILES \"${_pkg}/catalogue-server.conf\")
    endif()
")

# The Debian package. Depends come from the libraries the programs link (dpkg-shlibdeps); the
# plug-ins they load at run time link nothing, so they are named here.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME mavrel)
set(CPACK_PACKAGE_VENDOR ${MAVREL_COMPANY_NAME})
string(REGEX REPLACE "^www\\." "" _domain "${MAVREL_SITE_NAME}")
set(CPACK_PACKAGE_CONTACT "${MAVREL_COMPANY_NAME} <support@${_domain}>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "viewer for internet television, radio and video streams")
set(CPACK_PACKAGE_DESCRIPTION "A desktop viewer for internet television, radio and video \
streams, with favourites, ratings, catalogue updates, a video-site browser and channel \
submission, and the catalogue server it talks to.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://${MAVREL_SITE_NAME}/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "qt6-qpa-plugins, libqt6sql6-sqlite, vlc-plugin-base, vlc-plugin-video-output")
# Without libvlc-bin every player start rebuilds the plug-in cache (about 100 ms); without the
# Qt translations standard buttons and the file chooser stay in English.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libvlc-bin, qt6-translations-l10n")
# Maintainer scripts that enable the catalogue server's socket and service; its configuration
# file is a conffile, so an upgrade keeps the administrator's edits.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${_pkg}/debian/postinst ${_pkg}/debian/prerm ${_pkg}/debian/postrm ${_pkg}/debian/conffiles)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
