#include "picture/relief.h"

#include <algorithm>
#include <cmath>

namespace srtm::picture {
namespace {

constexpr double kPi = 3.14159265358979323846;

struct Rgb {
  double r, g, b;
};

// Hypsometric tints by height in metres.
Rgb LandColour(double h) {
  static const struct {
    double h;
    Rgb c;
  } stops[] = {{-100, {0.35, 0.55, 0.35}}, {0, {0.40, 0.62, 0.36}},   {200, {0.62, 0.74, 0.42}},
               {600, {0.82, 0.78, 0.50}},  {1200, {0.70, 0.55, 0.38}}, {2500, {0.60, 0.50, 0.45}},
               {4000, {0.95, 0.95, 0.95}}};
  const int n = sizeof stops / sizeof stops[0];
  if (h <= stops[0].h) return stops[0].c;
  for (int i = 1; i < n; ++i) {
    if (h <= stops[i].h) {
      double t = (h - stops[i - 1].h) / (stops[i].h - stops[i - 1].h);
      const Rgb& a = stops[i - 1].c;
      const Rgb& b = stops[i].c;
      return {a.r + t * (b.r - a.r), a.g + t * (b.g - a.g), a.b + t * (b.b - a.b)};
    }
  }
  return stops[n - 1].c;
}

std::uint8_t ToByte(double v) { return static_cast<std::uint8_t>(std::clamp(v, 0.0, 1.0) * 255.0 + 0.5); }

// The grid reduced by `scale`: heights averaged over land samples; a cell is sea or
// missing when most of its samples are.
ReliefGrid Reduce(const ReliefGrid& in, int scale) {
  if (scale <= 1) return in;
  ReliefGrid out;
  out.Resize(std::max(1, in.width / scale), std::max(1, in.height / scale));
  out.metresPerSampleX = in.metresPerSampleX * scale;
  out.metresPerSampleY = in.metresPerSampleY * scale;
  for (int r = 0; r < out.height; ++r) {
    for (int c = 0; c < out.width; ++c) {
      double sum = 0;
      int land = 0, sea = 0, missing = 0;
      for (int y = r * scale; y < std::min(in.height, (r + 1) * scale); ++y) {
        for (int x = c * scale; x < std::min(in.width, (c + 1) * scale); ++x) {
          switch (in.surface[in.At(y, x)]) {
            case Surface::kLand:
              sum += in.heights[in.At(y, x)];
              ++land;
              break;
            case Surface::kSea:
              ++sea;
              break;
            case Surface::kMissing:
              ++missing;
              break;
          }
        }
      }
      std::size_t at = out.At(r, c);
      if (missing > land && missing >= sea) {
        out.surface[at] = Surface::kMissing;
      } else if (sea > land) {
        out.surface[at] = Surface::kSea;
      } else {
        out.heights[at] = static_cast<std::int16_t>(land ? sum / land : 0);
      }
    }
  }
  return out;
}

}  // namespace

RgbImage RenderRelief(const ReliefGrid& input, int scale) {
  RgbImage image;
  if (input.width <= 0 || input.height <= 0) return image;
  const ReliefGrid grid = Reduce(input, scale);
  const int w = grid.width;
  const int h = grid.height;
  image.width = w;
  image.height = h;
  std::vector<std::uint8_t>& rgb = image.rgb;
  rgb.resize(static_cast<std::size_t>(w) * h * 3);
  // Light from the north-west, 45 degrees above the horizon; slopes exaggerated a little
  // so that gentle terrain still reads.
  const double azimuth = 315.0 * kPi / 180.0;
  const double altitude = 45.0 * kPi / 180.0;
  const double exaggeration = 2.0;
  // Sea lies at 0 m; where data is missing the slope is taken as flat, so that the
  // edge of the known land is not drawn as a cliff.
  auto heightAt = [&grid](int r, int c, std::size_t centre) {
    r = std::clamp(r, 0, grid.height - 1);
    c = std::clamp(c, 0, grid.width - 1);
    std::size_t at = grid.At(r, c);
    if (grid.surface[at] == Surface::kMissing) at = centre;
    return grid.surface[at] == Surface::kLand ? static_cast<double>(grid.heights[at]) : 0.0;
  };
  for (int r = 0; r < h; ++r) {
    for (int c = 0; c < w; ++c) {
      std::size_t at = grid.At(r, c);
      Rgb colour;
      if (grid.surface[at] == Surface::kSea) {
        colour = {0.20, 0.42, 0.72};
      } else if (grid.surface[at] == Surface::kMissing) {
        double v = ((r + c) / 6) % 2 ? 0.62 : 0.70;
        colour = {v, v, v};
      } else {
        double dzdx = (heightAt(r, c + 1, at) - heightAt(r, c - 1, at)) / (2 * grid.metresPerSampleX) * exaggeration;
        double dzdy = (heightAt(r + 1, c, at) - heightAt(r - 1, c, at)) / (2 * grid.metresPerSampleY) * exaggeration;
        double slope = std::atan(std::hypot(dzdx, dzdy));
        double aspect = std::atan2(dzdy, -dzdx);
        double shade = std::cos(altitude) * std::cos(slope) +
                       std::sin(altitude) * std::sin(slope) * std::cos(azimuth - kPi / 2 - aspect);
        shade = std::clamp(0.35 + 0.75 * shade, 0.0, 1.25);
        Rgb base = LandColour(grid.heights[at]);
        colour = {base.r * shade, base.g * shade, base.b * shade};
      }
      rgb[3 * at] = ToByte(colour.r);
      rgb[3 * at + 1] = ToByte(colour.g);
      rgb[3 * at + 2] = ToByte(colour.b);
    }
  }
  return image;
}

int ScaleToFit(const ReliefGrid& grid, int maxSide) {
  int scale = 1;
  while (grid.width / scale > maxSide || grid.height / scale > maxSide) ++scale;
  return scale;
}

std::string WriteReliefPng(const ReliefGrid& grid, int scale, const std::string& path) {
  if (grid.width <= 0 || grid.height <= 0) return "the picture is empty";
  return WritePng(RenderRelief(grid, scale), path);
}

}  // namespace srtm::picture
