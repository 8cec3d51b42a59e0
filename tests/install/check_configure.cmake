# Configures the project afresh as if GoogleTest were not installed
# (CMAKE_DISABLE_FIND_PACKAGE_GTest), run by CTest as
# `cmake -DSOURCE_DIR=... -DWORK_DIR=... -DGENERATOR=... -DCXX=... -P check_configure.cmake`.
#
#   default               configuring succeeds, says in one line that the
#                         tests are off and which package turns them on, and
#                         sets up the tool and the library without the tests;
#                         BUILD_TESTING is not kept, so a later configure
#                         with GoogleTest installed turns the tests on
#   -DBUILD_TESTING=ON    configuring fails with the same sentence
#   without nlohmann-json configuring succeeds without kolvu-lsp, and says
#                         so in one line
cmake_minimum_required(VERSION 3.20)

set(sentence
  "GoogleTest not found: the tests are off (the Debian package libgtest-dev turns them on)")

function(configure dir result)
  file(REMOVE_RECURSE "${dir}")
  execute_process(COMMAND "${CMAKE_COMMAND}" -S "${SOURCE_DIR}" -B "${dir}"
      -G "${GENERATOR}" "-DCMAKE_CXX_COMPILER=${CXX}"
      -DCMAKE_DISABLE_FIND_PACKAGE_GTest=TRUE ${ARGN}
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  set(${result}_rc "${rc}" PARENT_SCOPE)
  set(${result}_out "${out}${err}" PARENT_SCOPE)
endfunction()

configure("${WORK_DIR}/no-gtest" plain)
if(NOT plain_rc EQUAL 0)
  message(FATAL_ERROR "configuring without GoogleTest failed (${plain_rc}):\n${plain_out}")
endif()
string(FIND "${plain_out}" "-- ${sentence}\n" at)
if(at LESS 0)
  message(FATAL_ERROR "configuring without GoogleTest did not say, on one line:\n"
    "${sentence}\nit printed:\n${plain_out}")
endif()
foreach(target kolvu kolvu_util)
  if(NOT IS_DIRECTORY "${WORK_DIR}/no-gtest/CMakeFiles/${target}.dir")
    message(FATAL_ERROR "configuring without GoogleTest left out the target ${target}")
  endif()
endforeach()
if(EXISTS "${WORK_DIR}/no-gtest/tests")
  message(FATAL_ERROR "configuring without GoogleTest still added the tests")
endif()
file(STRINGS "${WORK_DIR}/no-gtest/CMakeCache.txt" kept REGEX "^BUILD_TESTING:")
if(kept)
  message(FATAL_ERROR "the cache keeps ${kept}: installing GoogleTest would not turn the tests on")
endif()

configure("${WORK_DIR}/asked" asked -DBUILD_TESTING=ON)
if(asked_rc EQUAL 0)
  message(FATAL_ERROR "-DBUILD_TESTING=ON without GoogleTest configured:\n${asked_out}")
endif()
# CMake wraps an error's text: compare with the blanks and line ends joined.
string(REGEX REPLACE "[ \n]+" " " joined "${asked_out}")
string(FIND "${joined}" "${sentence}" at)
if(at LESS 0)
  message(FATAL_ERROR "-DBUILD_TESTING=ON without GoogleTest failed without the sentence:\n${asked_out}")
endif()

# Without nlohmann-json the rest still configures, with one line naming the
# package that brings kolvu-lsp in.
set(json_sentence
  "nlohmann-json not found: kolvu-lsp is left out (the Debian package nlohmann-json3-dev turns it on)")
file(REMOVE_RECURSE "${WORK_DIR}/no-json")
execute_process(COMMAND "${CMAKE_COMMAND}" -S "${SOURCE_DIR}" -B "${WORK_DIR}/no-json"
    -G "${GENERATOR}" "-DCMAKE_CXX_COMPILER=${CXX}"
    -DCMAKE_DISABLE_FIND_PACKAGE_nlohmann_json=TRUE
  RESULT_VARIABLE json_rc OUTPUT_VARIABLE json_out ERROR_VARIABLE json_err)
if(NOT json_rc EQUAL 0)
  message(FATAL_ERROR "configuring without nlohmann-json failed (${json_rc}):\n${json_out}${json_err}")
endif()
string(FIND "${json_out}${json_err}" "-- ${json_sentence}\n" at)
if(at LESS 0)
  message(FATAL_ERROR "configuring without nlohmann-json did not say, on one line:\n"
    "${json_sentence}\nit printed:\n${json_out}${json_err}")
endif()
if(NOT IS_DIRECTORY "${WORK_DIR}/no-json/CMakeFiles/kolvu-index.dir"
   OR IS_DIRECTORY "${WORK_DIR}/no-json/CMakeFiles/kolvu-lsp.dir")
  message(FATAL_ERROR "configuring without nlohmann-json: kolvu-index left out or kolvu-lsp kept")
endif()
