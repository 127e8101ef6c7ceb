# What `cmake --install` puts on a Mac and how CPack wraps it: Quillon.app with Qt
# deployed into it (macdeployqt, through Qt's deployment script) and signed ad hoc, in a
# disk image to drag to Applications. The tools and the tests stay out.
install(TARGETS quillon BUNDLE DESTINATION . COMPONENT quillon)
qt_generate_deploy_app_script(TARGET quillon OUTPUT_SCRIPT QUILLON_DEPLOY_SCRIPT NO_UNSUPPORTED_PLATFORM_ERROR)
install(SCRIPT ${QUILLON_DEPLOY_SCRIPT} COMPONENT quillon)
# Deploying rewrote the executable's and the frameworks' load commands, which breaks the
# linker's signature; an unsigned binary does not start on Apple silicon.
install(CODE [[
  execute_process(COMMAND codesign --force --deep --sign - "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/Quillon.app"
    COMMAND_ERROR_IS_FATAL ANY)
]] COMPONENT quillon)

set(CPACK_PACKAGE_NAME Quillon)
set(CPACK_PACKAGE_VENDOR "Quillon")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Notch app switcher for the menu bar")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME Quillon-${PROJECT_VERSION})
set(CPACK_GENERATOR DragNDrop)
set(CPACK_DMG_VOLUME_NAME Quillon)
set(CPACK_DMG_FORMAT UDZO)
set(CPACK_INSTALL_CMAKE_PROJECTS "${PROJECT_BINARY_DIR};${PROJECT_NAME};quillon;/")
include(CPack)
