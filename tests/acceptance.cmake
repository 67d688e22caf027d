# The real program in a real X server, driven by xdotool: the four buttons,
# the file dialog, the About box and closing the window; on desktops of 96 and
# 120 pixels per inch, and under each locale the set-up generates.
add_executable(acceptance_probe ${CMAKE_CURRENT_SOURCE_DIR}/acceptance/layout_probe.cpp)
target_link_libraries(acceptance_probe PRIVATE app_gui)

# quelmora_acceptance(NAME LOCALE locale DPI ppi TITLE caption [SHORT]
#                     [NO_CHART]):
# TITLE is Qt's own caption of the file dialog in the locale's language;
# SHORT leaves out the help page and the About box; NO_CHART leaves out the
# comparison of the chart on the screen with the batch mode's.
function(quelmora_acceptance name)
  cmake_parse_arguments(A "SHORT;NO_CHART" "LOCALE;DPI;TITLE" "" ${ARGN})
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
      TIMEOUT 180
      ENVIRONMENT "QUELMORA_PROBE=$<TARGET_FILE:acceptance_probe>;QUELMORA_ACCEPTANCE_DIR=${CMAKE_BINARY_DIR}/${name};QUELMORA_ACCEPTANCE_LOCALE=${A_LOCALE};QUELMORA_ACCEPTANCE_DPI=${A_DPI};QUELMORA_ACCEPTANCE_TITLE=${A_TITLE};QUELMORA_ACCEPTANCE_STEPS=${steps};QUELMORA_ACCEPTANCE_CHART=${chart}"
      SKIP_REGULAR_EXPRESSION "^SKIP: ")
endfunction()

quelmora_acceptance(acceptance LOCALE C.UTF-8 DPI 96 TITLE Open)
quelmora_acceptance(acceptance_120ppi LOCALE C.UTF-8 DPI 120 TITLE Open)
quelmora_acceptance(acceptance_en_US LOCALE en_US.UTF-8 DPI 120 TITLE Open SHORT)
quelmora_acceptance(acceptance_de_DE LOCALE de_DE.UTF-8 DPI 120 TITLE Öffnen SHORT)
quelmora_acceptance(acceptance_fr_FR LOCALE fr_FR.UTF-8 DPI 120 TITLE Ouvrir SHORT)
quelmora_acceptance(acceptance_sv_SE LOCALE sv_SE.UTF-8 DPI 120 TITLE Öppna SHORT)
quelmora_acceptance(acceptance_zh_CN LOCALE zh_CN.UTF-8 DPI 120 TITLE 打开 SHORT)
