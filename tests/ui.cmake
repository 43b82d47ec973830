# The user interface. Natively the dialogs, the wizard and the menu commands run on the
# headless window system, driven by the scripted user; the same flows on the real
# dialogs of srtm.qlp under Wine are tests/wine.cmake's.
if(NOT WIN32)
  srtm_test(ui_templates_test
    SOURCES ui/templates_test.cpp
    LIBS srtm_ui)
  # The same templates as windres compiles them for the Win32 plug-in, when it is installed.
  find_program(SRTM_WINDRES NAMES i686-w64-mingw32-windres x86_64-w64-mingw32-windres windres)
  if(SRTM_WINDRES)
    set(compiled_res ${CMAKE_CURRENT_BINARY_DIR}/srtm.res)
    add_custom_command(
      OUTPUT ${compiled_res}
      COMMAND ${SRTM_WINDRES} -I${PROJECT_SOURCE_DIR}/res -I${PROJECT_BINARY_DIR}/res/generated
              -i ${PROJECT_SOURCE_DIR}/res/srtm.rc -O res -o ${compiled_res}
      DEPENDS ${PROJECT_SOURCE_DIR}/res/srtm.rc ${PROJECT_SOURCE_DIR}/res/resource.h
              ${PROJECT_BINARY_DIR}/res/generated/res/srtm_version.h
      COMMENT "Compiling the dialog templates with windres")
    add_custom_target(ui_compiled_res DEPENDS ${compiled_res})
    add_dependencies(ui_templates_test ui_compiled_res)
    target_compile_definitions(ui_templates_test PRIVATE SRTM_COMPILED_RESOURCES="${compiled_res}")
  endif()
endif()

if(NOT WIN32)
  add_library(ui_test_support STATIC ui/ui_fixture.cpp)
  srtm_target_defaults(ui_test_support)
  target_link_libraries(ui_test_support PUBLIC srtm_test_support srtm_shell PluginIf gtest)

  srtm_test(ui_dialogs_test SOURCES ui/dialogs_test.cpp LIBS ui_test_support)
  srtm_test(ui_menu_test SOURCES ui/menu_test.cpp LIBS ui_test_support)
  srtm_test(ui_wizard_test SOURCES ui/wizard_test.cpp LIBS ui_test_support)
  srtm_test(ui_script_test SOURCES ui/script_test.cpp LIBS ui_test_support)
endif()

# One script, two executors: the same user at the host in both worlds.
srtm_command_test(NAME ui_qlphost_run EXIT 0 OUTPUT "line 27: expect main enabled"
  COMMAND qlphost run ${CMAKE_CURRENT_SOURCE_DIR}/ui/scripts/settings_and_wizard.txt
          --open ${PROJECT_SOURCE_DIR}/tests/data/N57E011.hgt)
