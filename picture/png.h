// Pictures as PNG files: 8-bit RGB, no interlace.
//
// Natively libpng writes them; the Windows world has no libpng, and there a small writer
// of its own makes the same picture, its image data compressed with zlib. Files are
// written by the output rule of platform/output_file.h: a picture that cannot be written
// whole leaves no file and an older picture at the path as it was.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace srtm::picture {

struct RgbImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgb;  // width * height * 3, row 0 the top row
};

// The PNG file's bytes for `image`; empty for an image without pixels or whose size
// does not match its dimensions.
std::vector<std::uint8_t> EncodePng(const RgbImage& image);
// The same picture by the small writer (the one EncodePng is in the Windows world).
std::vector<std::uint8_t> EncodePngWithZlib(const RgbImage& image);

// Writes the PNG file at the plug-in path `path`. Returns an empty string on success,
// else what went wrong.
std::string WritePng(const RgbImage& image, const std::string& path);

}  // namespace srtm::picture
