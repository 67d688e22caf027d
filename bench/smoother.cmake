# bench_smoother: the smoother held to the gauge on Lake Powell's record and
# on generated records of 100,000 and 1,000,000 steps (bench/bench_smoother.cpp).
add_executable(bench_smoother ${CMAKE_CURRENT_SOURCE_DIR}/bench_smoother.cpp)
target_link_libraries(bench_smoother PRIVATE app_core)
target_compile_definitions(bench_smoother PRIVATE
    QUELMORA_REALDATA_DIR="${CMAKE_SOURCE_DIR}/../shared/realdata")
