# The flood summary and the date-time axis labels: the pieces of the
# hydrograph page that need neither widgets nor a chart to draw on.
# The real reservoirs' records lie beside the project's folder.
set(QUELMORA_REALDATA_DIR "${CMAKE_SOURCE_DIR}/../shared/realdata" CACHE PATH
    "Folder of the real reservoir records the tests read")
quelmora_test(test_flood_summary
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/app/test_flood_summary.cpp
    LIBS app_core)
target_compile_definitions(test_flood_summary PRIVATE QUELMORA_REALDATA_DIR="${QUELMORA_REALDATA_DIR}")
quelmora_test(test_axis_date_steps
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/chart/test_axis_date_steps.cpp
    LIBS chart)
# The locale fixtures of the window's work serve here too.
target_include_directories(test_axis_date_steps PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/app)
