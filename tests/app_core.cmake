# The window's work without widgets: grid model, readers, computation,
# result file.
quelmora_test(test_inflow
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/app/test_inflow_grid.cpp
            ${CMAKE_CURRENT_SOURCE_DIR}/app/test_inflow_curve.cpp
            ${CMAKE_CURRENT_SOURCE_DIR}/app/test_inflow_stamp.cpp
            ${CMAKE_CURRENT_SOURCE_DIR}/app/test_inflow_work.cpp
    LIBS app_core)

