find_package(Qt6 REQUIRED COMPONENTS Test)
quelmora_test(test_app_gui
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/app_gui/test_app_gui.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/app_gui/test_app_gui_window.cpp
  LIBS app_gui Qt6::Test)
