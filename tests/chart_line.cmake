# The line series drawn through the chart onto its off-screen bitmap.
set(CHART_TEST_DIR ${CMAKE_CURRENT_SOURCE_DIR}/chart)
quelmora_test(test_line_series
    SOURCES ${CHART_TEST_DIR}/test_line_series.cpp ${CHART_TEST_DIR}/test_line_series_settings.cpp
    LIBS chart app_charts)
target_include_directories(test_line_series PRIVATE ${CHART_TEST_DIR})
