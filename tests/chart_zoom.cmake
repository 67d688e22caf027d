# Mouse zoom and scroll: the chart engine's handlers, and the hosting widget
# shown on the offscreen screen.
set(CHART_TEST_DIR ${CMAKE_CURRENT_SOURCE_DIR}/chart)
quelmora_test(test_zoom SOURCES ${CHART_TEST_DIR}/test_zoom.cpp ${CHART_TEST_DIR}/test_zoom_widget.cpp LIBS chart_widget app_charts)
target_include_directories(test_zoom PRIVATE ${CHART_TEST_DIR})
target_compile_definitions(test_zoom PRIVATE QUELMORA_TEST_WIDGETS)
