# Cross-compiles the same sources as 64-bit Windows programs (PE32+), which 64-bit Wine
# runs on machines that run no 32-bit programs. Not shipped: the host is 32-bit.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(SRTM_MINGW_TARGET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
