# The Debian package and the installed program: cpack, then its files,
# control fields, desktop entry, icons, manual page and answers.
add_test(NAME package_contents
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/package/check_package.sh
                 ${CMAKE_BINARY_DIR} ${CMAKE_SOURCE_DIR} ${PROJECT_VERSION}
                 ${CMAKE_INSTALL_PREFIX} $<TARGET_FILE:quelmora>)
set_tests_properties(package_contents PROPERTIES
    TIMEOUT 180 SKIP_RETURN_CODE 77 LABELS package)
