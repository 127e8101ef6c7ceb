# Fails when a file of the core includes a layer above its own, or a header that only
# Linux (or only a desktop toolkit) has. Run as `cmake -DCORE_DIR=... -P check_core_layers.cmake`;
# the core library depends on it, so a back-edge breaks the build rather than rotting.
#
# Layers, lowest first. A file may include its own layer and any lower one.
set(QUILLON_CORE_LAYERS
  "support"
  "async localization"
  "storage/files"
  "storage/plist"
  "platform"
  "bundle display"
  "storage/registry storage/preferences storage/onboarding"
  "capture"
  "switching overlay"
  "input windows"
  "app")

get_filename_component(CORE_DIR "${CORE_DIR}" ABSOLUTE)
set(rank 0)
foreach(group IN LISTS QUILLON_CORE_LAYERS)
  string(REPLACE " " ";" members "${group}")
  foreach(layer IN LISTS members)
    set(rank_${layer} ${rank})
    list(APPEND known_layers ${layer})
  endforeach()
  math(EXPR rank "${rank} + 1")
endforeach()
# Longest names first, so storage/files is not taken for a layer named storage.
list(SORT known_layers COMPARE STRING ORDER DESCENDING)

function(layer_of path out)
  foreach(layer IN LISTS known_layers)
    if(path MATCHES "^${layer}/")
      set(${out} ${layer} PARENT_SCOPE)
      return()
    endif()
  endforeach()
  set(${out} "" PARENT_SCOPE)
endfunction()

# Headers that exist only on Linux or only on Apple platforms, or belong to a toolkit or
# a window system.
set(forbidden_system_headers
  "^linux/" "^sys/(epoll|signalfd|timerfd|eventfd|inotify|prctl|syscall|random|sysmacros|pidfd)\\.h$"
  "^(Q[A-Za-z]+|qt[a-z]*/)" "^(X11|xcb)/"
  "^(Cocoa|AppKit|Foundation|CoreFoundation|CoreGraphics|CoreServices|CoreVideo|ApplicationServices|ScreenCaptureKit|ServiceManagement|QuartzCore|ImageIO|IOKit|Carbon)/"
  "^(objc|os|dispatch|mach|libproc|Availability)[/.]" "^TargetConditionals\\.h$")

file(GLOB_RECURSE sources RELATIVE "${CORE_DIR}" "${CORE_DIR}/*.h" "${CORE_DIR}/*.cpp")
set(problems "")
foreach(source IN LISTS sources)
  layer_of("${source}" source_layer)
  if(source_layer STREQUAL "")
    string(APPEND problems "\n  ${source}: not in any known layer")
    continue()
  endif()
  file(STRINGS "${CORE_DIR}/${source}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
  foreach(line IN LISTS includes)
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*[<\"]([^>\"]+)[>\"].*" "\\1" header "${line}")
    foreach(pattern IN LISTS forbidden_system_headers)
      if(header MATCHES "${pattern}")
        string(APPEND problems "\n  ${source}: includes <${header}>, which the portable core cannot use")
      endif()
    endforeach()
    if(header MATCHES "^core/(.*)$")
      layer_of("${CMAKE_MATCH_1}" target_layer)
      if(target_layer STREQUAL "")
        string(APPEND problems "\n  ${source}: includes ${header}, outside every layer")
      elseif(NOT target_layer STREQUAL source_layer AND NOT rank_${target_layer} LESS rank_${source_layer})
        string(APPEND problems "\n  ${source} (${source_layer}): includes ${header} from the higher layer ${target_layer}")
      endif()
    endif()
  endforeach()
endforeach()
if(problems)
  message(FATAL_ERROR "The core's layering is broken:${problems}")
endif()
