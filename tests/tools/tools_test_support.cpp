#include "tests/tools/tools_test_support.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <stdexcept>
#include <tuple>

#include "hgt/paths.h"
#include "platform/platform.h"
#include "tests/support/test_support.h"

namespace srtm::test {
namespace {

constexpr int kSpan = 1200;

std::uint32_t Hash(std::int64_t x, std::int64_t y) {
  auto h = static_cast<std::uint32_t>(x * 0x8DA6B343LL ^ y * 0xD8163841LL);
  h ^= h >> 13;
  h *= 0x5BD1E995u;
  return h ^ (h >> 15);
}

// Height at global sample (row y from the south pole, column x from 180 W).
std::int16_t GlobeHeight(std::int64_t y, std::int64_t x) {
  x = ((x % (360 * kSpan)) + 360 * kSpan) % (360 * kSpan);  // round the globe
  const double h = 300 * std::sin(y / 140.0) * std::cos(x / 95.0) + 150 * std::sin((x + y) / 37.0) +
                   static_cast<double>(Hash(x, y) % 7);
  return static_cast<std::int16_t>(std::max(0.0, h));  // below 0 m: sea at 0
}

}  // namespace

std::vector<std::uint8_t> GlobeTile(int lat, int lon, bool voids) {
  // Tiles are made once per test program: many tests cut the same ones.
  static std::map<std::tuple<int, int, bool>, std::vector<std::uint8_t>> made;
  const auto key = std::make_tuple(lat, lon, voids);
  auto found = made.find(key);
  if (found != made.end()) return found->second;
  const int side = kSpan + 1;
  std::vector<std::uint8_t> tile(2 * static_cast<std::size_t>(side) * side);
  const std::int64_t south = static_cast<std::int64_t>(lat + 90) * kSpan;
  const std::int64_t west = static_cast<std::int64_t>(lon + 180) * kSpan;
  for (int r = 0; r < side; ++r) {
    for (int c = 0; c < side; ++c) PutHgtSample(tile, side, r, c, GlobeHeight(south + kSpan - r, west + c));
  }
  if (voids) {
    // Blobs inside the tile, away from its edges, so neighbours still agree.
    for (int b = 0; b < 6; ++b) {
      const std::uint32_t h = Hash(lat * 1000 + b, lon);
      const int cr = 40 + static_cast<int>(h % 1100), cc = 40 + static_cast<int>((h >> 12) % 1100);
      const int radius = 3 + static_cast<int>((h >> 24) % 25);
      for (int r = cr - radius; r <= cr + radius; ++r) {
        for (int c = cc - radius; c <= cc + radius; ++c) {
          if ((r - cr) * (r - cr) + (c - cc) * (c - cc) <= radius * radius) PutHgtSample(tile, side, r, c, VOID_SAMPLE);
        }
      }
    }
  }
  made.emplace(key, tile);
  return tile;
}

void PutGlobeTile(const std::string& folder, int lat, int lon, bool voids) {
  const std::string path = FormatTilePath(folder, lat, lon);
  if (!WriteBytes(path, GlobeTile(lat, lon, voids))) throw std::runtime_error("cannot write the tile " + path);
}

int RunTool(int (*command)(int, char**), std::vector<std::string> args) {
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(&a[0]);
  argv.push_back(nullptr);
  return command(static_cast<int>(args.size()), argv.data());
}

std::vector<std::string> FilesIn(const std::string& folder, const char* pattern) {
  std::vector<platform::DirEntry> found;
  platform::FindFiles(folder.c_str(), pattern, &found);
  std::vector<std::string> names;
  for (const auto& entry : found) names.push_back(entry.name);
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace srtm::test
