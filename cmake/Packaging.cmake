# Installing Quelmora like any desktop program, and its Debian package.
#
#     cmake --build BUILD --target quelmora
#     cmake --install BUILD [--prefix /usr]      # or DESTDIR=... for staging
#     cpack -G DEB --config BUILD/CPackConfig.cmake -B DIR
#
# Included from the top-level list after the targets exist.

include(GNUInstallDirs)

# Installing and packaging need the program alone, not the whole tree with
# its tests and benchmarks: they no longer build everything first.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

# Not share/doc/Quelmora: the package's name is in lower case.
set(QUELMORA_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/quelmora)
# Directories made by the install rules, whatever the umask of the packager.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

install(TARGETS quelmora RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

install(FILES ${PROJECT_SOURCE_DIR}/resources/quelmora.desktop
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications)

# Every size that resources/icons/make_icons.sh draws, and the drawing itself.
file(GLOB QUELMORA_ICON_SIZES LIST_DIRECTORIES true RELATIVE ${PROJECT_SOURCE_DIR}/resources/icons
     ${PROJECT_SOURCE_DIR}/resources/icons/*x*)
foreach(size IN LISTS QUELMORA_ICON_SIZES)
  install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/${size}/quelmora.png
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/${size}/apps)
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/quelmora.svg
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/scalable/apps)

# The manual page carries the project's version; it is compressed when
# configured (no build step), without the file name and time in the gzip
# header so that the same page gives the same bytes.
configure_file(${PROJECT_SOURCE_DIR}/docs/quelmora.1 ${PROJECT_BINARY_DIR}/man/quelmora.1 @ONLY)
execute_process(COMMAND gzip -9 -n -c ${PROJECT_BINARY_DIR}/man/quelmora.1
                OUTPUT_FILE ${PROJECT_BINARY_DIR}/man/quelmora.1.gz
                RESULT_VARIABLE QUELMORA_GZIP_RESULT)
if(NOT QUELMORA_GZIP_RESULT EQUAL 0)
  message(FATAL_ERROR "gzip could not compress the manual page: ${QUELMORA_GZIP_RESULT}")
endif()
install(FILES ${PROJECT_BINARY_DIR}/man/quelmora.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${QUELMORA_DOC_DIR})
# The README shows its pictures by their paths in the source tree. Listed,
# not globbed: a glob is read once at configure time, so a picture added
# later would be left out of a build tree configured before it.
set(QUELMORA_README_PICTURES
    chart-100k-points.png hydrograph-checks-powell.png screenshot-about.png screenshot-corrected.png screenshot-curve.png
    screenshot-flood.png screenshot-help.png screenshot-hydrograph.png screenshot-zoom.png
    screenshot-import.png screenshot-curves.png
    screenshot-144ppi.png)
list(TRANSFORM QUELMORA_README_PICTURES PREPEND ${PROJECT_SOURCE_DIR}/docs/)
install(FILES ${QUELMORA_README_PICTURES} DESTINATION ${QUELMORA_DOC_DIR}/docs)
install(FILES ${PROJECT_SOURCE_DIR}/examples/curve.txt ${PROJECT_SOURCE_DIR}/examples/flood.txt
        DESTINATION ${QUELMORA_DOC_DIR}/examples)

# The Debian package.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quelmora)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Quelmora developers")
set(CPACK_PACKAGE_CONTACT "Quelmora developers <quelmora@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "reservoir flood inflow from recorded level and outflow")
set(CPACK_PACKAGE_DESCRIPTION
    "Quelmora back-calculates the inflow into a reservoir during a flood from\n"
    "the reservoir's recorded water level and outflow by the water balance:\n"
    "storage from level on the level-storage curve, the storage change over\n"
    "each time step, plus the mean outflow. It shows the curve as a table and\n"
    "a chart, fills the calculation table and writes it as a comma-separated\n"
    "file. A batch mode does the same from the command line.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries' packages come from dpkg-shlibdeps; the fonts that the
# window's Chinese and Latin texts are drawn in, and Qt's own texts (the file
# dialog's, the message box's buttons) in the user's language, are no link
# dependency.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The workbook libraries (minizip, libxlsxwriter) are named by hand too, for
# as long as the program does not link the workbook layer yet.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "fonts-liberation, fonts-wqy-microhei, qt6-translations-l10n, libminizip1, libxlsxwriter4")
# The Python module is for Debian's python3 and hands out numpy arrays; pandas
# only for its frames.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "python3, python3-numpy")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "python3-pandas")
set(CPACK_STRIP_FILES ON)
include(CPack)
