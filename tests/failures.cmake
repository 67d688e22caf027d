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

# Inputs of hundreds of megabytes: slow, so labelled "big" and run one at a
# time (ctest -LE big leaves them out).
add_executable(test_failure_big ${CMAKE_CURRENT_SOURCE_DIR}/app_big/test_failure_big.cpp)
target_link_libraries(test_failure_big PRIVATE app_core GTest::gtest GTest::gtest_main)
target_compile_definitions(test_failure_big PRIVATE QUELMORA_EXECUTABLE="$<TARGET_FILE:quelmora>")
add_dependencies(test_failure_big quelmora)
gtest_discover_tests(test_failure_big DISCOVERY_TIMEOUT 60
    PROPERTIES LABELS big RESOURCE_LOCK quelmora_big_files TIMEOUT 300)
