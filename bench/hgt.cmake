# Block reads of the tile object (see hgt_bench.cpp for the targets).
add_executable(hgt_bench ${CMAKE_CURRENT_SOURCE_DIR}/hgt_bench.cpp)
srtm_target_defaults(hgt_bench)
target_link_libraries(hgt_bench PRIVATE srtm_hgt benchmark::benchmark)
