quelmora_test(test_datetime SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/runtime/test_datetime.cpp LIBS runtime)
