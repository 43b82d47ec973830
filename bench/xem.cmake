# XEM compression: a whole tile converted, the codec and the fill (see xem_bench.cpp).
add_executable(xem_bench ${CMAKE_CURRENT_SOURCE_DIR}/xem_bench.cpp)
srtm_target_defaults(xem_bench)
target_link_libraries(xem_bench PRIVATE srtm_xem srtm_hgt srtm_platform benchmark::benchmark)
