# The archive readers, in both worlds (names come out in each world's text).
srtm_test(archive_test
  SOURCES archive/archive_test.cpp archive/archive_writer.cpp
  LIBS srtm_archive)
