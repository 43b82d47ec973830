// The synthetic tiles the block-read benchmarks of both worlds read: smooth terrain with
// about 1 % of the samples void, in 4 x 4 patches, so the fill does work; four of a kind
// (corners N00E000, N00E001, N01E000, N01E001) in a folder of their own.
#pragma once

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "hgt/paths.h"
#include "platform/platform.h"

namespace srtm::bench {

namespace fs = std::filesystem;

inline std::int32_t BlockNumber(int row, int column) {
  return (row / 100) * 100000000 + (column / 100) * 1000000 + (row % 100) * 10000 + (column % 100) * 100;
}

// The block measured: wholly inside tile (0, 0), or straddling it and its three
// neighbours to the north and east. Tile (0, 0) starts at map row 90 x span and column
// 180 x span.
inline std::int32_t BenchBlock(int kind, bool straddle) {
  const int span = kind == kSrtm1 ? 3600 : 1200;
  const int row0 = 90 * span, column0 = 180 * span;
  if (straddle) return BlockNumber((row0 + span) / 320, (column0 + span) / 320 + 1);  // ends past both
  return BlockNumber((row0 + 319) / 320, (column0 + 319) / 320 + 1);
}

inline std::vector<char> MakeTile(int side, unsigned seed) {
  std::vector<std::int16_t> heights(static_cast<std::size_t>(side) * side);
  for (int r = 0; r < side; ++r) {
    for (int c = 0; c < side; ++c) {
      double h = 400 + 300 * std::sin(r / 97.0 + seed) * std::cos(c / 131.0) + (r * 7 + c * 3) % 23;
      heights[static_cast<std::size_t>(r) * side + c] = static_cast<std::int16_t>(h);
    }
  }
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> at(0, side - 4);
  const std::size_t patches = heights.size() / 100 / 16;  // about 1 % void
  for (std::size_t p = 0; p < patches; ++p) {
    int r0 = at(random), c0 = at(random);
    for (int r = r0; r < r0 + 4; ++r) {
      for (int c = c0; c < c0 + 4; ++c) heights[static_cast<std::size_t>(r) * side + c] = VOID_SAMPLE;
    }
  }
  std::vector<char> bytes(heights.size() * 2);
  for (std::size_t i = 0; i < heights.size(); ++i) {
    auto v = static_cast<std::uint16_t>(heights[i]);
    bytes[2 * i] = static_cast<char>(v >> 8);
    bytes[2 * i + 1] = static_cast<char>(v & 0xFF);
  }
  return bytes;
}

// A folder of the four tiles of one kind, written once per process and warmed up.
class TileFolder {
 public:
  explicit TileFolder(int side) {
    native_ = fs::temp_directory_path() /
              ("srtm-hgt-bench-" + std::to_string(side) + "-" + std::to_string(std::random_device()()));
    fs::create_directories(native_);
    folder_ = platform::FromUserPath(native_.string());
    unsigned seed = 1;
    for (int lat : {0, 1}) {
      for (int lon : {0, 1}) {
        std::string path = FormatTilePath(folder_, lat, lon);
        std::vector<char> bytes = MakeTile(side, seed++);
        std::ofstream(platform::ToNativePath(path), std::ios::binary).write(bytes.data(), bytes.size());
        // Read it back once so that it sits in the page cache.
        std::ifstream in(platform::ToNativePath(path), std::ios::binary);
        std::vector<char> check(bytes.size());
        in.read(check.data(), static_cast<std::streamsize>(check.size()));
      }
    }
  }
  ~TileFolder() {
    std::error_code ignored;
    fs::remove_all(native_, ignored);
  }
  std::string TilePath() const { return FormatTilePath(folder_, 0, 0); }

 private:
  fs::path native_;
  std::string folder_;
};

}  // namespace srtm::bench
