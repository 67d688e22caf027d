# The real program in a real X server, driven by xdotool: the four buttons,
# the file dialog, the About box and closing the window; on desktops of 96 and
# 120 pixels per inch.
add_executable(acceptance_probe ${CMAKE_CURRENT_SOURCE_DIR}/acceptance/layout_probe.cpp)
target_link_libraries(acceptance_probe PRIVATE app_gui)

# quelmora_acceptance(NAME DPI ppi)
function(quelmora_acceptance name)
  cmake_parse_arguments(A "" "DPI" "" ${ARGN})
  add_test(NAME ${name}
           COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/acceptance/run.sh $<TARGET_FILE:quelmora>)
  set_tests_properties(${name} PROPERTIES
      LABELS acceptance
      TIMEOUT 180
      ENVIRONMENT "QUELMORA_PROBE=$<TARGET_FILE:acceptance_probe>;QUELMORA_ACCEPTANCE_DIR=${CMAKE_BINARY_DIR}/${name};QUELMORA_ACCEPTANCE_DPI=${A_DPI}"
      SKIP_REGULAR_EXPRESSION "^SKIP: ")
endfunction()

quelmora_acceptance(acceptance DPI 96)
quelmora_acceptance(acceptance_120ppi DPI 120)
