# Feeds the layering check one forbidden include at a time, each in a tree of its own,
# and expects it to fail naming the file; the same trees without the bad line pass.
# Run as `cmake -DCHECK=<check_core_layers.cmake> -DWORK=<scratch directory> -P ...`.
set(cases
  "core|input/a.h|#include \"core/product/b.h\"|higher layer"
  "core|input/a.h|#include \"../product/b.h\"|not a core header"
  "core|input/a.h|#include \"executable/linux_platform.h\"|not a core header"
  "core|input/a.h|#include \"desktop/qt_main_loop.h\"|not a core header"
  "core|input/a.h|#include \"linux/x11_connection.h\"|not a core header"
  "core|input/a.h|#include \"core/input/../product/b.h\"|not a core header"
  "core|input/a.h|#include <QObject>|portable core"
  "core|input/a.h|#include <xcb/xcb.h>|portable core"
  "core|input/a.h|#include <sys/epoll.h>|portable core"
  "core|elsewhere/a.h|#include <vector>|not in any known layer"
  "desktop|qt_a.cpp|#include \"linux/x11_connection.h\"|toolkit layer sees"
  "desktop|qt_a.cpp|#include \"executable/linux_platform.h\"|toolkit layer sees"
  "desktop|qt_a.cpp|#include \"../linux/x11_connection.h\"|toolkit layer sees"
  "desktop|qt_a.cpp|#include <X11/Xlib.h>|one platform lacks")

set(index 0)
foreach(case IN LISTS cases)
  string(REPLACE "|" ";" fields "${case}")
  list(GET fields 0 tree)
  list(GET fields 1 file)
  list(GET fields 2 line)
  list(GET fields 3 expected)
  math(EXPR index "${index} + 1")
  set(root "${WORK}/case${index}")
  file(REMOVE_RECURSE "${root}")
  # Fine beside the bad line: the same layer, a lower one, the standard library.
  file(WRITE "${root}/core/product/b.h" "#pragma once\n#include \"core/input/c.h\"\n")
  file(WRITE "${root}/core/input/c.h" "#pragma once\n#include <vector>\n#include \"core/support/d.h\"\n")
  file(WRITE "${root}/core/support/d.h" "#pragma once\n")
  file(WRITE "${root}/desktop/qt_b.cpp" "#include <QWidget>\n#include \"desktop/qt_b.h\"\n#include \"core/product/b.h\"\n")
  execute_process(COMMAND "${CMAKE_COMMAND}" -DCORE_DIR=${root}/core -DDESKTOP_DIR=${root}/desktop -P "${CHECK}"
                  RESULT_VARIABLE clean OUTPUT_QUIET ERROR_VARIABLE cleanOutput)
  if(NOT clean EQUAL 0)
    message(FATAL_ERROR "A tree without forbidden includes was refused:\n${cleanOutput}")
  endif()
  file(WRITE "${root}/${tree}/${file}" "#pragma once\n${line}\n")
  execute_process(COMMAND "${CMAKE_COMMAND}" -DCORE_DIR=${root}/core -DDESKTOP_DIR=${root}/desktop -P "${CHECK}"
                  RESULT_VARIABLE result OUTPUT_QUIET ERROR_VARIABLE output)
  if(result EQUAL 0)
    message(FATAL_ERROR "Let through: ${line} in ${tree}/${file}")
  endif()
  if(NOT output MATCHES "${file}" OR NOT output MATCHES "${expected}")
    message(FATAL_ERROR "${line} in ${tree}/${file} refused for another reason:\n${output}")
  endif()
endforeach()
