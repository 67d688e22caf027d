# The batch mode's chart picture compared with the window's chart.
quelmora_test(test_chart_export
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/app_gui/test_chart_export.cpp
    LIBS app_gui Qt6::Test)
target_compile_definitions(test_chart_export PRIVATE QUELMORA_EXECUTABLE="$<TARGET_FILE:quelmora>")
add_dependencies(test_chart_export quelmora)
# The same picture under every locale the program meets (the real application
# object sets the C library's numeric locale from LC_ALL).
add_test(NAME chart_locale_pictures
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/chart/locale_pictures.sh $<TARGET_FILE:quelmora>
            ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/../shared/realdata)
