# The Debian package: CPack's DEB generator over everything the install rules install, with the
# prefix /usr. scripts/package.sh builds it (cpack --config <build tree>/CPackConfig.cmake).
# The package holds the application: the install rules without a component of their own. The
# speech library's shared objects, headers and program (component "library") install with
# `cmake --install` but stay out of it: shared libraries in a Debian package belong in packages
# named after their sonames.

set(PARLOQUIN_PACKAGE_MAINTAINER "The Parloquin developers <parloquin@example.org>" CACHE STRING
    "Maintainer of the Debian package, as \"Name <address>\"")

# The package's changelog, compressed as Debian keeps it (no name or time in the gzip header).
configure_file(${CMAKE_CURRENT_LIST_DIR}/changelog.in changelog @ONLY)
add_custom_command(OUTPUT changelog.gz
  COMMAND sh -c "gzip -9n < changelog > changelog.gz"
  DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/changelog
  VERBATIM)
add_custom_target(parloquin_changelog ALL DEPENDS changelog.gz)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/parloquin)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME parloquin)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Parloquin developers")
set(CPACK_PACKAGE_CONTACT "${PARLOQUIN_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "on-device dictation for the Linux desktop")
# The installs run with DESTDIR into CPack's staging folder and the prefix /usr, so that what the
# install rules write from the prefix (the menu entry's command) names /usr.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# parloquin_<version>_<architecture>.deb
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${PARLOQUIN_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The extended description below the summary (CPack indents its lines).
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Press a global hotkey or hold a modifier key, speak, and release: Parloquin
records the microphone, transcribes the speech on this computer and pastes
the text at the cursor. It also transcribes audio files and keeps a history
and statistics of the dictations. The speech never leaves the computer; the
network is used only to fetch the speech models on first use.")
# The libraries the programs and the plugin link, with the versions they need, from the
# packages that hold them (dpkg-shlibdeps).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# What is not linked: libtorch must run on OpenBLAS (Debian's default BLAS is the reference one,
# a hundred times slower); Debian 13 keeps Qt's SVG icon plugin apart (without it the icons are
# blank). The sound theme, the fonts of the key symbols and Qt's translations are recommended.
set(parloquinDepends libopenblas0-pthread)
file(STRINGS /etc/os-release osVersion REGEX "^VERSION_ID=")
string(REGEX MATCH "[0-9]+" osVersion "${osVersion}")
if(osVersion STREQUAL "" OR osVersion GREATER_EQUAL 13)
  list(APPEND parloquinDepends qt6-svg-plugins)
endif()
list(JOIN parloquinDepends ", " CPACK_DEBIAN_PACKAGE_DEPENDS)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "sound-theme-freedesktop, fonts-dejavu-core, fonts-noto-color-emoji, qt6-translations-l10n")
# Qt's Wayland platform, for QT_QPA_PLATFORM=wayland.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "qt6-wayland")

set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};${PROJECT_NAME};Unspecified;/")

include(CPack)
