// srtm compress on several threads: 16 SRTM-3 tiles (copies of the real tile
// tests/data/N57E011.hgt under 16 names, in the page cache) converted by CompressTiles
// with 1 and 2 threads, wall time. Target on the 2-core reference machine: 2 threads at
// least 1.7 times as fast as 1 (compare the two real times, or tiles_per_s).
//
//   tools_bench [benchmark options]
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "hgt/paths.h"
#include "platform/platform.h"
#include "tools/parallel_compress.h"

namespace {

namespace fs = std::filesystem;

class SixteenTiles {
 public:
  SixteenTiles() {
    folder_ = fs::temp_directory_path() / ("srtm-tools-bench-" + std::to_string(std::random_device()()));
    fs::create_directories(folder_ / "tiles");
    fs::create_directories(folder_ / "out");
    std::ifstream in(SRTM_SOURCE_DIR "/tests/data/N57E011.hgt", std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string tiles = srtm::platform::FromUserPath((folder_ / "tiles").string());
    for (int lat = 50; lat < 54; ++lat) {
      for (int lon = 10; lon < 14; ++lon) {
        std::ofstream(srtm::platform::ToNativePath(srtm::FormatTilePath(tiles, lat, lon)), std::ios::binary)
            .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
      }
    }
    srtm::cli::ListTiles(tiles, true, &list_);
    out_ = srtm::platform::FromUserPath((folder_ / "out").string());
  }
  ~SixteenTiles() {
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }
  const std::vector<srtm::cli::TileJob>& list() const { return list_; }
  const std::string& out() const { return out_; }

 private:
  fs::path folder_;
  std::vector<srtm::cli::TileJob> list_;
  std::string out_;
};

// Arg: threads.
void BM_CompressSixteenTiles(benchmark::State& state) {
  static SixteenTiles tiles;
  if (tiles.list().size() != 16) {
    state.SkipWithError("the real tile was not found");
    return;
  }
  const int jobs = static_cast<int>(state.range(0));
  for (auto _ : state) {
    const auto result = srtm::cli::CompressTiles(tiles.list(), tiles.out(), 1, jobs,
                                                 [](const srtm::cli::CompressProgress&) { return true; });
    if (result.BatchCode() != -1) state.SkipWithError("a conversion failed");
  }
  state.counters["tiles_per_s"] = benchmark::Counter(16.0, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_CompressSixteenTiles)->ArgName("jobs")->Arg(1)->Arg(2)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
