# What both Windows worlds share: mingw-w64 with posix threads (for std::mutex), the
# libraries of its target only, and the test programs run under Wine through CTest
# (wine-run.sh picks the Wine of the program's kind). Included by the toolchain file of
# each world after it has set SRTM_MINGW_TARGET.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${SRTM_MINGW_TARGET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${SRTM_MINGW_TARGET}-g++-posix)
set(CMAKE_RC_COMPILER ${SRTM_MINGW_TARGET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${SRTM_MINGW_TARGET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh)
