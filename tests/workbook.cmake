# The workbook layer: reading (the agency's workbook against its CSV tables,
# hand-made and hostile workbooks, LibreOffice's), writing, and the round trip.
quelmora_test(test_workbook
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/workbook/test_workbook_read.cpp
            ${CMAKE_CURRENT_SOURCE_DIR}/workbook/test_workbook_write.cpp
    LIBS app_workbook PkgConfig::MINIZIP)
target_compile_definitions(test_workbook PRIVATE QUELMORA_REALDATA_DIR="${QUELMORA_REALDATA_DIR}")

# Sheets read as curves and records, against the same tables as text files.
quelmora_test(test_workbook_lines
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/workbook/test_workbook_lines.cpp
    LIBS app_workbook_lines PkgConfig::MINIZIP)

# openpyxl, the Python reader and writer of workbooks, against ours both ways.
add_executable(workbook_probe ${CMAKE_CURRENT_SOURCE_DIR}/workbook/workbook_probe.cpp)
target_link_libraries(workbook_probe PRIVATE app_workbook)
find_program(QUELMORA_DEBIAN_PYTHON python3 PATHS /usr/bin NO_DEFAULT_PATH REQUIRED)
add_test(NAME workbook_openpyxl
    COMMAND ${QUELMORA_DEBIAN_PYTHON} ${CMAKE_CURRENT_SOURCE_DIR}/workbook/openpyxl_check.py
            $<TARGET_FILE:workbook_probe>)

# The batch mode's --xlsx workbook read by openpyxl against the same run's
# result, summary, corrected-inflow, table and hydrograph files.
add_test(NAME batch_xlsx_openpyxl
    COMMAND ${QUELMORA_DEBIAN_PYTHON} ${CMAKE_CURRENT_SOURCE_DIR}/workbook/result_workbook_check.py
            $<TARGET_FILE:quelmora> ${CMAKE_SOURCE_DIR} ${QUELMORA_REALDATA_DIR})

# A sheet of a million records is read one row at a time: peak memory within
# a bound of the same record as CSV, and the same result.
add_test(NAME workbook_million_rows
    COMMAND ${QUELMORA_DEBIAN_PYTHON} ${CMAKE_CURRENT_SOURCE_DIR}/workbook/million_rows.py $<TARGET_FILE:quelmora>
            ${CMAKE_SOURCE_DIR})
set_tests_properties(workbook_million_rows PROPERTIES TIMEOUT 600)
