# Value lists, points and the series' part in the chart.
set(CHART_TEST_DIR ${CMAKE_CURRENT_SOURCE_DIR}/chart)
quelmora_test(test_series
    SOURCES ${CHART_TEST_DIR}/test_series_chart.cpp ${CHART_TEST_DIR}/test_series_points.cpp
            ${CHART_TEST_DIR}/test_series_values.cpp
    LIBS chart app_charts)
