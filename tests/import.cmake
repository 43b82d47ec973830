# srtm import (native only: its raster engine is GDAL, which only the Linux build has):
# inputs made by GDAL's tools from the real tile, bad inputs, shards, Ctrl-C, and the
# imported folder served by the plug-in, compressed and verified; then the data shaped
# as the downloads ship it.
if(NOT CMAKE_CROSSCOMPILING)
  foreach(script import_test import_shapes_test)
    add_test(NAME tools_${script}
             COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/tools/${script}.sh $<TARGET_FILE:srtm> $<TARGET_FILE:qlphost>
                     ${PROJECT_SOURCE_DIR}/tests/data/N57E011.hgt)
    set_tests_properties(tools_${script} PROPERTIES SKIP_RETURN_CODE 77)
  endforeach()
endif()
