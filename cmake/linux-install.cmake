# Installing the Linux program: the binary, its menu entry and its icon in the hicolor
# sizes; `cpack -G DEB` packs the same into a Debian package whose dependencies come
# from the libraries the binary links (dpkg-shlibdeps).
include(GNUInstallDirs)
install(TARGETS vimo RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_SOURCE_DIR}/data/vimo.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
foreach(size 16 32 48 64 128 256)
  install(FILES ${CMAKE_SOURCE_DIR}/data/icons/hicolor/${size}x${size}/apps/vimo.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()

set(CPACK_PACKAGE_NAME vimo)
set(CPACK_PACKAGE_VENDOR "Vimo")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Screen magnifier for checking pixels on X11 desktops")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Vimo developers <vimo@vimo.example.org>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://${VIMO_HOMEPAGE}")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Screen magnifier for checking pixels on X11 desktops\n A window shows the screen around the mouse pointer enlarged 1 to 10 times,\n redrawn every 15 ms, with a pixel grid, a locked view, pixel distances\n between two points and a slowed pointer inside the locked area.")
include(CPack)
