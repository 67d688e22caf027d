# The flood summary and the date-time axis labels: the pieces of the
# hydrograph page that need neither widgets nor a chart to draw on.
quelmora_test(test_flood_summary
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/app/test_flood_summary.cpp
    LIBS app_core)
target_compile_definitions(test_flood_summary PRIVATE QUELMORA_REALDATA_DIR="${QUELMORA_REALDATA_DIR}")
quelmora_test(test_axis_date_steps
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/chart/test_axis_date_steps.cpp
    LIBS chart)
# The locale fixtures of the window's work serve here too.
target_include_directories(test_axis_date_steps PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/app)
