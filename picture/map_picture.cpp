#include "picture/map_picture.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <utility>

namespace srtm::picture {
namespace {

constexpr double kPi = 3.14159265358979323846;

constexpr int kBlockSide = 320;
constexpr double kMetresPerDegree = 111320.0;

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

void SetSpacing(const Lattice& lattice, ReliefGrid* grid) {
  const double midLat = (lattice.firstRow + lattice.rows / 2.0) / lattice.samplesPerDegree;
  grid->metresPerSampleY = kMetresPerDegree / lattice.samplesPerDegree;
  grid->metresPerSampleX = grid->metresPerSampleY * std::max(0.01, std::cos(midLat * kPi / 180.0));
}

}  // namespace

bool ParseRegion(const std::string& text, Region* region) {
  double v[4];
  char tail = 0;
  if (std::sscanf(text.c_str(), "%lf,%lf,%lf,%lf%c", &v[0], &v[1], &v[2], &v[3], &tail) != 4) return false;
  for (double d : v) {
    if (!std::isfinite(d)) return false;
  }
  if (!(v[0] < v[2]) || !(v[1] < v[3]) || v[0] < -90 || v[2] > 90 || v[1] < -180 || v[3] > 180) return false;
  *region = Region{v[0], v[1], v[2], v[3]};
  return true;
}

bool RegionLattice(const Region& region, double samplesPerDegree, std::int64_t maxSamples, Lattice* lattice) {
  const double eps = 1e-6;
  const auto first = [&](double d) { return static_cast<std::int64_t>(std::ceil(d * samplesPerDegree - eps)); };
  const auto last = [&](double d) { return static_cast<std::int64_t>(std::floor(d * samplesPerDegree + eps)); };
  const std::int64_t rows = last(region.north) - first(region.south) + 1;
  const std::int64_t columns = last(region.east) - first(region.west) + 1;
  if (rows <= 0 || columns <= 0 || rows * columns > maxSamples) return false;
  lattice->firstRow = first(region.south);
  lattice->firstColumn = first(region.west);
  lattice->rows = static_cast<int>(rows);
  lattice->columns = static_cast<int>(columns);
  lattice->samplesPerDegree = samplesPerDegree;
  return true;
}

std::int32_t BlockNumber(std::int64_t row, std::int64_t column) {
  const std::int64_t n = (row / 100) * 100000000 + (column / 100) * 1000000 + (row % 100) * 10000 + (column % 100) * 100;
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(n));
}

bool ServedRelief(const ServedMap& map, const Lattice& lattice, bool seaOn, ReliefGrid* grid, std::string* error) {
  grid->Resize(lattice.columns, lattice.rows);
  SetSpacing(lattice, grid);
  // Map rows and columns of the lattice's first sample.
  const std::int64_t row0 = lattice.firstRow - static_cast<std::int64_t>(map.originLat) * map.tileSpan;
  const std::int64_t col0 = lattice.firstColumn - static_cast<std::int64_t>(map.originLon) * map.tileSpan;
  std::map<std::pair<int, int>, bool> tiles;
  const auto hasTile = [&](std::int64_t r, std::int64_t c) {
    const std::pair<int, int> key(map.originLat + static_cast<int>(r / map.tileSpan),
                                  map.originLon + static_cast<int>(c / map.tileSpan));
    auto found = tiles.find(key);
    if (found == tiles.end()) found = tiles.emplace(key, map.hasTile(key.first, key.second)).first;
    return found->second;
  };

  // Everything starts missing; the blocks fill in what the map has.
  std::fill(grid->surface.begin(), grid->surface.end(), Surface::kMissing);
  std::vector<std::int16_t> block;
  const std::int64_t lastRow = row0 + lattice.rows - 1, lastCol = col0 + lattice.columns - 1;
  for (std::int64_t R = FloorDiv(row0, kBlockSide); R <= FloorDiv(lastRow, kBlockSide); ++R) {
    for (std::int64_t C = FloorDiv(col0, kBlockSide); C <= FloorDiv(lastCol, kBlockSide); ++C) {
      // Only blocks inside the map are read; the host never asks for others.
      if (R < 0 || C < 0 || R * kBlockSide >= map.height || C * kBlockSide >= map.width) continue;
      if (!map.readBlock(BlockNumber(R, C + 1), &block)) {
        *error = "block row " + std::to_string(R) + ", column " + std::to_string(C + 1) + " cannot be read";
        return false;
      }
      for (int j = 0; j < kBlockSide; ++j) {
        const std::int64_t r = R * kBlockSide + j;
        if (r < row0 || r > lastRow || r >= map.height) continue;
        const int gridRow = lattice.rows - 1 - static_cast<int>(r - row0);
        for (int i = 0; i < kBlockSide; ++i) {
          const std::int64_t c = C * kBlockSide + i;
          if (c < col0 || c > lastCol || c >= map.width || !hasTile(r, c)) continue;
          const std::size_t at = grid->At(gridRow, static_cast<int>(c - col0));
          const std::int16_t served = block[static_cast<std::size_t>(j) * kBlockSide + i];
          if (served == 0) {
            grid->surface[at] = seaOn ? Surface::kSea : Surface::kMissing;
          } else {
            grid->surface[at] = Surface::kLand;
            grid->heights[at] = static_cast<std::int16_t>(served > 0 ? served - 1 : served);
          }
        }
      }
    }
  }
  return true;
}

bool XemRelief(const XemMap& map, const Lattice& lattice, ReliefGrid* grid, std::string* error) {
  grid->Resize(lattice.columns, lattice.rows);
  SetSpacing(lattice, grid);
  std::fill(grid->surface.begin(), grid->surface.end(), Surface::kMissing);
  const auto spd = static_cast<std::int64_t>(std::lround(lattice.samplesPerDegree));
  const std::int64_t y0 = lattice.firstRow - map.lat * spd;
  const std::int64_t x0 = lattice.firstColumn - map.lon * spd;
  const std::int64_t y1 = std::min<std::int64_t>(y0 + lattice.rows, map.gridHeight) - 1;
  const std::int64_t x1 = std::min<std::int64_t>(x0 + lattice.columns, map.gridWidth) - 1;
  std::vector<std::uint16_t> block;
  for (std::int64_t row = std::max<std::int64_t>(0, y0) / map.blockHeight; row * map.blockHeight <= y1; ++row) {
    for (std::int64_t column = std::max<std::int64_t>(0, x0) / map.blockWidth; column * map.blockWidth <= x1;
         ++column) {
      if (!map.readBlock(static_cast<int>(column), static_cast<int>(row), &block, error)) return false;
      for (int j = 0; j < map.blockHeight; ++j) {
        const std::int64_t y = row * map.blockHeight + j;
        if (y < y0 || y > y1) continue;
        const int gridRow = lattice.rows - 1 - static_cast<int>(y - y0);
        for (int i = 0; i < map.blockWidth; ++i) {
          const std::int64_t x = column * map.blockWidth + i;
          if (x < x0 || x > x1) continue;
          const std::size_t at = grid->At(gridRow, static_cast<int>(x - x0));
          const std::uint16_t sample = block[static_cast<std::size_t>(j) * map.blockWidth + i];
          if (sample == map.seaValue) {
            grid->surface[at] = Surface::kSea;
          } else if (sample != map.voidValue) {
            grid->surface[at] = Surface::kLand;
            grid->heights[at] = static_cast<std::int16_t>(sample);
          }
        }
      }
    }
  }
  return true;
}

}  // namespace srtm::picture
