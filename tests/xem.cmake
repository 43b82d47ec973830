# The XEM side: codec, file format, writer and reader, fill, converter, batch, the
# stand-in host reading XEM, the XEM hook and the srtm tool's XEM commands.
srtm_test(xem_codec_test
  SOURCES xem/codec_test.cpp
  LIBS srtm_xem_decode srtm_xem)

# The decoder fuzz target (it needs the decoder alone), replayed on generated inputs;
# the replay driver also uses the encoder to make its seed streams.
add_executable(xem_decode_fuzz xem/decode_fuzz.cpp)
srtm_target_defaults(xem_decode_fuzz)
target_link_libraries(xem_decode_fuzz PRIVATE srtm_xem_decode srtm_xem)
add_test(NAME xem_decode_fuzz COMMAND xem_decode_fuzz)

srtm_test(xem_fill_test
  SOURCES xem/fill_test.cpp
  LIBS srtm_xem)

srtm_test(xem_format_test
  SOURCES xem/format_test.cpp
  LIBS srtm_xem)

add_library(xem_test_support STATIC xem/xem_test_support.cpp)
srtm_target_defaults(xem_test_support)
target_link_libraries(xem_test_support PUBLIC srtm_test_support srtm_xem)

srtm_test(xem_convert_test
  SOURCES xem/convert_test.cpp
  LIBS xem_test_support srtm_xem)

srtm_test(xem_batch_test
  SOURCES xem/batch_test.cpp
  LIBS xem_test_support srtm_xem)

# The XEM hook of the shell, called as the host calls it.
srtm_test(xem_hook_test
  SOURCES xem/xem_hook_test.cpp
  LIBS srtm_shell)

# The stand-in host reading XEM files, with the plug-in loaded for its hook.
srtm_test(xem_host_test
  SOURCES xem/host_xem_test.cpp
  LIBS PluginIf xem_test_support srtm_xem)
add_dependencies(xem_host_test srtm_plugin)

# The srtm tool's XEM commands, in-process, then the built tool itself on the real tile.
srtm_test(xem_tool_test
  SOURCES xem/tool_test.cpp
  LIBS xem_test_support srtm_tool)

set(xem_tool_dir ${CMAKE_CURRENT_BINARY_DIR}/xem_tool)
add_test(NAME xem_tool_setup COMMAND ${CMAKE_COMMAND} -E make_directory ${xem_tool_dir})
srtm_command_test(NAME xem_tool_compress EXIT 0 OUTPUT "compress: 1 tile converted, 0 already there, 0 failed -> "
  COMMAND srtm compress ${PROJECT_SOURCE_DIR}/tests/data/N57E011.hgt -o ${xem_tool_dir} --fill off)
srtm_command_test(NAME xem_tool_verify EXIT 0 OUTPUT "1440000 samples equal, 0 voids filled"
  COMMAND srtm verify ${xem_tool_dir}/N57E011.xem ${PROJECT_SOURCE_DIR}/tests/data/N57E011.hgt --fill off)
srtm_command_test(NAME xem_tool_info EXIT 0 OUTPUT "XEM file of the SRTM-3 tile N57E011, [0-9]+ bytes, sound.*100 of 120 x 120 samples, every one decodes"
  COMMAND srtm info ${xem_tool_dir}/N57E011.xem)
srtm_command_test(NAME xem_tool_info_refuses_a_tile EXIT 3 OUTPUT "N57E011.hgt: corrupt: magic is not XEM0"
  COMMAND srtm info ${PROJECT_SOURCE_DIR}/tests/data/N57E011.hgt)
set_tests_properties(xem_tool_setup PROPERTIES FIXTURES_SETUP xem_tool_dir)
set_tests_properties(xem_tool_compress PROPERTIES FIXTURES_REQUIRED xem_tool_dir FIXTURES_SETUP xem_tool_file)
set_tests_properties(xem_tool_verify xem_tool_info PROPERTIES FIXTURES_REQUIRED xem_tool_file)
