# Install test driver, run by CTest as `cmake -D... -P run_install_test.cmake`.
#
# STEP selects what is checked:
#   layout     install the build tree into WORK_DIR/prefix; check the files,
#              the pkg-config file's paths, and run the installed kolvu
#   cmake      build and run the consumer through find_package(kolvu_util)
#   pkgconfig  build and run the consumer through pkg-config
#   staged     install with DESTDIR into a fake final prefix; check that the
#              pkg-config file names the final prefix, and that the CMake
#              package still works from the staging folder
#   shared     configure and build the source afresh with shared libraries
#              (-DBUILD_SHARED_LIBS=ON), install, check the sonames, and use
#              them both ways
#   absolute   configure the shared step's build again with an absolute
#              CMAKE_INSTALL_LIBDIR (nothing is compiled again), install, and
#              use it both ways
#
# Each way also builds a module with -shared -fPIC against the libraries and
# has a host program load it with dlopen and scan a file.
#
# Variables: STEP, SOURCE_DIR (project), BUILD_DIR, CONFIG, WORK_DIR,
# CONSUMER_DIR, GENERATOR, CXX, CONSUMER_FLAGS (a list), PKG_CONFIG, VERSION,
# BINDIR, LIBDIR, INCLUDEDIR, MANDIR (the project's GNUInstallDirs values).
cmake_minimum_required(VERSION 3.20)

set(expected_consumer_output "Strrchr 3 rindex 5 upper POINT_T ext .h\n")
set(expected_stdout_order_output
  "printf and library in call order: ok\n"
  "fflush(NULL) writes errmsg's message: ok\n"
  "fflush(stdout) writes out_puts: ok\n"
  "fflush(NULL) before fork: ok\n"
  "exp_tab's fatal message after printf: ok\n"
  "exp_tab's exit status: ok\n"
  "stdout order: ok\n")
string(JOIN "" expected_stdout_order_output ${expected_stdout_order_output})
# The scanner library's example over examples/sample.h, as the README shows.
set(expected_scan_example_output
  "define  SAMPLE_H     lines  6-6   17 bytes\n"
  "define  MAX_LEN      lines  8-8   46 bytes\n"
  "define  MAX_NAME     lines  9-9   50 bytes\n"
  "define  TITLE        lines 10-10  74 bytes\n"
  "define  SWAP         lines 13-17 144 bytes\n"
  "define  KANJI_NOU    lines 20-20  23 bytes\n"
  "typedef ULONG        lines 22-22  54 bytes\n"
  "typedef              lines 23-23  52 bytes\n"
  "typedef Point        lines 26-29 118 bytes\n"
  "struct  name_table   lines 32-36 142 bytes\n"
  "union   value        lines 39-43  96 bytes\n"
  "11 definitions, read as Shift_JIS\n")
string(JOIN "" expected_scan_example_output ${expected_scan_example_output})

function(fail)
  string(JOIN "" text ${ARGN})
  message(FATAL_ERROR "${text}")
endfunction()

# Runs a command; fails with its output unless it ends with status 0.
function(run)
  execute_process(COMMAND ${ARGN}
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    string(JOIN " " cmd ${ARGN})
    fail("command failed (${rc}): ${cmd}\n${out}${err}")
  endif()
  set(run_output "${out}" PARENT_SCOPE)
endfunction()

function(require_file path)
  if(NOT EXISTS "${path}" OR IS_DIRECTORY "${path}")
    fail("not installed: ${path}")
  endif()
endfunction()

# Runs a built consumer program (with the arguments after expected) and
# compares what it prints with expected.
function(check_program exe expected)
  execute_process(COMMAND "${exe}" ${ARGN}
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0 OR NOT out STREQUAL expected)
    fail("consumer ${exe}: status ${rc}\n"
         "printed:  [${out}]\nexpected: [${expected}]\n${err}")
  endif()
endfunction()

# Runs the consumer programs built in dir.
function(check_consumer dir)
  check_program("${dir}/consumer" "${expected_consumer_output}")
  check_program("${dir}/stdout_order" "${expected_stdout_order_output}")
  check_program("${dir}/scan_example" "${expected_scan_example_output}"
                "${SOURCE_DIR}/examples/sample.h")
  check_program("${dir}/module_host" "11 definitions\n" "${dir}/libscan_module.so"
                "${SOURCE_DIR}/examples/sample.h")
endfunction()

# The value of `name=` in a pkg-config file.
function(pc_variable file name result)
  file(STRINGS "${file}" lines REGEX "^${name}=")
  list(LENGTH lines count)
  if(NOT count EQUAL 1)
    fail("${file}: expected one ${name}= line, found: ${lines}")
  endif()
  string(REGEX REPLACE "^${name}=" "" value "${lines}")
  set(${result} "${value}" PARENT_SCOPE)
endfunction()

# Configures, builds and runs the consumer with search_path as
# CMAKE_PREFIX_PATH; the package must be found under root.
function(cmake_consumer search_path root build)
  file(REMOVE_RECURSE "${build}")
  string(JOIN " " flags ${CONSUMER_FLAGS})
  run("${CMAKE_COMMAND}" -S "${CONSUMER_DIR}" -B "${build}" -G "${GENERATOR}"
      "-DCMAKE_CXX_COMPILER=${CXX}" "-DCMAKE_BUILD_TYPE=${CONFIG}"
      "-DCMAKE_CXX_FLAGS=${flags}" "-DCMAKE_EXE_LINKER_FLAGS=${flags}"
      "-DCMAKE_PREFIX_PATH=${search_path}" -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF)
  # The package must come from this tree, not from one installed elsewhere.
  string(REGEX MATCH "kolvu_util ([^ ]*) in ([^\n]*)" found "${run_output}")
  if(NOT CMAKE_MATCH_1 STREQUAL VERSION)
    fail("consumer found kolvu_util version '${CMAKE_MATCH_1}', expected ${VERSION}")
  endif()
  file(REAL_PATH "${CMAKE_MATCH_2}" found_dir)
  file(REAL_PATH "${root}" real_root)
  string(FIND "${found_dir}/" "${real_root}/" at)
  if(NOT at EQUAL 0)
    fail("consumer found kolvu_util in ${found_dir}, outside ${real_root}")
  endif()
  run("${CMAKE_COMMAND}" --build "${build}" --config "${CONFIG}")
  if(EXISTS "${build}/${CONFIG}/consumer")
    check_consumer("${build}/${CONFIG}")
  else()
    check_consumer("${build}")
  endif()
endfunction()

# Compiles the consumer programs into dir with the flags pkg-config gives
# for kolvu_util (kolvu_scan for the scanner's example) found in pcdir, and
# runs them.
function(pkgconfig_consumer pcdir dir)
  if(NOT PKG_CONFIG)
    fail("pkg-config was not found when the tests were configured")
  endif()
  set(ENV{PKG_CONFIG_PATH} "${pcdir}")
  run("${PKG_CONFIG}" --modversion kolvu_util)
  string(STRIP "${run_output}" modversion)
  if(NOT modversion STREQUAL VERSION)
    fail("pkg-config --modversion kolvu_util: '${modversion}', expected ${VERSION}")
  endif()
  file(REMOVE_RECURSE "${dir}")
  file(MAKE_DIRECTORY "${dir}")
  foreach(program consumer stdout_order scan_example)
    set(module kolvu_util)
    set(source "${CONSUMER_DIR}/${program}.cc")
    if(program STREQUAL "scan_example")
      set(module kolvu_scan)
      set(source "${SOURCE_DIR}/examples/scan_example.cc")
    endif()
    run("${PKG_CONFIG}" --cflags ${module})
    separate_arguments(cflags UNIX_COMMAND "${run_output}")
    run("${PKG_CONFIG}" --libs ${module})
    separate_arguments(libs UNIX_COMMAND "${run_output}")
    run("${CXX}" -std=c++17 ${CONSUMER_FLAGS} ${cflags} "${source}" -o "${dir}/${program}" ${libs})
  endforeach()
  # The module, position-independent, with the scanner library linked in.
  run("${PKG_CONFIG}" --cflags --libs kolvu_scan)
  separate_arguments(flags UNIX_COMMAND "${run_output}")
  run("${CXX}" -std=c++17 -shared -fPIC ${CONSUMER_FLAGS} "${CONSUMER_DIR}/scan_module.cc"
      -o "${dir}/libscan_module.so" ${flags})
  run("${CXX}" -std=c++17 ${CONSUMER_FLAGS} "${CONSUMER_DIR}/module_host.cc"
      -o "${dir}/module_host" -ldl)
  check_consumer("${dir}")
endfunction()

set(prefix "${WORK_DIR}/prefix")

if(STEP STREQUAL "layout")
  file(REMOVE_RECURSE "${prefix}")
  run("${CMAKE_COMMAND}" --install "${BUILD_DIR}" --config "${CONFIG}"
      --prefix "${prefix}")
  set(libdir "${prefix}/${LIBDIR}")
  foreach(path
      "${prefix}/${BINDIR}/kolvu"
      "${prefix}/${MANDIR}/man1/kolvu.1"
      "${prefix}/${BINDIR}/kolvu-index"
      "${prefix}/${MANDIR}/man1/kolvu-index.1"
      "${libdir}/libkolvu_util.a"
      "${libdir}/libkolvu_scan.a"
      "${libdir}/pkgconfig/kolvu_scan.pc"
      "${libdir}/cmake/kolvu_util/kolvu_utilConfig.cmake"
      "${libdir}/cmake/kolvu_util/kolvu_utilConfigVersion.cmake"
      "${libdir}/cmake/kolvu_util/kolvu_utilTargets.cmake"
      "${libdir}/pkgconfig/kolvu_util.pc")
    require_file("${path}")
  endforeach()
  if(WITH_LSP)
    require_file("${prefix}/${BINDIR}/kolvu-lsp")
    require_file("${prefix}/${MANDIR}/man1/kolvu-lsp.1")
  endif()
  # Every public header, and nothing from the sources' private ones.
  file(GLOB headers RELATIVE "${SOURCE_DIR}/include/kolvu"
       "${SOURCE_DIR}/include/kolvu/*.h")
  file(GLOB installed RELATIVE "${prefix}/${INCLUDEDIR}/kolvu"
       "${prefix}/${INCLUDEDIR}/kolvu/*")
  list(SORT headers)
  list(SORT installed)
  if(NOT headers OR NOT headers STREQUAL installed)
    fail("installed headers [${installed}] differ from include/kolvu [${headers}]")
  endif()

  pc_variable("${libdir}/pkgconfig/kolvu_util.pc" prefix pc_prefix)
  pc_variable("${libdir}/pkgconfig/kolvu_util.pc" libdir pc_libdir)
  pc_variable("${libdir}/pkgconfig/kolvu_util.pc" includedir pc_includedir)
  if(NOT pc_prefix STREQUAL prefix
     OR NOT pc_libdir STREQUAL "\${prefix}/${LIBDIR}"
     OR NOT pc_includedir STREQUAL "\${prefix}/${INCLUDEDIR}")
    fail("kolvu_util.pc: prefix=${pc_prefix} libdir=${pc_libdir} "
         "includedir=${pc_includedir}; expected the prefix ${prefix}")
  endif()

  # The installed tool runs: a selected typedef, and the help's status 1.
  file(WRITE "${WORK_DIR}/probe.h"
       "#define PROBE 1\ntypedef long Probe;\ntypedef long Other;\n")
  execute_process(COMMAND "${prefix}/${BINDIR}/kolvu" -t -l Probe probe.h
    WORKING_DIRECTORY "${WORK_DIR}"
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0 OR NOT out STREQUAL "typedef long Probe;\n" OR err)
    fail("installed kolvu -t -l Probe: status ${rc}, out [${out}], err [${err}]")
  endif()
  execute_process(COMMAND "${prefix}/${BINDIR}/kolvu" -usage
    RESULT_VARIABLE rc OUTPUT_VARIABLE out)
  if(NOT rc EQUAL 1 OR NOT out MATCHES "\nUsage : kolvu \\[-dtsuN\\]")
    fail("installed kolvu -usage: status ${rc}, out [${out}]")
  endif()

  # The installed kolvu-index runs too.
  execute_process(COMMAND "${prefix}/${BINDIR}/kolvu-index" --kinds=t --names=Probe probe.h
    WORKING_DIRECTORY "${WORK_DIR}"
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0 OR err OR NOT out STREQUAL
     "{\"file\":\"probe.h\",\"line\":2,\"end_line\":2,\"kind\":\"typedef\",\"name\":\"Probe\",\"names\":[{\"name\":\"Probe\",\"kind\":\"typedef\",\"line\":2,\"column\":14}],\"begin\":16,\"end\":36,\"text\":\"typedef long Probe;\\n\"}\n")
    fail("installed kolvu-index --kinds=t --names=Probe: status ${rc}, out [${out}], err [${err}]")
  endif()

  if(WITH_LSP)
    # And kolvu-lsp, when built: an initialize and an exit without shutdown
    # end with 1.
    set(init "{\"jsonrpc\":\"2.0\",\"id\":1,\"method\":\"initialize\",\"params\":{\"capabilities\":{}}}")
    string(LENGTH "${init}" init_length)
    set(bye "{\"jsonrpc\":\"2.0\",\"method\":\"exit\"}")
    string(LENGTH "${bye}" bye_length)
    file(WRITE "${WORK_DIR}/lsp-input"
         "Content-Length: ${init_length}\r\n\r\n${init}Content-Length: ${bye_length}\r\n\r\n${bye}")
    execute_process(COMMAND "${prefix}/${BINDIR}/kolvu-lsp"
      INPUT_FILE "${WORK_DIR}/lsp-input"
      RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT rc EQUAL 1 OR NOT out MATCHES "\"positionEncoding\":\"utf-16\"" OR err)
      fail("installed kolvu-lsp: status ${rc}, out [${out}], err [${err}]")
    endif()
  endif()

elseif(STEP STREQUAL "cmake")
  cmake_consumer("${prefix}" "${prefix}" "${WORK_DIR}/consumer-cmake")

elseif(STEP STREQUAL "pkgconfig")
  pkgconfig_consumer("${prefix}/${LIBDIR}/pkgconfig"
                     "${WORK_DIR}/consumer-pkgconfig")

elseif(STEP STREQUAL "staged")
  set(stage "${WORK_DIR}/stage")
  set(final "/opt/kolvu-staged")
  file(REMOVE_RECURSE "${stage}")
  set(ENV{DESTDIR} "${stage}")
  run("${CMAKE_COMMAND}" --install "${BUILD_DIR}" --config "${CONFIG}"
      --prefix "${final}")
  unset(ENV{DESTDIR})
  set(root "${stage}${final}")
  require_file("${root}/${BINDIR}/kolvu")
  pc_variable("${root}/${LIBDIR}/pkgconfig/kolvu_util.pc" prefix pc_prefix)
  if(NOT pc_prefix STREQUAL final)
    fail("staged kolvu_util.pc has prefix=${pc_prefix}, expected ${final}")
  endif()
  # The CMake package finds its files from its own place.
  cmake_consumer("${root}" "${root}" "${WORK_DIR}/consumer-staged")

elseif(STEP STREQUAL "absolute")
  # The shared step's build folder (its fixture) configured again with an
  # absolute CMAKE_INSTALL_LIBDIR: the directories change what is installed
  # where, not what is compiled, so nothing is built a second time.
  set(build "${WORK_DIR}/shared-build")
  set(abs_prefix "${WORK_DIR}/absolute-prefix")
  set(abs_libdir "${WORK_DIR}/absolute-lib")
  if(NOT EXISTS "${build}/CMakeCache.txt")
    fail("absolute: no ${build}; the shared step makes it (fixture kolvu_shared_build)")
  endif()
  file(REMOVE_RECURSE "${abs_prefix}" "${abs_libdir}")
  run("${CMAKE_COMMAND}" -S "${SOURCE_DIR}" -B "${build}"
      "-DCMAKE_INSTALL_PREFIX=${abs_prefix}" "-DCMAKE_INSTALL_LIBDIR=${abs_libdir}")
  run("${CMAKE_COMMAND}" --build "${build}" --config Release -j2)
  run("${CMAKE_COMMAND}" --install "${build}" --config Release)
  require_file("${abs_libdir}/libkolvu_util.so.${VERSION}")
  require_file("${abs_libdir}/libkolvu_scan.so.${VERSION}")
  require_file("${abs_prefix}/${INCLUDEDIR}/kolvu/util.h")
  set(pc "${abs_libdir}/pkgconfig/kolvu_util.pc")
  require_file("${pc}")
  pc_variable("${pc}" libdir pc_libdir)
  pc_variable("${pc}" includedir pc_includedir)
  if(NOT pc_libdir STREQUAL abs_libdir
     OR NOT pc_includedir STREQUAL "\${prefix}/${INCLUDEDIR}")
    fail("kolvu_util.pc with an absolute libdir: libdir=${pc_libdir} "
         "includedir=${pc_includedir}")
  endif()
  set(CONSUMER_FLAGS "")  # this build has no sanitizers
  set(CONFIG Release)
  set(ENV{LD_LIBRARY_PATH} "${abs_libdir}")
  # The package lies outside the prefix: name the folder that holds it.
  cmake_consumer("${abs_libdir}/cmake" "${abs_libdir}" "${WORK_DIR}/consumer-absolute")
  pkgconfig_consumer("${abs_libdir}/pkgconfig" "${WORK_DIR}/consumer-absolute-pc")

elseif(STEP STREQUAL "shared")
  set(build "${WORK_DIR}/shared-build")
  set(shared_prefix "${WORK_DIR}/shared-prefix")
  file(REMOVE_RECURSE "${build}" "${shared_prefix}")
  # What this step checks (the libraries' names, sonames and places, the
  # programs finding them, their users building) does not depend on the
  # code's optimization: -O0 compiles in a third of the time.
  run("${CMAKE_COMMAND}" -S "${SOURCE_DIR}" -B "${build}" -G "${GENERATOR}"
      "-DCMAKE_CXX_COMPILER=${CXX}" -DCMAKE_BUILD_TYPE=Release "-DCMAKE_CXX_FLAGS_RELEASE=-O0 -DNDEBUG"
      -DBUILD_TESTING=OFF -DBUILD_SHARED_LIBS=ON "-DCMAKE_INSTALL_PREFIX=${shared_prefix}")
  run("${CMAKE_COMMAND}" --build "${build}" --config Release -j2)
  run("${CMAKE_COMMAND}" --install "${build}" --config Release)
  set(libdir "${shared_prefix}/${LIBDIR}")
  string(REGEX MATCH "^[0-9]+" major "${VERSION}")
  foreach(lib kolvu_util kolvu_scan)
    require_file("${libdir}/lib${lib}.so.${VERSION}")
    if(NOT EXISTS "${libdir}/lib${lib}.so" OR EXISTS "${libdir}/lib${lib}.a")
      fail("shared install: lib${lib}.so missing or lib${lib}.a present")
    endif()
    run(objdump -p "${libdir}/lib${lib}.so")
    if(NOT run_output MATCHES "SONAME +lib${lib}\\.so\\.${major}\n")
      fail("lib${lib}.so: no soname lib${lib}.so.${major}:\n${run_output}")
    endif()
  endforeach()
  # The installed programs find the libraries beside them.
  file(WRITE "${WORK_DIR}/shared-probe.h" "#define PROBE 1\n")
  run("${shared_prefix}/${BINDIR}/kolvu-index" --format=tags "${WORK_DIR}/shared-probe.h")
  if(NOT run_output MATCHES "\nPROBE\t")
    fail("installed shared kolvu-index: [${run_output}]")
  endif()
  set(CONSUMER_FLAGS "")  # this build has no sanitizers
  set(CONFIG Release)
  set(ENV{LD_LIBRARY_PATH} "${libdir}")
  cmake_consumer("${shared_prefix}" "${shared_prefix}" "${WORK_DIR}/consumer-shared")
  pkgconfig_consumer("${libdir}/pkgconfig" "${WORK_DIR}/consumer-shared-pc")

else()
  fail("unknown STEP '${STEP}'")
endif()
