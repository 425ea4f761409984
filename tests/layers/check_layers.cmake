# Holds the tool's folders to their layers: a file includes only from its own
# folder or from a folder of a lower layer, never from one above it or beside
# it. Those below know nothing of those above, so each can be read, tested and
# changed without them.
#
#   cmake -DTOOL_DIR=<tool folder> -P check_layers.cmake   fails on a violation
#   cmake -DSELF_TEST=<scratch folder> -P check_layers.cmake
#     builds a small tree with one include of each kind and fails unless
#     exactly the wrong ones are found
#
# From the bottom: io and format know nothing of each other; scan reads
# inputs with both; output writes; document turns files into descriptions and
# back; commands run them; main.cpp starts a command.
set(LAYER_io 0)
set(LAYER_format 0)
set(LAYER_scan 1)
set(LAYER_output 2)
set(LAYER_document 3)
set(LAYER_commands 4)
set(LAYER_main 5)

# The "file: includes folder/name" lines of the includes under `dir` that
# break the order, in `out`.
function(find_violations dir out)
  file(GLOB_RECURSE sources RELATIVE ${dir} ${dir}/*.h ${dir}/*.cpp)
  set(found "")
  foreach(source ${sources})
    string(REGEX MATCH "^[^/]+/" folder "${source}")
    if(folder STREQUAL "")
      set(from main)
    else()
      string(REPLACE "/" "" from "${folder}")
    endif()
    if(NOT DEFINED LAYER_${from})
      list(APPEND found "${source}: in no layer")
      continue()
    endif()
    file(STRINGS ${dir}/${source} lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
    foreach(line ${lines})
      string(REGEX MATCH "\"([^/\"]+)/[^\"]*\"" included "${line}")
      if(included STREQUAL "")
        continue()
      endif()
      set(to ${CMAKE_MATCH_1})
      if(to STREQUAL from)
        continue()
      endif()
      if(NOT DEFINED LAYER_${to} OR NOT LAYER_${to} LESS LAYER_${from})
        list(APPEND found "${source}: includes ${included}")
      endif()
    endforeach()
  endforeach()
  set(${out} "${found}" PARENT_SCOPE)
endfunction()

if(DEFINED SELF_TEST)
  set(tree ${SELF_TEST}/layers-self-test)
  file(REMOVE_RECURSE ${tree})
  file(WRITE ${tree}/main.cpp "#include \"commands/a.h\"\n#include \"io/a.h\"\n")
  file(WRITE ${tree}/commands/a.h "#include \"document/a.h\"\n#include <vector>\n")
  file(WRITE ${tree}/scan/a.cpp "#include \"scan/a.h\"\n#include \"format/a.h\"\n  #include \"output/a.h\"\n")
  file(WRITE ${tree}/io/a.h "#include \"format/a.h\"\n")
  file(WRITE ${tree}/format/a.cpp "#include \"a.h\"\n#include \"commands/a.h\"\n")
  file(WRITE ${tree}/extra/a.h "\n")
  find_violations(${tree} found)
  set(expected "extra/a.h: in no layer" "format/a.cpp: includes \"commands/a.h\""
               "io/a.h: includes \"format/a.h\"" "scan/a.cpp: includes \"output/a.h\"")
  list(SORT found)
  if(NOT found STREQUAL expected)
    message(FATAL_ERROR "the layer check found:\n${found}\ninstead of:\n${expected}")
  endif()
  file(REMOVE_RECURSE ${tree})
  return()
endif()

find_violations(${TOOL_DIR} found)
if(found)
  list(JOIN found "\n" lines)
  message(FATAL_ERROR "includes against the layer order:\n${lines}")
endif()
