# Quillon.app: the executable, its Info.plist, its icon and the string tables. Qt is
# deployed into the bundle and the bundle signed when it is installed (see
# packaging_mac.cmake), since both rewrite the files a build would otherwise redo.
function(quillon_make_bundle target)
  find_program(QUILLON_SIPS sips REQUIRED)
  find_program(QUILLON_ICONUTIL iconutil REQUIRED)
  set(iconset ${CMAKE_CURRENT_BINARY_DIR}/Quillon.iconset)
  set(icns ${CMAKE_CURRENT_BINARY_DIR}/Quillon.icns)
  set(source_icon ${PROJECT_SOURCE_DIR}/resources/icons/quillon.png)
  set(commands COMMAND ${CMAKE_COMMAND} -E make_directory ${iconset})
  foreach(size 16 32 128 256 512)
    math(EXPR double "${size} * 2")
    list(APPEND commands
      COMMAND ${QUILLON_SIPS} -z ${size} ${size} ${source_icon} --out ${iconset}/icon_${size}x${size}.png
      COMMAND ${QUILLON_SIPS} -z ${double} ${double} ${source_icon} --out ${iconset}/icon_${size}x${size}@2x.png)
  endforeach()
  add_custom_command(OUTPUT ${icns} ${commands}
    COMMAND ${QUILLON_ICONUTIL} -c icns -o ${icns} ${iconset}
    DEPENDS ${source_icon} COMMENT "Making the bundle icon" VERBATIM)
  set_source_files_properties(${icns} PROPERTIES MACOSX_PACKAGE_LOCATION Resources)
  target_sources(${target} PRIVATE ${icns})
  foreach(language ja en)
    set(table ${PROJECT_SOURCE_DIR}/resources/${language}.lproj/Localizable.strings)
    set_source_files_properties(${table} PROPERTIES MACOSX_PACKAGE_LOCATION Resources/${language}.lproj)
    target_sources(${target} PRIVATE ${table})
  endforeach()
  set_target_properties(${target} PROPERTIES
    OUTPUT_NAME Quillon
    MACOSX_BUNDLE_INFO_PLIST ${PROJECT_SOURCE_DIR}/resources/mac/Info.plist.in
    MACOSX_BUNDLE_BUNDLE_NAME Quillon
    MACOSX_BUNDLE_GUI_IDENTIFIER com.quillon.app
    MACOSX_BUNDLE_SHORT_VERSION_STRING ${PROJECT_VERSION}
    MACOSX_BUNDLE_BUNDLE_VERSION ${PROJECT_VERSION}
    MACOSX_BUNDLE_ICON_FILE Quillon.icns
    MACOSX_BUNDLE_COPYRIGHT "Quillon developers")
endfunction()
