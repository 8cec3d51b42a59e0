# The fuzz targets as plain programs that replay their seed corpus, for
# ordinary builds (any compiler, no fuzzing engine): <target>_replay runs the
# target once over each file named on its command line, and one test per
# target runs it over fuzz/corpus/<target>/*. Included from tests/.
set(KOLVU_FUZZ_DIR ${CMAKE_CURRENT_LIST_DIR})
include(${KOLVU_FUZZ_DIR}/targets.cmake)
foreach(target ${KOLVU_FUZZ_TARGETS})
  if(target STREQUAL "fuzz_lsp" AND NOT TARGET kolvu_lsp_core)
    continue()  # the server's target, when the server is built
  endif()
  add_executable(${target}_replay ${KOLVU_FUZZ_DIR}/${target}.cc ${KOLVU_FUZZ_DIR}/replay_main.cc)
  target_link_libraries(${target}_replay PRIVATE kolvu_core)
  if(target STREQUAL "fuzz_lsp")
    target_link_libraries(${target}_replay PRIVATE kolvu_lsp_core)
  endif()
  target_include_directories(${target}_replay PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_compile_options(${target}_replay PRIVATE ${KOLVU_WARNINGS})
  kolvu_test_optimization(${target}_replay)
  file(GLOB seeds CONFIGURE_DEPENDS ${KOLVU_FUZZ_DIR}/corpus/${target}/*)
  list(SORT seeds)
  add_test(NAME ${target}_corpus COMMAND ${target}_replay ${seeds})
endforeach()
# The scanner's target compares with the plain model the unit tests use.
target_sources(fuzz_scanner_replay PRIVATE ${PROJECT_SOURCE_DIR}/tests/scanner/reference_scanner.cc)
# The complete mode's target sets it beside the tool's mode.
target_sources(fuzz_complete_replay PRIVATE ${PROJECT_SOURCE_DIR}/tests/scanner/mode_diff.cc)
