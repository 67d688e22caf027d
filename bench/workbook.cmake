# bench_workbook: the workbook layer on a sheet of a million rows (written,
# streamed, read whole) and on the agency's workbook; openpyxl's read-only
# reading of the same sheet beside it (bench/bench_workbook.sh; not part of
# the tests). cmake --build DIR --target bench_workbook_run runs it.
add_executable(bench_workbook ${CMAKE_CURRENT_SOURCE_DIR}/bench_workbook.cpp)
target_link_libraries(bench_workbook PRIVATE app_workbook)
add_custom_target(bench_workbook_run
    COMMAND ${CMAKE_COMMAND} -E env BENCH_WORKBOOK=$<TARGET_FILE:bench_workbook>
            ${CMAKE_CURRENT_SOURCE_DIR}/bench_workbook.sh
    USES_TERMINAL)
add_dependencies(bench_workbook_run bench_workbook)
