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
  LIBS PluginIf srtm_xem)
add_dependencies(xem_host_test srtm_plugin)
