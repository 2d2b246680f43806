# Protocol code for the Wayland clients here, made by wayland-scanner: KWin's fake input from Debian's
# plasma-wayland-protocols, xdg-shell (which the layer shell refers to) from wayland-protocols; the
# wlroots and ext ones, which Debian 12 does not package, from
# protocols/ beside this file. Sets waylandProtocolSources and waylandProtocolIncludeDir.
find_package(PlasmaWaylandProtocols REQUIRED)
pkg_get_variable(WAYLAND_SCANNER wayland-scanner wayland_scanner)
pkg_get_variable(WAYLAND_PROTOCOLS_DIR wayland-protocols pkgdatadir)
set(waylandProtocolIncludeDir ${CMAKE_CURRENT_BINARY_DIR}/wayland-protocols)
file(MAKE_DIRECTORY ${waylandProtocolIncludeDir})
set(waylandProtocolSources)
foreach(xml IN ITEMS
    ${PLASMA_WAYLAND_PROTOCOLS_DIR}/fake-input.xml
    ${WAYLAND_PROTOCOLS_DIR}/stable/xdg-shell/xdg-shell.xml
    ${CMAKE_CURRENT_LIST_DIR}/protocols/virtual-keyboard-unstable-v1.xml
    ${CMAKE_CURRENT_LIST_DIR}/protocols/wlr-data-control-unstable-v1.xml
    ${CMAKE_CURRENT_LIST_DIR}/protocols/ext-data-control-v1.xml
    ${CMAKE_CURRENT_LIST_DIR}/protocols/wlr-layer-shell-unstable-v1.xml)
  get_filename_component(name ${xml} NAME_WE)
  set(header ${waylandProtocolIncludeDir}/${name}-client-protocol.h)
  set(code ${waylandProtocolIncludeDir}/${name}-protocol.c)
  add_custom_command(OUTPUT ${header} COMMAND ${WAYLAND_SCANNER} client-header ${xml} ${header} DEPENDS ${xml})
  add_custom_command(OUTPUT ${code} COMMAND ${WAYLAND_SCANNER} private-code ${xml} ${code} DEPENDS ${xml})
  list(APPEND waylandProtocolSources ${header} ${code})
endforeach()
