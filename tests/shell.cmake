# The plug-in shell, driven through the stand-in host and the plug-in's exports only.
srtm_test(plugin_test
  SOURCES shell/plugin_test.cpp
  LIBS PluginIf)
add_dependencies(plugin_test srtm_plugin)

# The shipped programs as Windows loads them, read from their headers without running
# them (so checked also where the world's programs cannot run): the plug-in a GUI DLL
# exporting exactly its five entry points, the tool a console program, neither needing
# a DLL beyond Windows' own and the host's PluginIf.dll.
if(WIN32)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(pe_format --pe32)
  else()
    set(pe_format --pe32+)
  endif()
  set(check_pe bash ${CMAKE_CURRENT_SOURCE_DIR}/support/check_pe.sh)
  srtm_command_test(NAME pe_plugin EXIT 0 OUTPUT "PE checks passed: srtm.qlp"
    COMMAND ${check_pe} $<TARGET_FILE:srtm_plugin> ${pe_format} --gui --dll
            --exports "Create Load Close Release About" --imports PluginIf.dll)
  srtm_command_test(NAME pe_tool EXIT 0 OUTPUT "PE checks passed: srtm.exe"
    COMMAND ${check_pe} $<TARGET_FILE:srtm> ${pe_format} --console)
  set_tests_properties(pe_plugin pe_tool PROPERTIES LABELS "command;pe")
endif()
