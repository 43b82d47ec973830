# Empties the folders a scripted run writes into, so that nothing left by an earlier run
# can pass for this run's output; with TILE and TILES, fills TILES with four copies of
# the real tile under the names of a 2 x 2 block of tiles. With WINE_WORLD (win32 or
# win64), relative folders are folders of drive C: in that world's Wine prefix, the one
# scripts/wine-env.sh names.
#   cmake -DFOLDERS="a;b" [-DTILE=N57E011.hgt -DTILES=folder] [-DWINE_WORLD=win32] -P fresh_folders.cmake
if(WINE_WORLD)
  execute_process(
    COMMAND bash -c "SRTM_WINE_WORLD=$1 && source \"$2\" && printf %s \"$WINEPREFIX/drive_c\""
            fresh_folders ${WINE_WORLD} ${CMAKE_CURRENT_LIST_DIR}/../../scripts/wine-env.sh
    OUTPUT_VARIABLE drive_c)
  if(NOT IS_DIRECTORY "${drive_c}")
    message(FATAL_ERROR "no drive C: in the ${WINE_WORLD} Wine prefix (${drive_c}): run through scripts/with-wine.sh")
  endif()
  list(TRANSFORM FOLDERS PREPEND "${drive_c}/" REGEX "^[^/]")
  list(TRANSFORM TILES PREPEND "${drive_c}/" REGEX "^[^/]")
endif()
foreach(folder IN LISTS FOLDERS TILES)
  file(REMOVE_RECURSE "${folder}")
  file(MAKE_DIRECTORY "${folder}")
endforeach()
if(TILE AND TILES)
  foreach(name N57E011 N57E012 N58E011 N58E012)
    file(COPY_FILE "${TILE}" "${TILES}/${name}.hgt")
  endforeach()
endif()
