# The picture library: relief grids of served maps and XEM grids, and PNG files read
# back by libpng where the native world has it.
srtm_test(picture_map_test
  SOURCES picture/map_picture_test.cpp
  LIBS srtm_picture srtm_hgt)
if(NOT WIN32)
  srtm_test(picture_png_test SOURCES picture/png_test.cpp LIBS srtm_picture)
endif()
