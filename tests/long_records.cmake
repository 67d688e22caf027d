# Long records: spike screening and repair, the smoother held to the gauge,
# gauge noise, periods (redistribution, summary rows) and the comparison with
# a reference, on hand-made records and on Lake Powell's 62 years.
quelmora_test(test_long_records
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/app/test_long_records.cpp
            ${CMAKE_CURRENT_SOURCE_DIR}/app/test_long_records_powell.cpp
            ${CMAKE_CURRENT_SOURCE_DIR}/app/test_long_record_run.cpp
            ${CMAKE_CURRENT_SOURCE_DIR}/app/test_record_repair.cpp
    LIBS app_core)
target_compile_definitions(test_long_records PRIVATE QUELMORA_REALDATA_DIR="${QUELMORA_REALDATA_DIR}")
