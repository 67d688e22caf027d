# The hydrograph page's chart: its series and its picture.
quelmora_test(test_hydrograph_chart
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/app/test_hydrograph_chart.cpp
    LIBS app_charts)
target_include_directories(test_hydrograph_chart PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/app ${CMAKE_CURRENT_SOURCE_DIR}/chart)
target_compile_definitions(test_hydrograph_chart PRIVATE QUELMORA_REALDATA_DIR="${QUELMORA_REALDATA_DIR}")
