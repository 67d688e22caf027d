quelmora_test(test_floatrules SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/runtime/test_floatrules.cpp LIBS runtime)
