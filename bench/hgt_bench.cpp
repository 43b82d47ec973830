// How long one block read takes: HgtTile::ReadBlock for SRTM-3 and SRTM-1, void
// filling on and off, a block inside one tile and one straddling four, with the tile
// files in the page cache. Targets on the 2-core reference machine: inside one SRTM-3
// tile with the fill on under 250 us; straddling four SRTM-3 tiles under 400 us.
//
// The four tiles (corners N00E000, N00E001, N01E000, N01E001) are synthetic: smooth
// terrain with about 1 % of the samples void, in 4 x 4 patches, so the fill does work.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

#include "hgt/hgt_tile.h"
#include "hgt/paths.h"
#include "hgt/settings.h"
#include "platform/platform.h"

namespace {

namespace fs = std::filesystem;
using srtm::HgtTile;

std::int32_t BlockNumber(int row, int column) {
  return (row / 100) * 100000000 + (column / 100) * 1000000 + (row % 100) * 10000 + (column % 100) * 100;
}

std::vector<char> MakeTile(int side, unsigned seed) {
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
      for (int c = c0; c < c0 + 4; ++c) heights[static_cast<std::size_t>(r) * side + c] = srtm::VOID_SAMPLE;
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
    native_ = fs::temp_directory_path() / ("srtm-hgt-bench-" + std::to_string(side) + "-" + std::to_string(::getpid()));
    fs::create_directories(native_);
    folder_ = srtm::platform::FromUserPath(native_.string());
    unsigned seed = 1;
    for (int lat : {0, 1}) {
      for (int lon : {0, 1}) {
        std::string path = srtm::FormatTilePath(folder_, lat, lon);
        std::vector<char> bytes = MakeTile(side, seed++);
        std::ofstream(srtm::platform::ToNativePath(path), std::ios::binary).write(bytes.data(), bytes.size());
        // Read it back once so that it sits in the page cache.
        std::ifstream in(srtm::platform::ToNativePath(path), std::ios::binary);
        std::vector<char> check(bytes.size());
        in.read(check.data(), static_cast<std::streamsize>(check.size()));
      }
    }
  }
  ~TileFolder() {
    std::error_code ignored;
    fs::remove_all(native_, ignored);
  }
  std::string TilePath() const { return srtm::FormatTilePath(folder_, 0, 0); }

 private:
  fs::path native_;
  std::string folder_;
};

const TileFolder& Folder(int kind) {
  static TileFolder srtm3(1201);
  static TileFolder srtm1(3601);
  return kind == srtm::kSrtm1 ? srtm1 : srtm3;
}

// Args: kind (1 or 3), fill (0 or 1), straddling four tiles (0 or 1).
void BM_ReadBlock(benchmark::State& state) {
  const int kind = static_cast<int>(state.range(0));
  const bool fill = state.range(1) != 0;
  const bool straddle = state.range(2) != 0;
  HgtTile tile;
  if (!tile.Open(Folder(kind).TilePath(), kind)) {
    state.SkipWithError("cannot open the tile");
    return;
  }
  // Tile (0, 0) starts at map row 90 x span and column 180 x span.
  const int span = kind == srtm::kSrtm1 ? 3600 : 1200;
  const int row0 = 90 * span, column0 = 180 * span;
  int row = (row0 + 319) / 320, column = (column0 + 319) / 320 + 1;  // wholly inside
  if (straddle) {
    row = (row0 + span) / 320;            // ends past the tile row
    column = (column0 + span) / 320 + 1;  // ends past the tile column
  }
  const std::int32_t n = BlockNumber(row, column);
  srtm::g_pluginSettings = srtm::PluginSettings{fill ? 1 : 0, 1, 0};
  std::vector<std::int16_t> block(srtm::BLOCK_SAMPLES);
  for (auto _ : state) {
    tile.ReadBlock(n, block.data());
    benchmark::DoNotOptimize(block.data());
  }
  state.SetLabel(std::string(kind == srtm::kSrtm1 ? "SRTM-1" : "SRTM-3") + (fill ? " fill on" : " fill off") +
                 (straddle ? ", four tiles" : ", one tile"));
}

BENCHMARK(BM_ReadBlock)
    ->ArgNames({"kind", "fill", "straddle"})
    ->ArgsProduct({{3, 1}, {1, 0}, {0, 1}})
    ->Unit(benchmark::kMicrosecond);

// The filler alone on a block with about 1 % voids, and on one without.
void BM_FillVoids(benchmark::State& state) {
  std::vector<std::int16_t> source(srtm::BLOCK_SAMPLES), target(srtm::BLOCK_SAMPLES);
  std::mt19937 random(3);
  std::bernoulli_distribution isVoid(state.range(0) / 100.0);
  for (int i = 0; i < srtm::BLOCK_SAMPLES; ++i) {
    source[i] = isVoid(random) ? srtm::VOID_SAMPLE : static_cast<std::int16_t>(i % 700);
  }
  for (auto _ : state) {
    srtm::FillVoids(source.data(), target.data());
    benchmark::DoNotOptimize(target.data());
  }
}
BENCHMARK(BM_FillVoids)->ArgName("void_percent")->Arg(0)->Arg(1)->Arg(10)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
