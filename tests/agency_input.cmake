# Agency files as they come: fields and headings, column and unit options,
# stamp forms, dated curves, gaps and notes, plausibility.
quelmora_test(test_agency_input
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/app/test_agency_options.cpp
            ${CMAKE_CURRENT_SOURCE_DIR}/app/test_agency_units.cpp
            ${CMAKE_CURRENT_SOURCE_DIR}/app/test_agency_stamps.cpp
            ${CMAKE_CURRENT_SOURCE_DIR}/app/test_agency_records.cpp
            ${CMAKE_CURRENT_SOURCE_DIR}/app/test_agency_reading.cpp
    LIBS app_core)
target_compile_definitions(test_agency_input PRIVATE QUELMORA_REALDATA_DIR="${QUELMORA_REALDATA_DIR}")
# The options that describe a file, as every front end reads them.
quelmora_test(test_record_format
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/app/test_record_format.cpp
    LIBS app_core)
target_compile_definitions(test_record_format PRIVATE QUELMORA_REALDATA_DIR="${QUELMORA_REALDATA_DIR}")
# The agencies' own files, as published, through the program.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
add_test(NAME agency_files_as_published
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/agency/as_published.py $<TARGET_FILE:quelmora> ${QUELMORA_REALDATA_DIR})
# Lake Powell's 62 years screened, scaled, smoothed within the gauge and
# compared, through the program.
add_test(NAME long_records_powell
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/agency/long_records.py $<TARGET_FILE:quelmora> ${QUELMORA_REALDATA_DIR})
# Curves and records as workbooks (the agency's, LibreOffice's, openpyxl's)
# give byte for byte the results of the same tables as CSV. openpyxl is
# Debian's: the system python3.
add_test(NAME agency_workbook_input
    COMMAND /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/agency/workbook_input.py $<TARGET_FILE:quelmora>
            ${CMAKE_SOURCE_DIR} ${QUELMORA_REALDATA_DIR})
