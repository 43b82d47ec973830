# Cross-compiles the 32-bit Windows world, the product: PE32 programs for 32-bit Wine.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(SRTM_MINGW_TARGET i686-w64-mingw32)
# SSE2 is the floor of this world, as of every processor a supported Windows runs on:
# the plug-in and the tool take the same vector paths as the native build, and compute
# doubles in SSE registers (not the x87's 80 bits), so both worlds give the same numbers.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
