# Real records: corrections of the computed inflow (smoothing, redistribution
# of negative values) and the check of a curve and a flood record.
quelmora_test(test_inflow_correction
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/app/test_inflow_correction.cpp
            ${CMAKE_CURRENT_SOURCE_DIR}/app/test_record_check.cpp
    LIBS app_core)
