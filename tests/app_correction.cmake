# Corrections of the computed inflow (smoothing, redistribution of negative
# values), on made-up series and on the real records.
quelmora_test(test_inflow_correction
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/app/test_inflow_correction.cpp
    LIBS app_core)
