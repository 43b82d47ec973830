# The HGT side: tile names and paths, the tile object and its void filling.
srtm_test(hgt_paths_test
  SOURCES hgt/paths_test.cpp
  LIBS srtm_hgt)
