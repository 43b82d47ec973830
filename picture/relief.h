// Shaded-relief pictures of elevation grids.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "picture/png.h"

namespace srtm::picture {

// What a picture element shows.
enum class Surface : std::uint8_t { kLand, kSea, kMissing };

// A grid of heights in metres, row 0 the northernmost, with what each sample is.
struct ReliefGrid {
  int width = 0;
  int height = 0;
  std::vector<std::int16_t> heights;  // width * height, metres
  std::vector<Surface> surface;       // width * height
  // Ground distance between neighbouring samples, in metres (for the slope of the shading).
  double metresPerSampleX = 90.0;
  double metresPerSampleY = 90.0;

  void Resize(int w, int h) {
    width = w;
    height = h;
    heights.assign(static_cast<std::size_t>(w) * h, 0);
    surface.assign(static_cast<std::size_t>(w) * h, Surface::kLand);
  }
  std::size_t At(int row, int column) const { return static_cast<std::size_t>(row) * width + column; }
};

// Colours land by height (green lowlands to brown and white peaks), shaded by a light
// from the north-west; sea is blue, missing data grey with a light diagonal hatch.
// `scale` > 1 makes each output pixel the mean of scale x scale samples.
RgbImage RenderRelief(const ReliefGrid& grid, int scale);

// The smallest scale that keeps both sides of the picture at most `maxSide` pixels.
int ScaleToFit(const ReliefGrid& grid, int maxSide);

// RenderRelief, then WritePng at the plug-in path `path`: an empty string on success,
// else what went wrong.
std::string WriteReliefPng(const ReliefGrid& grid, int scale, const std::string& path);

}  // namespace srtm::picture
