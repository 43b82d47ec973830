// A served block as a raw file: 320 x 320 little-endian signed 16-bit samples, row 0
// south, the plainest picture of a grid. srtm block and qlphost block both write it, so
// that their files compare.
#pragma once

#include <cstdint>
#include <vector>

namespace srtm::picture {

// The bytes of a raw file of `samples`.
inline std::vector<std::uint8_t> EncodeRawSamples(const std::vector<std::int16_t>& samples) {
  std::vector<std::uint8_t> bytes(samples.size() * 2);
  for (std::size_t i = 0; i < samples.size(); ++i) {
    const auto v = static_cast<std::uint16_t>(samples[i]);
    bytes[2 * i] = static_cast<std::uint8_t>(v & 0xFF);
    bytes[2 * i + 1] = static_cast<std::uint8_t>(v >> 8);
  }
  return bytes;
}

}  // namespace srtm::picture
