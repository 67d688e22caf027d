# bench_chart: times one full repaint of the window's chart with a long curve,
# a zoomed view and a move of the zoom band (bench/bench_chart.cpp).
# cmake --build DIR --target bench_chart_vs_peer runs it beside the matplotlib
# peer on the same generated curve (bench/bench_chart.sh; not part of the tests).
add_executable(bench_chart ${CMAKE_CURRENT_SOURCE_DIR}/bench_chart.cpp)
target_link_libraries(bench_chart PRIVATE chart app_charts)
add_custom_target(bench_chart_vs_peer
    COMMAND ${CMAKE_COMMAND} -E env BENCH_CHART=$<TARGET_FILE:bench_chart>
            ${CMAKE_CURRENT_SOURCE_DIR}/bench_chart.sh
    USES_TERMINAL)
add_dependencies(bench_chart_vs_peer bench_chart)
