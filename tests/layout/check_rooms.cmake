# Which rooms of src/ the code of each room may include from, by the
# folder a quoted include names: each program reads its own room, the rooms
# below it (the shared room, the scanner, the utility library) and the
# public headers, never another program's room; the libraries never read a
# program's. An include outside its room's list fails the test, named with
# its file and line.
#
#   cmake -DSRC=<project>/src -P check_rooms.cmake
cmake_minimum_required(VERSION 3.13)
set(allowed_util    util kolvu)
set(allowed_scanner scanner util kolvu)
set(allowed_common  common scanner util kolvu)
set(allowed_driver  driver scanner util kolvu)
set(allowed_index   index common util kolvu)
set(allowed_lsp     lsp common scanner util kolvu)

file(GLOB rooms RELATIVE "${SRC}" "${SRC}/*")
set(faults "")
foreach(room IN LISTS rooms)
  if(NOT IS_DIRECTORY "${SRC}/${room}")
    continue()
  endif()
  if(NOT DEFINED allowed_${room})
    string(APPEND faults "src/${room}: a room with no rule here: say what it may include\n")
    continue()
  endif()
  file(GLOB_RECURSE files RELATIVE "${SRC}" "${SRC}/${room}/*.h" "${SRC}/${room}/*.cc")
  foreach(f IN LISTS files)
    file(STRINGS "${SRC}/${f}" lines REGEX "^[ \t]*#[ \t]*include[ \t]+\"")
    foreach(line IN LISTS lines)
      if(line MATCHES "include[ \t]+\"([^\"/]+)/")
        if(NOT CMAKE_MATCH_1 IN_LIST allowed_${room})
          string(APPEND faults "src/${f}: ${line} (src/${room} may include from: ${allowed_${room}})\n")
        endif()
      endif()
    endforeach()
  endforeach()
endforeach()
if(NOT faults STREQUAL "")
  message(FATAL_ERROR "includes across rooms:\n${faults}")
endif()
