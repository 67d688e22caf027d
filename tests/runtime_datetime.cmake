quelmora_test(test_datetime SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/runtime/test_datetime.cpp LIBS runtime)
quelmora_test(test_locale SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/runtime/test_locale.cpp LIBS runtime)
