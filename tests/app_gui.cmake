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
target_compile_definitions(test_app_gui_hidpi PRIVATE QUELMORA_REALDATA_DIR="${QUELMORA_REALDATA_DIR}")
# The hydrograph page, the charts' menu and copying from the tables.
quelmora_test(test_hydrograph_page
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/app_gui/test_hydrograph_page.cpp
  LIBS app_gui Qt6::Test)
target_include_directories(test_hydrograph_page PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/app_gui)
target_compile_definitions(test_hydrograph_page PRIVATE QUELMORA_REALDATA_DIR="${QUELMORA_REALDATA_DIR}")
# The window at 96, 120 and 144 pixels per inch under three locales (every
# text fits its column), its growth and kept size, and what it does beyond
# its buttons: the value readout, the hydrograph's zoom in time, the dialogs,
# the command line.
quelmora_test(test_window_fit
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/app_gui/test_window_fit.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/app_gui/test_window_extras.cpp
  LIBS app_gui Qt6::Test)
target_include_directories(test_window_fit PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/app_gui)
target_compile_definitions(test_window_fit PRIVATE QUELMORA_REALDATA_DIR="${QUELMORA_REALDATA_DIR}")
# The import dialog on the agencies' files as published.
quelmora_test(test_import_dialog
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/app_gui/test_import_dialog.cpp
  LIBS app_gui Qt6::Test)
target_include_directories(test_import_dialog PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/app_gui)
target_compile_definitions(test_import_dialog PRIVATE QUELMORA_REALDATA_DIR="${QUELMORA_REALDATA_DIR}")
# Agency files opened in the window: the import entries, --window with the
# layout options, dated curves.
quelmora_test(test_window_import
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/app_gui/test_window_import.cpp
  LIBS app_gui Qt6::Test)
target_include_directories(test_window_import PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/app_gui)
target_compile_definitions(test_window_import PRIVATE QUELMORA_REALDATA_DIR="${QUELMORA_REALDATA_DIR}")
