quelmora_test(test_exceptions SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/runtime/test_exceptions.cpp LIBS runtime)
