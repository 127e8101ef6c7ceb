# Two checks that the core stays portable, built and run with the tests.
#
# quillon_core_header_check compiles every header of the core alone, in a translation
# unit of its own that includes nothing before it and defines nothing: a header that
# leans on an include or a definition its includer happened to provide (a feature-test
# macro, a platform's own header) fails to build here, on whichever platform builds it.
#
# core_layers_refuse_<header> feed the layer check a core that includes an Apple header
# and pass only when it names that include as the fault; a check that let everything
# through would fail them.
function(quillon_add_core_portability_checks)
  file(GLOB_RECURSE headers RELATIVE ${PROJECT_SOURCE_DIR}/src CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/core/*.h)
  set(units "")
  foreach(header IN LISTS headers)
    string(MAKE_C_IDENTIFIER "${header}" name)
    set(unit ${CMAKE_CURRENT_BINARY_DIR}/core_headers/${name}.cpp)
    file(CONFIGURE OUTPUT ${unit} CONTENT "#include \"${header}\"\n")
    list(APPEND units ${unit})
  endforeach()
  if(QUILLON_HEADER_CHECK)
    add_library(quillon_core_header_check OBJECT ${units})
    target_include_directories(quillon_core_header_check PRIVATE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(quillon_core_header_check PRIVATE quillon_warnings fmt::fmt)
    # Only whether each header compiles counts: no code worth optimising, no debug info.
    target_compile_options(quillon_core_header_check PRIVATE -O0 -g0)
  endif()

  foreach(apple_header Foundation/Foundation.h CoreGraphics/CoreGraphics.h ScreenCaptureKit/ScreenCaptureKit.h
                       os/log.h objc/runtime.h dispatch/dispatch.h TargetConditionals.h)
    string(MAKE_C_IDENTIFIER "${apple_header}" name)
    set(fixture ${CMAKE_CURRENT_BINARY_DIR}/layer_fixtures/${name})
    file(CONFIGURE OUTPUT ${fixture}/support/platform_value.h CONTENT "#pragma once\n#include <${apple_header}>\n")
    add_test(NAME core_layers_refuse_${name}
      COMMAND ${CMAKE_COMMAND} -DCORE_DIR=${fixture} -P ${PROJECT_SOURCE_DIR}/cmake/check_core_layers.cmake)
    string(REPLACE "." "\\." pattern "support/platform_value.h: includes <${apple_header}>")
    set_tests_properties(core_layers_refuse_${name} PROPERTIES PASS_REGULAR_EXPRESSION "${pattern}" LABELS core)
  endforeach()
endfunction()
