# Fault injection through the platform layer: writes, reads, allocations, files and
# folders failing or changing under the compression, the tile reads and the user
# interface, with the outcome checked each time.
srtm_test(fault_xem_test
  SOURCES fault/xem_faults_test.cpp
  LIBS xem_test_support srtm_xem)

srtm_test(fault_tile_test
  SOURCES fault/tile_faults_test.cpp
  LIBS xem_test_support srtm_shell PluginIf)

# Block reads under load while another thread replaces tile files.
add_executable(load_block_test load/block_load_test.cpp)
srtm_target_defaults(load_block_test)
target_link_libraries(load_block_test PRIVATE srtm_test_support srtm_shell PluginIf)
find_package(Threads REQUIRED)
target_link_libraries(load_block_test PRIVATE Threads::Threads)
if(WIN32)
  # Under Wine every file operation is a round trip to the wine server: a tenth of the
  # reads keeps the Win32 run near ten seconds.
  target_link_libraries(load_block_test PRIVATE psapi)
  add_test(NAME load_block_test COMMAND load_block_test 10000)
elseif(SRTM_SANITIZE)
  # Five times slower under the sanitizers: a third of the reads.
  add_test(NAME load_block_test COMMAND load_block_test 30000)
else()
  add_test(NAME load_block_test COMMAND load_block_test)
endif()

# The plug-in's life for the leak checkers: valgrind here, LeakSanitizer in the
# sanitizer build (where valgrind cannot run).
if(NOT WIN32)
  add_executable(plugin_life fault/plugin_life.cpp)
  srtm_target_defaults(plugin_life)
  target_link_libraries(plugin_life PRIVATE srtm_test_support PluginIf)
  add_dependencies(plugin_life srtm_plugin)
  find_program(SRTM_VALGRIND valgrind)
  if(SRTM_SANITIZE)
    add_test(NAME plugin_life_leak_check COMMAND plugin_life)
  elseif(SRTM_VALGRIND)
    add_test(NAME plugin_life_leak_check
             COMMAND ${SRTM_VALGRIND} --quiet --leak-check=full --show-leak-kinds=definite,indirect,possible
                     --errors-for-leak-kinds=definite,indirect,possible --error-exitcode=99 $<TARGET_FILE:plugin_life>)
  else()
    message(WARNING "valgrind not found (scripts/setup.sh installs it): the plug-in is not checked for leaks")
  endif()
endif()

# The wizard and the registration of its files, on the headless window system.
if(NOT WIN32)
  srtm_test(fault_ui_test
    SOURCES fault/ui_faults_test.cpp
    LIBS ui_test_support)
endif()

# `ctest -L fault` runs the fault-injection, load and leak tests alone.
foreach(test fault_xem_test fault_tile_test fault_ui_test load_block_test plugin_life_leak_check)
  if(TEST ${test})
    set_tests_properties(${test} PROPERTIES LABELS fault)
  endif()
endforeach()
