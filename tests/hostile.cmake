# Hostile command lines and files through the built program (a table in
# hostile/hostile.py): exit status, first line of standard error, inputs
# unchanged, outputs complete or absent. Runs under the sanitizer build too.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
add_test(NAME hostile_command_lines
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/hostile/hostile.py $<TARGET_FILE:quelmora>
            ${CMAKE_SOURCE_DIR})
set_tests_properties(hostile_command_lines PROPERTIES TIMEOUT 600)
