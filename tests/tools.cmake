# The srtm tool: parallel compression, parts of an archive, Ctrl-C, decoding to .hgt and
# relief pictures, in-process; then the built tool on the real tile.
add_library(tools_test_support STATIC tools/tools_test_support.cpp)
srtm_target_defaults(tools_test_support)
target_link_libraries(tools_test_support PUBLIC srtm_test_support srtm_hgt)

srtm_test(tools_test
  SOURCES tools/parallel_compress_test.cpp tools/compress_command_test.cpp tools/decode_hgt_test.cpp
          tools/render_test.cpp
  LIBS tools_test_support xem_test_support srtm_tool)

# info, verify, decode and render, and every command's conventions, as a user runs them.
srtm_command_test(NAME tools_cli_test EXIT 0 OUTPUT "all XEM command-line checks passed"
  COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/tools/cli_test.sh $<TARGET_FILE:srtm>
          ${PROJECT_SOURCE_DIR}/tests/data/N57E011.hgt ${CMAKE_CROSSCOMPILING_EMULATOR})

# The examples of the README and the guides, as written, in fresh folders.
srtm_command_test(NAME tools_doc_examples EXIT 0 OUTPUT "the examples of the documents ran as written"
  COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/tools/doc_examples_test.sh $<TARGET_FILE:srtm>
          ${PROJECT_SOURCE_DIR}/tests/data/N57E011.hgt ${CMAKE_CROSSCOMPILING_EMULATOR})

set(tools_dir ${CMAKE_CURRENT_BINARY_DIR}/tools_cli)
add_test(NAME tools_cli_setup COMMAND ${CMAKE_COMMAND} -E make_directory ${tools_dir}/out)
srtm_command_test(NAME tools_cli_compress EXIT 0 OUTPUT "compress: 1 tile converted, 0 already there, 0 failed -> "
  COMMAND srtm compress ${PROJECT_SOURCE_DIR}/tests/data -o ${tools_dir}/out --jobs 2 --fill off)
srtm_command_test(NAME tools_cli_decode EXIT 0
  OUTPUT "tile N57E011.hgt, 1201 x 1201 samples.*eastern column: repeated"
  COMMAND srtm decode ${tools_dir}/out/N57E011.xem -o ${tools_dir}/N57E011.hgt)
srtm_command_test(NAME tools_cli_render EXIT 0 OUTPUT "1201 x 1201 pixels from 1201 x 1201 samples"
  COMMAND srtm render ${PROJECT_SOURCE_DIR}/tests/data/N57E011.hgt -o ${tools_dir}/relief.png --level 13)
set_tests_properties(tools_cli_setup PROPERTIES FIXTURES_SETUP tools_dir)
set_tests_properties(tools_cli_compress PROPERTIES FIXTURES_REQUIRED tools_dir FIXTURES_SETUP tools_xem)
set_tests_properties(tools_cli_decode PROPERTIES FIXTURES_REQUIRED tools_xem)
set_tests_properties(tools_cli_render PROPERTIES FIXTURES_REQUIRED tools_dir)

# The demo end to end: the scripted user at the stand-in host, pictures of the served and
# the decoded maps, the sea line moved, and the XEM map equal to the served one.
srtm_command_test(NAME tools_demo EXIT 0
  OUTPUT "113,596 samples went under water.*equal to the served map at 99.96%.*demo finished\r?\n"
  COMMAND srtm-demo ${PROJECT_SOURCE_DIR}/tests/data/N57E011.hgt --out ${tools_dir}/demo --level 25)
set_tests_properties(tools_demo PROPERTIES FAIL_REGULAR_EXPRESSION "WITH ERRORS")

# Every command as users run it on Linux (tools/shapes_test.sh): Japanese folders, closed
# and redirected streams, links, loops, outputs that are inputs, signals, modes, owners.
# A row that cannot run here (no gdb, not the superuser) says so in the log.
if(NOT CMAKE_CROSSCOMPILING)
  srtm_command_test(NAME tools_shapes_test EXIT 0 OUTPUT "all shapes passed"
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/tools/shapes_test.sh $<TARGET_FILE:srtm> $<TARGET_FILE:qlphost>
            $<TARGET_FILE:srtm-demo> ${PROJECT_SOURCE_DIR}/tests/data/N57E011.hgt)
endif()
