# `cmake --build build --target package`: a Debian package of the program.
# The program folder goes to /usr/lib/sonaro (the files beside the program are
# the read-only defaults; every user gets their own in the XDG folders), with
# /usr/bin/sonaro pointing at it and the desktop entry and icon where a
# desktop looks for them. cmake/deb_layout.cmake moves them there.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME sonaro)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(SONARO_MAINTAINER "Sonaro developers <sonaro@example.org>"
    CACHE STRING "The Debian package's maintainer (name <mail>)")
set(CPACK_PACKAGE_CONTACT "${SONARO_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "reads a live stream's chat aloud")
set(CPACK_PACKAGE_DESCRIPTION "Sonaro joins a live-stream room's public chat (Bilibili live, Douyu, and
historic platforms through a built-in demo room) and reads chat lines, gifts
and room entries aloud as short Chinese announcements, one at a time.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr/lib/sonaro)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the program links come from dpkg-shlibdeps; what it loads at
# run time is named here: the desktop's Qt platform plugins, Qt's own Chinese
# texts ("确定") and the voices' data.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, qt6-translations-l10n, espeak-ng-data")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "espeak-ng")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/deb_layout.cmake)
set(CPACK_SONARO_SOURCE_DIR ${PROJECT_SOURCE_DIR})
include(CPack)
