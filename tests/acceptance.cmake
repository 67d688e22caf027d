# The real program in a real X server, driven by xdotool: the four buttons,
# the file dialog, the About box and closing the window.
add_executable(acceptance_probe ${CMAKE_CURRENT_SOURCE_DIR}/acceptance/layout_probe.cpp)
target_link_libraries(acceptance_probe PRIVATE app_gui)

add_test(NAME acceptance
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/acceptance/run.sh $<TARGET_FILE:quelmora>)
set_tests_properties(acceptance PROPERTIES
    LABELS acceptance
    TIMEOUT 180
    ENVIRONMENT "QUELMORA_PROBE=$<TARGET_FILE:acceptance_probe>;QUELMORA_ACCEPTANCE_DIR=${CMAKE_BINARY_DIR}/acceptance"
    SKIP_REGULAR_EXPRESSION "^SKIP: ")
