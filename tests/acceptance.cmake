# The real program in a real X server, driven by xdotool: the four buttons,
# the file dialog, the About box and closing the window; on desktops of 96,
# 120 and 144 pixels per inch with a window manager (openbox), and under each
# locale the set-up generates. Under C, de_DE and zh_CN at each density the
# real records are read too: every table text must fit its column, cancelled
# dialogs change nothing, the chart saves as .png through a save dialog, and
# the enlarged window shows the result column.
add_executable(acceptance_probe ${CMAKE_CURRENT_SOURCE_DIR}/acceptance/layout_probe.cpp)
target_link_libraries(acceptance_probe PRIVATE app_gui)

# quelmora_acceptance(NAME LOCALE locale DPI ppi TITLE caption [SHORT]
#                     [NO_CHART] [REAL] [SCREEN WxHxD]):
# TITLE is Qt's own caption of the file dialog in the locale's language;
# SHORT leaves out the help page and the About box; NO_CHART leaves out the
# comparison of the chart on the screen with the batch mode's; REAL adds the
# real records' steps; IMPORT (with REAL) opens the agency's Powell files
# through the import dialog; SCREEN sizes the X screen (1280x1024x24).
function(quelmora_acceptance name)
  cmake_parse_arguments(A "SHORT;NO_CHART;REAL;IMPORT" "LOCALE;DPI;TITLE;SCREEN" "" ${ARGN})
  set(import 0)
  if(A_IMPORT)
    set(import 1)
  endif()
  set(real "")
  if(A_REAL)
    set(real "${QUELMORA_REALDATA_DIR}")
  endif()
  set(screen "1280x1024x24")
  if(A_SCREEN)
    set(screen "${A_SCREEN}")
  endif()
  set(steps full)
  if(A_SHORT)
    set(steps short)
  endif()
  set(chart 1)
  if(A_NO_CHART)
    set(chart 0)
  endif()
  add_test(NAME ${name}
           COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/acceptance/run.sh $<TARGET_FILE:quelmora>)
  set_tests_properties(${name} PROPERTIES
      LABELS acceptance
      TIMEOUT 300
      ENVIRONMENT "QUELMORA_PROBE=$<TARGET_FILE:acceptance_probe>;QUELMORA_ACCEPTANCE_DIR=${CMAKE_BINARY_DIR}/${name};QUELMORA_ACCEPTANCE_LOCALE=${A_LOCALE};QUELMORA_ACCEPTANCE_DPI=${A_DPI};QUELMORA_ACCEPTANCE_TITLE=${A_TITLE};QUELMORA_ACCEPTANCE_STEPS=${steps};QUELMORA_ACCEPTANCE_CHART=${chart};QUELMORA_ACCEPTANCE_WM=openbox;QUELMORA_ACCEPTANCE_REAL=${real};QUELMORA_ACCEPTANCE_SCREEN=${screen};QUELMORA_ACCEPTANCE_IMPORT=${import}"
      SKIP_REGULAR_EXPRESSION "^SKIP: ")
endfunction()

# The three locales at the three densities, with the real records; the
# help page and the About box once per density.
quelmora_acceptance(acceptance LOCALE C.UTF-8 DPI 96 TITLE Open REAL IMPORT)
quelmora_acceptance(acceptance_120ppi LOCALE C.UTF-8 DPI 120 TITLE Open REAL IMPORT)
quelmora_acceptance(acceptance_144ppi LOCALE C.UTF-8 DPI 144 TITLE Open REAL SCREEN 1920x1200x24)
quelmora_acceptance(acceptance_de_DE_96ppi LOCALE de_DE.UTF-8 DPI 96 TITLE Öffnen SHORT REAL)
quelmora_acceptance(acceptance_de_DE LOCALE de_DE.UTF-8 DPI 120 TITLE Öffnen SHORT REAL)
quelmora_acceptance(acceptance_de_DE_144ppi LOCALE de_DE.UTF-8 DPI 144 TITLE Öffnen SHORT REAL SCREEN 1920x1200x24)
quelmora_acceptance(acceptance_zh_CN_96ppi LOCALE zh_CN.UTF-8 DPI 96 TITLE 打开 SHORT REAL)
quelmora_acceptance(acceptance_zh_CN LOCALE zh_CN.UTF-8 DPI 120 TITLE 打开 SHORT REAL)
quelmora_acceptance(acceptance_zh_CN_144ppi LOCALE zh_CN.UTF-8 DPI 144 TITLE 打开 SHORT REAL SCREEN 1920x1200x24)
# The other locales: the file steps.
quelmora_acceptance(acceptance_en_US LOCALE en_US.UTF-8 DPI 120 TITLE Open SHORT)
quelmora_acceptance(acceptance_fr_FR LOCALE fr_FR.UTF-8 DPI 120 TITLE Ouvrir SHORT)
quelmora_acceptance(acceptance_sv_SE LOCALE sv_SE.UTF-8 DPI 120 TITLE Öppna SHORT)
