quelmora_test(test_currency SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/runtime/test_currency.cpp LIBS runtime)
quelmora_test(test_floatrules SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/runtime/test_floatrules.cpp LIBS runtime)
quelmora_test(test_arithmetic SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/runtime/test_arithmetic.cpp LIBS runtime)
