# The chart engine: drawing surface, chart object model and layout, axes.
set(CHART_TEST_DIR ${CMAKE_CURRENT_SOURCE_DIR}/chart)
quelmora_test(test_canvas SOURCES ${CHART_TEST_DIR}/test_canvas.cpp LIBS chart)
target_include_directories(test_canvas PRIVATE ${CHART_TEST_DIR})
foreach(t test_chart test_axis test_chart_render)
  quelmora_test(${t} SOURCES ${CHART_TEST_DIR}/${t}.cpp LIBS chart)
  target_include_directories(${t} PRIVATE ${CHART_TEST_DIR})
endforeach()
