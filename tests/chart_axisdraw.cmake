# Axis drawing: labels, ticks, grid lines and titles read back from pictures.
file(GLOB CHART_AXISDRAW_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/chart/test_axis_draw*.cpp)
quelmora_test(test_axis_draw SOURCES ${CHART_AXISDRAW_TEST_SOURCES} LIBS chart)
target_include_directories(test_axis_draw PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/chart)
