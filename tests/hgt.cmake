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
