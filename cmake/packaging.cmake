# What `cmake --install` puts on a system and how CPack wraps it as a Debian package:
# the executable, its desktop entry and its icon. The sample notch apps, the tools and
# the tests are for development and stay out.
include(GNUInstallDirs)

install(TARGETS quillon RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT quillon)
install(FILES ${PROJECT_SOURCE_DIR}/resources/linux/quillon.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT quillon)
install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/quillon.png
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps COMPONENT quillon)

set(CPACK_PACKAGE_NAME quillon)
set(CPACK_PACKAGE_VENDOR "Quillon")
set(CPACK_PACKAGE_CONTACT "Quillon developers <quillon@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Notch app switcher for the system tray")
set(CPACK_PACKAGE_DESCRIPTION "Keeps a registry of notch apps and switches between them, from its tray menu or by a modifier chord and a horizontal scroll over the expanded notch.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_INSTALL_DIRECTORY quillon)
set(CPACK_GENERATOR DEB)
# Only the product's own component: a target that a dependency declares installable
# (a test framework, say) never ends up in the package.
set(CPACK_INSTALL_CMAKE_PROJECTS "${PROJECT_BINARY_DIR};${PROJECT_NAME};quillon;/")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# A release package carries no debug information: a fifth of the size, and the
# compression step in CI gets that much shorter.
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://quillon.invalid/")
# The libraries come from the linked executable; the X11 platform plugin and the image
# format plugins (app icons in ".icns") are loaded at run time, so no linker dependency
# names them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, qt6-image-formats-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk")
include(CPack)
