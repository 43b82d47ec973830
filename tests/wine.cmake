# The plug-in as the host loads it, in both worlds: srtm.qlp in the stand-in host, its
# menus, dialogs and wizard driven by the scripted user (natively on the headless window
# system, in the Win32 world on the real dialogs under Wine), whole user flows through
# qlphost run, and in the Win32 world pictures of the dialogs with the checks that
# their Japanese texts are legible.
srtm_test(wine_flows_test SOURCES wine/flows_test.cpp LIBS PluginIf)
add_dependencies(wine_flows_test srtm_plugin)

set(wine_work ${CMAKE_CURRENT_BINARY_DIR}/wine)
set(wine_scripts ${CMAKE_CURRENT_SOURCE_DIR}/wine/scripts)
set(fresh_folders ${CMAKE_CURRENT_SOURCE_DIR}/wine/fresh_folders.cmake)

# Open a tile through the file dialog, change the sea, compress, read the XEM map.
add_test(NAME wine_end_to_end_folders
         COMMAND ${CMAKE_COMMAND} -DFOLDERS=${wine_work}/end_to_end -P ${fresh_folders})
set_tests_properties(wine_end_to_end_folders PROPERTIES FIXTURES_SETUP wine_end_to_end)
srtm_command_test(NAME wine_end_to_end EXIT 0 OUTPUT "line 52: expect sample base 57.7 11.9 14"
  COMMAND qlphost run ${wine_scripts}/end_to_end.txt
          --path TILE=${PROJECT_SOURCE_DIR}/tests/data/N57E011 --path OUT=${wine_work}/end_to_end)
set_tests_properties(wine_end_to_end PROPERTIES FIXTURES_REQUIRED wine_end_to_end)

# Pictures of every dialog, in the build's screenshots folder (checked, then kept). In
# the Win32 world they are the guide's pictures, so they show the folders a user has:
# the tiles in C:\地図\SRTM and the XEM files going to C:\地図\XEM, on drive C: of the
# world's Wine prefix. The native world draws no pixels: its run goes through, but is
# reported as skipped.
if(WIN32)
  math(EXPR bits "${CMAKE_SIZEOF_VOID_P} * 8")
  set(pictures_world -DWINE_WORLD=win${bits})
  set(pictures_tiles 地図/SRTM)
  set(pictures_out 地図/XEM)
  set(pictures_tile "C:\\地図\\SRTM\\N57E011.hgt")
  set(pictures_path "OUT=C:\\地図\\XEM")
  set(pictures_skip)
else()
  set(pictures_world)
  set(pictures_tiles ${wine_work}/pictures_tiles)
  set(pictures_out ${wine_work}/pictures_out)
  set(pictures_tile ${pictures_tiles}/N57E011.hgt)
  set(pictures_path OUT=${pictures_out})
  set(pictures_skip SKIP "the native world draws no pixels: pictures and fonts are checked in the Win32 world")
endif()
add_test(NAME wine_pictures_folders
         COMMAND ${CMAKE_COMMAND} "-DFOLDERS=${pictures_out};${CMAKE_BINARY_DIR}/screenshots" ${pictures_world}
                 -DTILE=${PROJECT_SOURCE_DIR}/tests/data/N57E011.hgt -DTILES=${pictures_tiles} -P ${fresh_folders})
set_tests_properties(wine_pictures_folders PROPERTIES FIXTURES_SETUP wine_pictures)
srtm_command_test(NAME wine_pictures EXIT 0 OUTPUT "line 38: wait gone 30721" ${pictures_skip}
  COMMAND qlphost run ${wine_scripts}/pictures.txt --open ${pictures_tile}
          --path ${pictures_path} --pictures ${CMAKE_BINARY_DIR}/screenshots)
set_tests_properties(wine_pictures PROPERTIES FIXTURES_REQUIRED wine_pictures)

# The legibility checks of the pictures, each shown the fault it must find.
if(WIN32)
  srtm_test(wine_legibility_test
            SOURCES wine/legibility_test.cpp ${PROJECT_SOURCE_DIR}/testhost/shot_win32.cpp
            LIBS user32 gdi32 srtm_picture)
endif()
