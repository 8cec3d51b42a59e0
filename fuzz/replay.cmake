# The fuzz targets as plain programs that replay their seed corpus, for
# ordinary builds (any compiler, no fuzzing engine): <target>_replay runs the
# target once over each file named on its command line, and one test per
# target runs it over fuzz/corpus/<target>/*. Included from tests/.
set(KOLVU_FUZZ_DIR ${CMAKE_CURRENT_LIST_DIR})
foreach(target fuzz_scanner fuzz_complete fuzz_namelist fuzz_errmsg fuzz_strings)
  add_executable(${target}_replay ${KOLVU_FUZZ_DIR}/${target}.cc ${KOLVU_FUZZ_DIR}/replay_main.cc)
  target_link_libraries(${target}_replay PRIVATE kolvu_core)
  target_include_directories(${target}_replay PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_compile_options(${target}_replay PRIVATE ${KOLVU_WARNINGS})
  file(GLOB seeds CONFIGURE_DEPENDS ${KOLVU_FUZZ_DIR}/corpus/${target}/*)
  list(SORT seeds)
  add_test(NAME ${target}_corpus COMMAND ${target}_replay ${seeds})
endforeach()
# The scanner's target compares with the plain model the unit tests use.
target_sources(fuzz_scanner_replay PRIVATE ${PROJECT_SOURCE_DIR}/tests/scanner/reference_scanner.cc)
# The complete mode's target sets it beside the tool's mode.
target_sources(fuzz_complete_replay PRIVATE ${PROJECT_SOURCE_DIR}/tests/scanner/mode_diff.cc)
# The server's target replays its corpus too, when the server is built.
if(TARGET kolvu_lsp_core)
  add_executable(fuzz_lsp_replay ${KOLVU_FUZZ_DIR}/fuzz_lsp.cc ${KOLVU_FUZZ_DIR}/replay_main.cc)
  target_link_libraries(fuzz_lsp_replay PRIVATE kolvu_lsp_core kolvu_core)
  target_include_directories(fuzz_lsp_replay PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_compile_options(fuzz_lsp_replay PRIVATE ${KOLVU_WARNINGS})
  file(GLOB seeds CONFIGURE_DEPENDS ${KOLVU_FUZZ_DIR}/corpus/fuzz_lsp/*)
  list(SORT seeds)
  add_test(NAME fuzz_lsp_corpus COMMAND fuzz_lsp_replay ${seeds})
endif()
