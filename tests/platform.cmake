# The platform layer: the output rule every command's files are written by.
srtm_test(platform_output_test
  SOURCES platform/output_file_test.cpp
  LIBS srtm_platform)
