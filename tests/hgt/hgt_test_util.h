// Helpers shared by the HGT tests.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace srtm::test {

// The block number of block row R and block column C with sub-digits 0, as the host
// writes it; numbers past the 32-bit range wrap, as they do in the host's own int.
inline std::int32_t BlockNumber(int row, int column) {
  const std::int64_t n = std::int64_t{row / 100} * 100000000 + std::int64_t{column / 100} * 1000000 +
                         std::int64_t{row % 100} * 10000 + std::int64_t{column % 100} * 100;
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(n));
}

// Makes a folder from a plug-in path with the system's own ANSI call (the shared test
// helpers go through std::filesystem, which does not take Shift-JIS names).
inline bool MakeFolder(const std::string& path) {
#if defined(_WIN32)
  return CreateDirectoryA(path.c_str(), nullptr) != 0;
#else
  return ::mkdir(platform::ToNativePath(path).c_str(), 0755) == 0;
#endif
}

}  // namespace srtm::test
