# The plug-in shell, driven through the stand-in host and the plug-in's exports only.
srtm_test(plugin_test
  SOURCES shell/plugin_test.cpp
  LIBS PluginIf)
add_dependencies(plugin_test srtm_plugin)

if(WIN32)
  srtm_command_test(NAME pe_imports_exports EXIT 0 OUTPUT "PE32 plug-in imports and exports are as required"
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/shell/check_pe.sh $<TARGET_FILE:srtm_plugin>)
endif()
