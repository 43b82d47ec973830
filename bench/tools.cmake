# srtm compress on several threads (see tools_bench.cpp).
add_executable(tools_bench ${CMAKE_CURRENT_SOURCE_DIR}/tools_bench.cpp)
srtm_target_defaults(tools_bench)
target_link_libraries(tools_bench PRIVATE srtm_tool benchmark::benchmark)
target_compile_definitions(tools_bench PRIVATE SRTM_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
