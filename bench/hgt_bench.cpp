// How long one block read takes: HgtTile::ReadBlock for SRTM-3 and SRTM-1, void
// filling on and off, a block inside one tile and one straddling four, with the tile
// files in the page cache. Targets on the 2-core reference machine: inside one SRTM-3
// tile with the fill on under 250 us; straddling four SRTM-3 tiles under 400 us.
//
// The four tiles (corners N00E000, N00E001, N01E000, N01E001) are synthetic: smooth
// terrain with about 1 % of the samples void, in 4 x 4 patches, so the fill does work.
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "bench/bench_tiles.h"
#include "hgt/hgt_tile.h"
#include "hgt/paths.h"
#include "hgt/settings.h"
#include "platform/platform.h"

namespace {

using srtm::HgtTile;
using srtm::bench::BlockNumber;
using srtm::bench::TileFolder;

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
  const std::int32_t n = srtm::bench::BenchBlock(kind, straddle);
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
