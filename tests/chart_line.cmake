# The line series drawn through the chart onto its off-screen bitmap.
file(GLOB CHART_LINE_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/chart/test_line_series*.cpp)
quelmora_test(test_line_series SOURCES ${CHART_LINE_TEST_SOURCES} LIBS chart)
target_include_directories(test_line_series PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/chart)
