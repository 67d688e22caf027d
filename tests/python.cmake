# The Python module under pytest, against the built program on the same files
# (tests/python/test_quelmora.py). Not in the sanitizer build, which has no module.
if(TARGET quelmora_python)
  add_test(NAME python_module
      COMMAND ${Python3_EXECUTABLE} -m pytest -q -p no:cacheprovider ${CMAKE_CURRENT_SOURCE_DIR}/python)
  set_tests_properties(python_module PROPERTIES
      TIMEOUT 300
      ENVIRONMENT "PYTHONPATH=${CMAKE_BINARY_DIR}/python;QUELMORA_PROGRAM=$<TARGET_FILE:quelmora>;QUELMORA_SOURCE_DIR=${CMAKE_SOURCE_DIR};QUELMORA_REALDATA_DIR=${QUELMORA_REALDATA_DIR}")
endif()
