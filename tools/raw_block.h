// Writing a served block as a raw file: 320 x 320 little-endian signed 16-bit samples,
// row 0 south. Shared by srtm block and qlphost block, so that their files compare.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace srtm::cli {

// Writes `samples` to the plug-in path `path`; false, and no file left, on failure.
inline bool WriteRawSamples(const std::string& path, const std::vector<std::int16_t>& samples) {
  std::vector<unsigned char> bytes(samples.size() * 2);
  for (std::size_t i = 0; i < samples.size(); ++i) {
    const auto v = static_cast<std::uint16_t>(samples[i]);
    bytes[2 * i] = static_cast<unsigned char>(v & 0xFF);
    bytes[2 * i + 1] = static_cast<unsigned char>(v >> 8);
  }
  auto file = platform::CreateOutputFile(path.c_str());
  if (!file) return false;
  if (file->Write(bytes.data(), bytes.size()) && file->Close()) return true;
  file.reset();
  platform::RemoveFile(path.c_str());  // no partial file
  return false;
}

}  // namespace srtm::cli
