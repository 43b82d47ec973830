# The HGT side: tile names and paths, the tile object and its void filling.
srtm_test(hgt_paths_test
  SOURCES hgt/paths_test.cpp
  LIBS srtm_hgt)
srtm_test(hgt_tile_test
  SOURCES hgt/fill_on_read_test.cpp hgt/hgt_tile_test.cpp
  LIBS srtm_hgt)
