# Axis drawing: labels, ticks, grid lines and titles read back from pictures,
# and the band the labels take.
set(CHART_TEST_DIR ${CMAKE_CURRENT_SOURCE_DIR}/chart)
quelmora_test(test_axis_draw SOURCES ${CHART_TEST_DIR}/test_axis_draw.cpp ${CHART_TEST_DIR}/test_axis_draw_band.cpp LIBS chart app_charts)
target_include_directories(test_axis_draw PRIVATE ${CHART_TEST_DIR})
