// Pictures of the screen as PNG files: 8-bit RGB, no interlace, the image data kept in
// stored (uncompressed) deflate blocks, so the writer needs no compression library in
// either world. Screenshots of dialogs are a few hundred kilobytes this way.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace srtm::host {

struct RgbImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgb;  // width * height * 3, row 0 the top row
};

// The PNG file's bytes for `image`; empty for an image without pixels or whose size
// does not match its dimensions.
std::vector<std::uint8_t> EncodePng(const RgbImage& image);
// Writes the PNG file at a path of this system; false when it cannot be written whole
// (no partial file is left).
bool WritePng(const std::string& path, const RgbImage& image);

}  // namespace srtm::host
