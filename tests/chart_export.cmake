# The batch mode's chart picture compared with the window's chart.
quelmora_test(test_chart_export
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/app_gui/test_chart_export.cpp
    LIBS app_gui Qt6::Test)
target_compile_definitions(test_chart_export PRIVATE QUELMORA_EXECUTABLE="$<TARGET_FILE:quelmora>")
add_dependencies(test_chart_export quelmora)
