# bench_hydrograph: the hydrograph chart's repaint with a 1,000,000-record
# flood (bench/bench_hydrograph.cpp); bench/bench_chart.sh prints its row.
add_executable(bench_hydrograph ${CMAKE_CURRENT_SOURCE_DIR}/bench_hydrograph.cpp)
target_link_libraries(bench_hydrograph PRIVATE app_charts)
