// Block reads and one SRTM-1 conversion, timed alike in both worlds, so that the figures
// of the Windows build users run (under Wine) stand beside the native ones:
// bench/compare.sh runs this program in each world and prints them side by side.
// One line a figure: "<what><TAB><median><TAB><unit>".
//
//   world_timing [READS]     (block reads a figure, default 2000)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/bench_tiles.h"
#include "hgt/hgt_tile.h"
#include "hgt/settings.h"
#include "xem/batch.h"
#include "xem/converter.h"

namespace {

using Clock = std::chrono::steady_clock;

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

double Since(Clock::time_point start, double unit) {
  return std::chrono::duration<double>(Clock::now() - start).count() / unit;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace srtm;
  const int reads = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2000;

  // Block reads of the served map, SRTM-3, the fill on, sea at 0 m.
  {
    bench::TileFolder folder(1201);
    HgtTile tile;
    if (!tile.Open(folder.TilePath(), kSrtm3)) {
      std::fprintf(stderr, "world_timing: cannot open the SRTM-3 tile\n");
      return 1;
    }
    g_pluginSettings = PluginSettings{1, 1, 0};
    std::vector<std::int16_t> block(BLOCK_SAMPLES);
    for (bool straddle : {false, true}) {
      const std::int32_t n = bench::BenchBlock(kSrtm3, straddle);
      for (int i = 0; i < 50; ++i) tile.ReadBlock(n, block.data());  // warm caches
      std::vector<double> times;
      times.reserve(static_cast<std::size_t>(reads));
      for (int i = 0; i < reads; ++i) {
        const Clock::time_point start = Clock::now();
        tile.ReadBlock(n, block.data());
        times.push_back(Since(start, 1e-6));
      }
      std::printf("block read, SRTM-3, fill on, %s\t%.0f\tus\n", straddle ? "four tiles" : "one tile", Median(times));
    }
  }

  // One SRTM-1 tile to XEM, the voids filled, as the wizard converts it.
  {
    const bench::fs::path root =
        bench::fs::temp_directory_path() / ("srtm-world-timing-" + std::to_string(std::random_device()()));
    bench::fs::create_directories(root / "out");
    const std::vector<char> bytes = bench::MakeTile(3601, 7);
    std::ofstream((root / "N30E010.hgt").string(), std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    const std::string hgt = platform::FromUserPath((root / "N30E010.hgt").string());
    const std::string out = platform::FromUserPath((root / "out").string());
    HgtToXemConverter converter;
    std::vector<double> times;
    bool ok = converter.AllocateBuffers(3601, 3601) != 0;
    for (int run = 0; ok && run < 5; ++run) {
      const Clock::time_point start = Clock::now();
      ok = BatchCompressor::ConvertTile(converter, kSrtm1, hgt, 30, 10, out, 1) != 0;
      times.push_back(Since(start, 1e-3));
    }
    std::error_code ignored;
    bench::fs::remove_all(root, ignored);
    if (!ok) {
      std::fprintf(stderr, "world_timing: the SRTM-1 conversion failed\n");
      return 1;
    }
    std::printf("conversion, SRTM-1, fill on\t%.1f\tms\n", Median(times));
  }
  return 0;
}
