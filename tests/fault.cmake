# Fault injection through the platform layer: writes, reads, allocations, files and
# folders failing or changing under the compression, the tile reads and the user
# interface, with the outcome checked each time.
add_library(fault_injector STATIC fault/fault_injector.cpp)
srtm_target_defaults(fault_injector)
target_link_libraries(fault_injector PUBLIC srtm_platform)

srtm_test(fault_xem_test
  SOURCES fault/xem_faults_test.cpp
  LIBS fault_injector xem_test_support srtm_xem)

srtm_test(fault_tile_test
  SOURCES fault/tile_faults_test.cpp
  LIBS fault_injector xem_test_support srtm_shell PluginIf)
