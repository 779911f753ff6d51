# What `cmake --install` puts under the prefix, and the Debian package built
# from part of it.
#
#   component "program":      bin/modsin and bin/modsin-table with their man
#                             pages, and what Debian asks of a package: the
#                             copyright file, the changelog and the lintian
#                             overrides (the Debian package); on Windows
#                             modsin.exe and modsin-table.exe, the README, the
#                             LICENSE and the man pages as plain text (the ZIP
#                             package)
#   component "python":       the Python package modsin under
#                             lib/python3/dist-packages (python/), with the
#                             copyright file and the changelog of its Debian
#                             package python3-modsin
#   component "development":  the core library, its headers under
#                             include/modsin/ in the source tree's layout, the
#                             CMake package ModSin (target ModSin::core) and
#                             the pkg-config file modsin.pc
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(MODSIN_CMAKE_DIR "${CMAKE_INSTALL_LIBDIR}/cmake/ModSin")
# The headers include each other as "calc/...", "numeric/..." and so on, so
# the folder that holds those subfolders is the one a consumer searches.
set(MODSIN_INCLUDE_DIR "${CMAKE_INSTALL_INCLUDEDIR}/modsin")

# The installed archive is libmodsin.a, linked as -lmodsin; the exported target
# is ModSin::core, the same name the build tree uses.
set_target_properties(modsin_core PROPERTIES OUTPUT_NAME modsin EXPORT_NAME core)
target_include_directories(modsin_core PUBLIC $<INSTALL_INTERFACE:${MODSIN_INCLUDE_DIR}>)
target_compile_features(modsin_core PUBLIC cxx_std_20)

set(MODSIN_MAN_PAGES)
if(WIN32)
  # Windows has no man: each page goes along as plain UTF-8 text, rendered
  # without overstrikes or escape sequences, beside the programs and the
  # README.
  foreach(page modsin modsin-table)
    set(text "${CMAKE_CURRENT_BINARY_DIR}/${page}.txt")
    add_custom_command(OUTPUT "${text}"
      COMMAND groff -man -Tutf8 -P-cbou "${CMAKE_CURRENT_SOURCE_DIR}/docs/${page}.1" > "${text}"
      DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/docs/${page}.1"
      COMMENT "Rendering the man page ${page}.1 as text" VERBATIM)
    list(APPEND MODSIN_MAN_PAGES "${text}")
  endforeach()
  install(TARGETS modsin modsin-table RUNTIME DESTINATION . COMPONENT program)
  install(FILES ${MODSIN_MAN_PAGES} README.md LICENSE DESTINATION . COMPONENT program)
else()
  install(TARGETS modsin modsin-table RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
    COMPONENT program)
  # Debian keeps its man pages compressed; gzip -n leaves out the time stamp
  # so that the same page always makes the same bytes.
  foreach(page modsin.1 modsin-table.1)
    set(compressed "${CMAKE_CURRENT_BINARY_DIR}/${page}.gz")
    add_custom_command(OUTPUT "${compressed}"
      COMMAND gzip -9 -n -c "${CMAKE_CURRENT_SOURCE_DIR}/docs/${page}" > "${compressed}"
      DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/docs/${page}"
      COMMENT "Compressing the man page ${page}" VERBATIM)
    list(APPEND MODSIN_MAN_PAGES "${compressed}")
  endforeach()
  install(FILES ${MODSIN_MAN_PAGES} DESTINATION "${CMAKE_INSTALL_MANDIR}/man1" COMPONENT program)
  # Debian's documents of the package (cmake/debian/): the licence in its
  # machine-readable form, and the changelog of a native package, compressed
  # without a time stamp like the man pages.
  set(MODSIN_CHANGELOG "${CMAKE_CURRENT_BINARY_DIR}/changelog.gz")
  add_custom_command(OUTPUT "${MODSIN_CHANGELOG}"
    COMMAND gzip -9 -n -c "${CMAKE_CURRENT_SOURCE_DIR}/cmake/debian/changelog" > "${MODSIN_CHANGELOG}"
    DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/cmake/debian/changelog"
    COMMENT "Compressing the Debian changelog" VERBATIM)
  add_custom_target(modsin_changelog ALL DEPENDS "${MODSIN_CHANGELOG}")
  install(FILES cmake/debian/copyright "${MODSIN_CHANGELOG}"
    DESTINATION "${CMAKE_INSTALL_DATAROOTDIR}/doc/modsin" COMPONENT program)
  install(FILES cmake/debian/lintian-overrides RENAME modsin
    DESTINATION "${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides" COMPONENT program)
  if(TARGET modsin_python)
    install(FILES cmake/debian/copyright "${MODSIN_CHANGELOG}"
      DESTINATION "${CMAKE_INSTALL_DATAROOTDIR}/doc/python3-modsin" COMPONENT python)
  endif()
endif()
add_custom_target(modsin_man_pages ALL DEPENDS ${MODSIN_MAN_PAGES})

install(TARGETS modsin_core EXPORT ModSinTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development)
# Each platform's own handle helpers serve only the library's platform files
# (one of them includes <windows.h>): they are not part of the interface.
foreach(dir base calc numeric textio)
  install(DIRECTORY "${dir}/" DESTINATION "${MODSIN_INCLUDE_DIR}/${dir}"
    COMPONENT development FILES_MATCHING PATTERN "*.h"
    PATTERN "PlatformPosix.h" EXCLUDE PATTERN "PlatformWin32.h" EXCLUDE)
endforeach()

install(EXPORT ModSinTargets NAMESPACE ModSin:: DESTINATION "${MODSIN_CMAKE_DIR}"
  COMPONENT development)
configure_package_config_file(cmake/ModSinConfig.cmake.in
  "${CMAKE_CURRENT_BINARY_DIR}/ModSinConfig.cmake" INSTALL_DESTINATION "${MODSIN_CMAKE_DIR}")
# A consumer asking for 1.x gets any 1.y: the major number changes only when
# the library's interface does.
write_basic_package_version_file("${CMAKE_CURRENT_BINARY_DIR}/ModSinConfigVersion.cmake"
  COMPATIBILITY SameMajorVersion)
install(FILES "${CMAKE_CURRENT_BINARY_DIR}/ModSinConfig.cmake"
  "${CMAKE_CURRENT_BINARY_DIR}/ModSinConfigVersion.cmake"
  DESTINATION "${MODSIN_CMAKE_DIR}" COMPONENT development)

# The prefix is found from where modsin.pc lies, so that an installation
# still works after `cmake --install --prefix` or a move to another folder.
file(RELATIVE_PATH MODSIN_PC_TO_PREFIX "/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/")
string(REGEX REPLACE "/$" "" MODSIN_PC_TO_PREFIX "${MODSIN_PC_TO_PREFIX}")
configure_file(cmake/modsin.pc.in "${CMAKE_CURRENT_BINARY_DIR}/modsin.pc" @ONLY)
install(FILES "${CMAKE_CURRENT_BINARY_DIR}/modsin.pc"
  DESTINATION "${CMAKE_INSTALL_LIBDIR}/pkgconfig" COMPONENT development)

# The package: the programs and their man pages, nothing of the library. A
# Debian package on Linux, with the Python package beside it as a second one,
# python3-modsin, so that modsin itself needs no Python; on Windows a ZIP to
# unpack anywhere.
set(CPACK_PACKAGE_NAME modsin)
set(CPACK_PACKAGE_VENDOR "The modsin developers")
set(CPACK_PACKAGE_CONTACT "The modsin developers <maintainers@modsin.org>")
set(CPACK_RESOURCE_FILE_LICENSE "${CMAKE_CURRENT_SOURCE_DIR}/LICENSE")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "tabulates y = sin(x^p) into node tables")
set(CPACK_PACKAGE_DESCRIPTION
  "modsin seeds nodes where x^p is a whole multiple of pi/2, bisects every\n\
interval whose midpoint leaves the chord by more than a y tolerance, and\n\
writes the nodes as tab-separated tables of 23-character number texts.\n\
modsin-table runs one such tabulation with the interval, exponent,\n\
tolerances and limits of its command line, as a table or as CSV.")
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL program)
if(WIN32)
  set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
  set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY ON)
  # win32 or win64, after the width of the programs.
  math(EXPR MODSIN_POINTER_BITS "${CMAKE_SIZEOF_VOID_P} * 8")
  set(CPACK_PACKAGE_FILE_NAME modsin-${PROJECT_VERSION}-win${MODSIN_POINTER_BITS})
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEB_COMPONENT_INSTALL ON)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION math)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # The program's library dependencies, as dpkg-shlibdeps reads them off the
  # binary.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # One package per component. A component's package takes its description
  # from the component, so the program's is given as the whole package's was.
  set(CPACK_COMPONENTS_GROUPING IGNORE)
  set(CPACK_DEBIAN_PROGRAM_PACKAGE_NAME modsin)
  set(CPACK_DEBIAN_PROGRAM_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
  if(TARGET modsin_python)
    list(APPEND CPACK_COMPONENTS_ALL python)
    set(CPACK_DEBIAN_PYTHON_PACKAGE_NAME python3-modsin)
    set(CPACK_DEBIAN_PYTHON_PACKAGE_SECTION python)
    # Made from the same sources as modsin; its module's library
    # dependencies are added as the program's are.
    set(CPACK_DEBIAN_PYTHON_PACKAGE_SOURCE modsin)
    set(CPACK_DEBIAN_PYTHON_PACKAGE_DEPENDS "${MODSIN_PYTHON_VERSION_DEPENDS}, python3-numpy")
    set(CPACK_DEBIAN_PYTHON_DESCRIPTION
      "The Python 3 module modsin: modsin.tabulate(xleft, xright, power, dx, dy,\n\
max_nodes, max_seeds) returns the nodes of y = sin(x^p) as two numpy arrays,\n\
the same bits as modsin-table's, and raises Python's own exceptions;\n\
modsin.number_text gives a number as the node tables write it.")
  endif()
endif()
include(CPack)
