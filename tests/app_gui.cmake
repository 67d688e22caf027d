find_package(Qt6 REQUIRED COMPONENTS Test)
quelmora_test(test_app_gui
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/app_gui/test_app_gui.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/app_gui/test_app_gui_window.cpp
  LIBS app_gui Qt6::Test)
# The windows at a device pixel ratio of 1.25 (a process of their own: Qt
# takes the ratio when the application object is made).
quelmora_test(test_app_gui_hidpi
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/app_gui/test_app_gui_hidpi.cpp
  LIBS app_gui Qt6::Test)
