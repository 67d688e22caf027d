# Failures as the user meets them: every message through the window's handlers
# and through the built program's batch mode, real failures injected (a full
# disk, files gone or replaced, no descriptors left), and very large inputs.
find_package(Qt6 REQUIRED COMPONENTS Test)

quelmora_test(test_failure_messages
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/app_gui/test_failure_messages.cpp
  LIBS app_gui Qt6::Test)
target_compile_definitions(test_failure_messages PRIVATE QUELMORA_EXECUTABLE="$<TARGET_FILE:quelmora>")
add_dependencies(test_failure_messages quelmora)

quelmora_test(test_failure_injection
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/app_gui/test_failure_injection.cpp
  LIBS app_gui Qt6::Test)
target_compile_definitions(test_failure_injection PRIVATE QUELMORA_EXECUTABLE="$<TARGET_FILE:quelmora>")
add_dependencies(test_failure_injection quelmora)
