# Mouse zoom and scroll: the chart engine's handlers, and the hosting widget
# shown on the offscreen screen.
file(GLOB CHART_ZOOM_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/chart/test_zoom*.cpp)
quelmora_test(test_zoom SOURCES ${CHART_ZOOM_TEST_SOURCES} LIBS chart_widget)
target_include_directories(test_zoom PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/chart)
target_compile_definitions(test_zoom PRIVATE QUELMORA_TEST_WIDGETS)
