# cmake --build DIR --target bench_batch: times the batch mode against the
# pandas peer on generated files (bench/bench_batch.sh; not part of the tests).
add_custom_target(bench_batch
    COMMAND ${CMAKE_COMMAND} -E env QUELMORA=$<TARGET_FILE:quelmora>
            ${CMAKE_SOURCE_DIR}/bench/bench_batch.sh
    USES_TERMINAL)
add_dependencies(bench_batch quelmora)
