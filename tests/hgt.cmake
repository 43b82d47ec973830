# The HGT side: tile names and paths, the tile object and its void filling.
srtm_test(hgt_paths_test
  SOURCES hgt/paths_test.cpp
  LIBS srtm_hgt)
srtm_test(hgt_tile_test
  SOURCES hgt/fill_on_read_test.cpp hgt/hgt_tile_test.cpp
  LIBS srtm_hgt)
srtm_test(hgt_registry_test
  SOURCES hgt/tile_registry_test.cpp
  LIBS srtm_shell)
# Maps opened through the stand-in host and the plug-in's exports only.
srtm_test(hgt_map_source_test
  SOURCES hgt/map_source_test.cpp
  LIBS PluginIf)
add_dependencies(hgt_map_source_test srtm_plugin)
# The srtm tool's tile commands and qlphost block, run as a user runs them.
srtm_command_test(NAME hgt_cli_test EXIT 0 OUTPUT "all CLI checks passed"
  COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/hgt/cli_test.sh $<TARGET_FILE:srtm> $<TARGET_FILE:qlphost>
          ${PROJECT_SOURCE_DIR}/tests/data/N57E011.hgt ${CMAKE_CROSSCOMPILING_EMULATOR})
