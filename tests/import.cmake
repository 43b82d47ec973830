# srtm import (native only: it is GDAL's, which only the Linux build links): inputs made
# by GDAL's tools from the real tile, bad inputs, shards, Ctrl-C, and the imported folder
# served by the plug-in, compressed and verified.
if(NOT CMAKE_CROSSCOMPILING)
  add_test(NAME tools_import_test
           COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/tools/import_test.sh $<TARGET_FILE:srtm> $<TARGET_FILE:qlphost>
                   ${PROJECT_SOURCE_DIR}/tests/data/N57E011.hgt)
  set_tests_properties(tools_import_test PROPERTIES SKIP_RETURN_CODE 77)
endif()
