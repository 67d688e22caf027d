# The window's work without widgets (grid model, readers, computation, result
# file), and the batch mode through the built program.
quelmora_test(test_inflow
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/app/test_inflow_grid.cpp
            ${CMAKE_CURRENT_SOURCE_DIR}/app/test_inflow_curve.cpp
            ${CMAKE_CURRENT_SOURCE_DIR}/app/test_inflow_stamp.cpp
            ${CMAKE_CURRENT_SOURCE_DIR}/app/test_inflow_work.cpp
            ${CMAKE_CURRENT_SOURCE_DIR}/app/test_inflow_balance.cpp
            ${CMAKE_CURRENT_SOURCE_DIR}/app/test_tidy_table.cpp
    LIBS app_core)
target_compile_definitions(test_inflow PRIVATE QUELMORA_REALDATA_DIR="${QUELMORA_REALDATA_DIR}")

quelmora_test(test_batch
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/app/test_batch.cpp
    LIBS app_batch)
target_compile_definitions(test_batch PRIVATE QUELMORA_EXECUTABLE="$<TARGET_FILE:quelmora>"
    QUELMORA_REALDATA_DIR="${QUELMORA_REALDATA_DIR}")
add_dependencies(test_batch quelmora)
