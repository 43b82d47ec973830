# Tiles read out of archives against zlib alone (see archive_bench.cpp); the archives
# are made by the tests' writer.
add_executable(archive_bench ${CMAKE_CURRENT_SOURCE_DIR}/archive_bench.cpp
                             ${PROJECT_SOURCE_DIR}/tests/archive/archive_writer.cpp)
srtm_target_defaults(archive_bench)
target_link_libraries(archive_bench PRIVATE srtm_archive benchmark::benchmark)
