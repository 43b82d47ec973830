# Empties the folders a scripted run writes into, so that nothing left by an earlier run
# can pass for this run's output; with TILE and TILES, fills TILES with four copies of
# the real tile under the names of a 2 x 2 block of tiles.
#   cmake -DFOLDERS="a;b" [-DTILE=N57E011.hgt -DTILES=folder] -P fresh_folders.cmake
foreach(folder IN LISTS FOLDERS TILES)
  file(REMOVE_RECURSE "${folder}")
  file(MAKE_DIRECTORY "${folder}")
endforeach()
if(TILE AND TILES)
  foreach(name N57E011 N57E012 N58E011 N58E012)
    file(COPY_FILE "${TILE}" "${TILES}/${name}.hgt")
  endforeach()
endif()
