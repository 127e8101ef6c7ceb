# Fails when a file of the core includes a layer above its own, anything outside the
# core, or a header that only Linux (or only a desktop toolkit) has; and when a file of
# the desktop toolkit layer, which Linux and macOS share, includes a platform's own
# adapters, the executable, or a header of one window system. Run as
# `cmake -DCORE_DIR=... [-DDESKTOP_DIR=...] -P check_core_layers.cmake`; the libraries
# depend on it, so a back-edge breaks the build rather than rotting.
#
# Layers, lowest first. A file may include its own layer and any lower one.
set(QUILLON_CORE_LAYERS
  "support"
  "async localization"
  "storage/files"
  "storage/plist"
  "platform"
  "bundle display"
  "records/registry records/preferences records/onboarding"
  "capture"
  "switching overlay"
  "input view_models"
  "product")

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

# Headers that exist only on Linux or only on Apple platforms, or belong to one window
# system; the core also keeps out every toolkit header.
set(platform_only_headers
  "^linux/" "^sys/(epoll|signalfd|timerfd|eventfd|inotify|prctl|syscall|random|sysmacros|pidfd)\\.h$"
  "^(X11|xcb)/"
  "^(Cocoa|AppKit|Foundation|CoreFoundation|CoreGraphics|CoreServices|CoreVideo|ApplicationServices|ScreenCaptureKit|ServiceManagement|QuartzCore|ImageIO|IOKit|Carbon)/"
  "^(objc|os|dispatch|mach|libproc|Availability)[/.]" "^TargetConditionals\\.h$")
set(toolkit_headers "^(Q[A-Za-z]+|qt[a-z]*/)")

# The includes of every file under `dir`, as "<file>|<"header"|<header>>" entries.
function(includes_of dir out)
  file(GLOB_RECURSE sources RELATIVE "${dir}" "${dir}/*.h" "${dir}/*.cpp" "${dir}/*.mm")
  set(result "")
  foreach(source IN LISTS sources)
    file(STRINGS "${dir}/${source}" lines REGEX "^[ \t]*#[ \t]*(include|import)[ \t]*[<\"]")
    foreach(line IN LISTS lines)
      string(REGEX REPLACE "^[ \t]*#[ \t]*(include|import)[ \t]*([<\"][^>\"]+[>\"]).*" "\\2" header "${line}")
      list(APPEND result "${source}|${header}")
    endforeach()
  endforeach()
  set(${out} "${result}" PARENT_SCOPE)
endfunction()

set(problems "")

if(DEFINED CORE_DIR)
  get_filename_component(CORE_DIR "${CORE_DIR}" ABSOLUTE)
  file(GLOB_RECURSE sources RELATIVE "${CORE_DIR}" "${CORE_DIR}/*.h" "${CORE_DIR}/*.cpp")
  foreach(source IN LISTS sources)
    layer_of("${source}" source_layer)
    if(source_layer STREQUAL "")
      string(APPEND problems "\n  ${source}: not in any known layer")
    endif()
  endforeach()
  includes_of("${CORE_DIR}" entries)
  foreach(entry IN LISTS entries)
    string(REGEX REPLACE "\\|.*" "" source "${entry}")
    string(REGEX REPLACE "^[^|]*\\|" "" spelled "${entry}")
    string(REGEX REPLACE "^[<\"](.*)[>\"]$" "\\1" header "${spelled}")
    layer_of("${source}" source_layer)
    if(spelled MATCHES "^<")
      foreach(pattern IN LISTS platform_only_headers toolkit_headers)
        if(header MATCHES "${pattern}")
          string(APPEND problems "\n  ${source}: includes <${header}>, which the portable core cannot use")
        endif()
      endforeach()
    elseif(NOT header MATCHES "^core/" OR header MATCHES "(^|/)\\.\\.?/")
      # Spelled from the source root, so that a path relative to the file cannot walk
      # out of the core (or into a higher layer) unseen.
      string(APPEND problems "\n  ${source}: includes \"${header}\", which is not a core header spelled from src/")
    elseif(NOT source_layer STREQUAL "")
      string(REGEX REPLACE "^core/" "" inside "${header}")
      layer_of("${inside}" target_layer)
      if(target_layer STREQUAL "")
        string(APPEND problems "\n  ${source}: includes ${header}, outside every layer")
      elseif(NOT target_layer STREQUAL source_layer AND NOT rank_${target_layer} LESS rank_${source_layer})
        string(APPEND problems "\n  ${source} (${source_layer}): includes ${header} from the higher layer ${target_layer}")
      endif()
    endif()
  endforeach()
endif()

if(DEFINED DESKTOP_DIR)
  get_filename_component(DESKTOP_DIR "${DESKTOP_DIR}" ABSOLUTE)
  includes_of("${DESKTOP_DIR}" entries)
  foreach(entry IN LISTS entries)
    string(REGEX REPLACE "\\|.*" "" source "${entry}")
    string(REGEX REPLACE "^[^|]*\\|" "" spelled "${entry}")
    string(REGEX REPLACE "^[<\"](.*)[>\"]$" "\\1" header "${spelled}")
    if(spelled MATCHES "^<")
      foreach(pattern IN LISTS platform_only_headers)
        if(header MATCHES "${pattern}")
          string(APPEND problems "\n  desktop/${source}: includes <${header}>, which one platform lacks")
        endif()
      endforeach()
    elseif(NOT header MATCHES "^(core|desktop)/" OR header MATCHES "(^|/)\\.\\.?/")
      string(APPEND problems "\n  desktop/${source}: includes \"${header}\"; the toolkit layer sees only the core and itself")
    endif()
  endforeach()
endif()

if(problems)
  message(FATAL_ERROR "The layering is broken:${problems}")
endif()
