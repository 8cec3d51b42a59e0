# Installation and packaging: `cmake --install` lays out the tool, its manual
# page, the utility and scanner libraries with their headers, a CMake package
# and pkg-config files; CPack turns the same layout into a Debian package.
#
#   bin/kolvu
#   share/man/man1/kolvu.1
#   bin/kolvu-index, share/man/man1/kolvu-index.1
#   bin/kolvu-lsp, share/man/man1/kolvu-lsp.1
#   <libdir>/libkolvu_util.a, <libdir>/libkolvu_scan.a (static, the default)
#   or <libdir>/libkolvu_util.so.*, libkolvu_scan.so.* (-DBUILD_SHARED_LIBS=ON)
#   include/kolvu/*.h
#   <libdir>/cmake/kolvu_util/   find_package(kolvu_util CONFIG) -> kolvu::util, kolvu::scan
#   <libdir>/pkgconfig/kolvu_util.pc, kolvu_scan.pc
#
# Every directory follows GNUInstallDirs and may be set with the usual cache
# variables (CMAKE_INSTALL_LIBDIR, ...), relative to the prefix or absolute.

include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(KOLVU_CMAKE_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/kolvu_util)
set(KOLVU_PKGCONFIG_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# The tool and its manual page.
install(TARGETS kolvu RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/docs/kolvu.1
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# kolvu-index, the second program, and its manual page.
install(TARGETS kolvu-index RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/docs/kolvu-index.1
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# kolvu-lsp, the language server, and its manual page, when it is built.
if(TARGET kolvu-lsp)
  install(TARGETS kolvu-lsp RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${PROJECT_SOURCE_DIR}/docs/kolvu-lsp.1
    DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

# The libraries and their public headers.
install(TARGETS kolvu_util kolvu_scan EXPORT kolvu_utilTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/kolvu
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
  FILES_MATCHING PATTERN "*.h")

# The CMake package. Its files find the prefix from their own place, so the
# installed tree can be moved (and staged by DESTDIR or CPack) as a whole.
install(EXPORT kolvu_utilTargets
  NAMESPACE kolvu::
  FILE kolvu_utilTargets.cmake
  DESTINATION ${KOLVU_CMAKE_PACKAGE_DIR})
configure_package_config_file(
  ${PROJECT_SOURCE_DIR}/cmake/kolvu_utilConfig.cmake.in
  ${PROJECT_BINARY_DIR}/kolvu_utilConfig.cmake
  INSTALL_DESTINATION ${KOLVU_CMAKE_PACKAGE_DIR})
write_basic_package_version_file(
  ${PROJECT_BINARY_DIR}/kolvu_utilConfigVersion.cmake
  VERSION ${PROJECT_VERSION}
  COMPATIBILITY SameMajorVersion)
install(FILES
  ${PROJECT_BINARY_DIR}/kolvu_utilConfig.cmake
  ${PROJECT_BINARY_DIR}/kolvu_utilConfigVersion.cmake
  DESTINATION ${KOLVU_CMAKE_PACKAGE_DIR})

# The pkg-config file. Its prefix is the one the files are installed under,
# which `cmake --install --prefix` may change after configuration, so the
# file is written at install time. A relative directory is written below
# ${prefix}; an absolute one as it stands. DESTDIR staging (also what CPack
# does) leaves the prefix as the final one.
foreach(dir LIBDIR INCLUDEDIR)
  if(IS_ABSOLUTE "${CMAKE_INSTALL_${dir}}")
    set(KOLVU_PC_${dir} "${CMAKE_INSTALL_${dir}}")
  else()
    set(KOLVU_PC_${dir} "\${prefix}/${CMAKE_INSTALL_${dir}}")
  endif()
endforeach()
set(KOLVU_PC_PREFIX "@KOLVU_PC_PREFIX@")  # kept for the install step
if(IS_ABSOLUTE "${KOLVU_PKGCONFIG_DIR}")
  set(_kolvu_pc_dest "${KOLVU_PKGCONFIG_DIR}")
else()
  set(_kolvu_pc_dest "\${CMAKE_INSTALL_PREFIX}/${KOLVU_PKGCONFIG_DIR}")
endif()
foreach(_kolvu_pc_name kolvu_util kolvu_scan)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/${_kolvu_pc_name}.pc.in
    ${PROJECT_BINARY_DIR}/${_kolvu_pc_name}.pc.in @ONLY)
  # One generated file per destination, so that installs into different
  # places may run at the same time.
  install(CODE "
    set(KOLVU_PC_PREFIX \"\${CMAKE_INSTALL_PREFIX}\")
    string(MD5 _kolvu_pc_key \"\$ENV{DESTDIR}|\${CMAKE_INSTALL_PREFIX}\")
    set(_kolvu_pc \"${PROJECT_BINARY_DIR}/pkgconfig/\${_kolvu_pc_key}/${_kolvu_pc_name}.pc\")
    configure_file(\"${PROJECT_BINARY_DIR}/${_kolvu_pc_name}.pc.in\" \"\${_kolvu_pc}\" @ONLY)
    file(INSTALL DESTINATION \"${_kolvu_pc_dest}\" TYPE FILE FILES \"\${_kolvu_pc}\")
  ")
endforeach()
unset(_kolvu_pc_dest)
unset(_kolvu_pc_name)

# The Debian package: `cpack -G DEB` in the build folder.
set(CPACK_PACKAGE_NAME kolvu)
set(CPACK_PACKAGE_VENDOR "kolvu developers")
set(CPACK_PACKAGE_CONTACT "kolvu developers <kolvu@example.org>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "prints the definitions of Shift_JIS C sources and headers")
# Debian wants the long description in lines of under 80 columns.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "kolvu reads C source and header files written in Shift_JIS (code page"
  "932) and prints the definitions found in them: #define lines with their"
  "backslash continuations, typedefs, and struct and union definitions,"
  "byte for byte as they stand in the source. Option letters choose the"
  "kinds, a list of names and name prefixes may restrict the output, and a"
  "banner line can name each file."
  ""
  "A second program, kolvu-index, walks whole source trees on several"
  "threads and writes each definition as a JSON record with its file, lines,"
  "kind, name and text in UTF-8, or writes a sorted tags file for editors."
  ""
  "A third, kolvu-lsp, serves the same definitions to editors as a language"
  "server over standard input and output: go to definition, hover with the"
  "definition's text converted to UTF-8, workspace and document symbols,"
  "for code bases in Shift_JIS, EUC-JP or UTF-8, with no build needed."
  ""
  "The package also carries two static libraries with their headers: the"
  "utility library libkolvu_util, and libkolvu_scan, the definition scanner"
  "as a reentrant library that hands each definition over as a record with"
  "its name, lines and text; a CMake package (kolvu::util, kolvu::scan) and"
  "pkg-config files (kolvu_util, kolvu_scan).")
set(CPACK_GENERATOR DEB)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)

# `cpack -G DEB` looks at the files with `file` and computes the package's
# dependencies with dpkg-shlibdeps; where either is missing, configuring
# says so now rather than packaging failing later.
find_program(KOLVU_FILE_PROGRAM file)
find_program(KOLVU_DPKG_SHLIBDEPS dpkg-shlibdeps)
set(KOLVU_DEB_MISSING "")
if(NOT KOLVU_FILE_PROGRAM)
  list(APPEND KOLVU_DEB_MISSING "file (the Debian package file)")
endif()
if(NOT KOLVU_DPKG_SHLIBDEPS)
  list(APPEND KOLVU_DEB_MISSING "dpkg-shlibdeps (the Debian package dpkg-dev)")
endif()
if(KOLVU_DEB_MISSING)
  list(JOIN KOLVU_DEB_MISSING " and " KOLVU_DEB_MISSING)
  message(STATUS "`cpack -G DEB` cannot make the Debian package here: it needs ${KOLVU_DEB_MISSING}")
endif()
