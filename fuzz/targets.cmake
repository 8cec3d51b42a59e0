# The fuzz targets: every fuzz/fuzz_*.cc, each with its seed corpus in
# fuzz/corpus/<target>/. A new target is one more such file and folder;
# fuzz/run.sh finds them the same way.
file(GLOB KOLVU_FUZZ_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/fuzz_*.cc)
set(KOLVU_FUZZ_TARGETS "")
foreach(source ${KOLVU_FUZZ_SOURCES})
  get_filename_component(target ${source} NAME_WE)
  list(APPEND KOLVU_FUZZ_TARGETS ${target})
endforeach()
list(SORT KOLVU_FUZZ_TARGETS)
