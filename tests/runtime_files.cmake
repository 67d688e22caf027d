quelmora_test(test_linefile
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/runtime/test_linefile.cpp
            ${CMAKE_CURRENT_SOURCE_DIR}/runtime/test_linefile_atomic.cpp
    LIBS runtime)
quelmora_test(test_stringlist SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/runtime/test_stringlist.cpp LIBS runtime)
quelmora_test(test_errorreport SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/runtime/test_errorreport.cpp LIBS runtime)
