// Compression speed: one SRTM-3 and one SRTM-1 tile converted to XEM in-process (read
// from the page cache, byte swap, fill, codec, write), and the codec and the fill alone.
// The tiles are synthetic terrain (fractal noise with metre-scale roughness) with about
// 2% of their samples void in round blobs, written to a temporary folder first.
//
// Targets on a 2-core machine: the SRTM-1 tile converted in under 100 ms, its codec
// under 40 ms and its fill under 40 ms.
//
//   xem_bench                      run the benchmarks
//   xem_bench --make-tiles DIR     only write DIR/srtm1/N30E010.hgt and
//                                  DIR/srtm3/N30E010.hgt (for compare_compress_gdal.sh)
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "xem/codec.h"
#include "xem/converter.h"
#include "xem/fill.h"

namespace {

namespace fs = std::filesystem;
constexpr std::int16_t kVoid = -32768;

std::uint32_t Hash(std::uint32_t x, std::uint32_t y, std::uint32_t octave) {
  std::uint32_t h = x * 0x8DA6B343u ^ y * 0xD8163841u ^ octave * 0xCB1AB31Fu;
  h ^= h >> 13;
  h *= 0x5BD1E995u;
  return h ^ (h >> 15);
}

// Heights of a side x side tile, row 0 north: fractal value noise, 0 to about 2500 m,
// plus a metre or two of noise as in real SRTM data, and ~2% voids in blobs.
std::vector<std::int16_t> MakeTerrain(int side) {
  std::vector<std::int16_t> tile(static_cast<std::size_t>(side) * side);
  std::vector<float> height(tile.size(), 0.0f);
  float amplitude = 1400.0f;
  for (int octave = 0; octave < 7; ++octave) {
    const int cell = std::max(4, side / (3 << octave));
    for (int y = 0; y < side; ++y) {
      const int gy = y / cell;
      const float fy = static_cast<float>(y % cell) / cell;
      for (int x = 0; x < side; ++x) {
        const int gx = x / cell;
        const float fx = static_cast<float>(x % cell) / cell;
        auto v = [&](int i, int j) {
          return static_cast<float>(Hash(static_cast<std::uint32_t>(gx + i), static_cast<std::uint32_t>(gy + j),
                                         static_cast<std::uint32_t>(octave)) >> 8) / 16777216.0f;
        };
        const float top = v(0, 0) + (v(1, 0) - v(0, 0)) * fx;
        const float bottom = v(0, 1) + (v(1, 1) - v(0, 1)) * fx;
        height[static_cast<std::size_t>(y) * side + x] += amplitude * (top + (bottom - top) * fy);
      }
    }
    amplitude *= 0.5f;
  }
  std::mt19937 random(static_cast<std::uint32_t>(side));
  for (std::size_t i = 0; i < tile.size(); ++i) {
    tile[i] = static_cast<std::int16_t>(height[i] - 300.0f + static_cast<float>(random() % 3));
    if (tile[i] < 0) tile[i] = 0;  // sea
  }
  std::size_t voids = 0;
  while (voids < tile.size() / 50) {
    const int cx = static_cast<int>(random() % side), cy = static_cast<int>(random() % side);
    const int r = static_cast<int>(random() % (side / 60)) + 3;
    for (int y = std::max(0, cy - r); y <= std::min(side - 1, cy + r); ++y) {
      for (int x = std::max(0, cx - r); x <= std::min(side - 1, cx + r); ++x) {
        std::int16_t& s = tile[static_cast<std::size_t>(y) * side + x];
        if ((x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r && s != kVoid) {
          s = kVoid;
          ++voids;
        }
      }
    }
  }
  return tile;
}

void WriteHgt(const fs::path& path, const std::vector<std::int16_t>& tile) {
  fs::create_directories(path.parent_path());
  std::vector<std::uint8_t> bytes(tile.size() * 2);
  for (std::size_t i = 0; i < tile.size(); ++i) {
    bytes[2 * i] = static_cast<std::uint8_t>(static_cast<std::uint16_t>(tile[i]) >> 8);
    bytes[2 * i + 1] = static_cast<std::uint8_t>(tile[i]);
  }
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<std::streamsize>(bytes.size()));
}

struct Tiles {
  fs::path folder;
  std::vector<std::int16_t> srtm1, srtm3;
  Tiles() {
    folder = fs::temp_directory_path() / ("srtm-xem-bench-" + std::to_string(std::random_device()()));
    srtm1 = MakeTerrain(3601);
    srtm3 = MakeTerrain(1201);
    WriteHgt(folder / "srtm1" / "N30E010.hgt", srtm1);
    WriteHgt(folder / "srtm3" / "N30E010.hgt", srtm3);
    fs::create_directories(folder / "out");
  }
  ~Tiles() {
    std::error_code ignored;
    fs::remove_all(folder, ignored);
  }
  const std::vector<std::int16_t>& Of(int side) const { return side == 3601 ? srtm1 : srtm3; }
};

Tiles* g_tiles = nullptr;

void BM_ConvertTile(benchmark::State& state) {
  const int side = static_cast<int>(state.range(0));
  const fs::path tile = g_tiles->folder / (side == 3601 ? "srtm1" : "srtm3") / "N30E010.hgt";
  srtm::HgtToXemConverter converter;  // the voids filled, as by default
  converter.AllocateBuffers(side, side);
  converter.publisherIdText = "ZOZORUDO";
  const double h = 0.5 / (side - 1);
  const std::string hgt = srtm::platform::FromUserPath(tile.string());
  const std::string out = srtm::platform::FromUserPath((g_tiles->folder / "out").string());
  std::uint64_t size = 0;
  for (auto _ : state) {
    if (!converter.ConvertFile(hgt, out, 30 - h, 10 - h, 31 - h, 11 - h, 120, 120, side, side, 1)) {
      state.SkipWithError("conversion failed");
      break;
    }
  }
  srtm::platform::GetFileSize(converter.outputPath.c_str(), &size);
  state.counters["xem_bytes"] = static_cast<double>(size);
  state.counters["ratio_%"] = 100.0 * static_cast<double>(size) / (2.0 * side * side);
}
BENCHMARK(BM_ConvertTile)->Arg(1201)->Arg(3601)->Unit(benchmark::kMillisecond);

// The blocks of a tile as the converter cuts them (row 0 south), back to back in one
// array so that they stream from memory in order.
std::vector<std::int16_t> CutBlocks(int side) {
  std::vector<std::int16_t> grid(g_tiles->Of(side).size());
  srtm::FillVoidsForCompression(g_tiles->Of(side).data(), grid.data(), side, side);
  std::vector<std::int16_t> blocks;
  blocks.reserve(static_cast<std::size_t>(side - 1) * (side - 1));
  for (int y0 = 0; y0 < side - 1; y0 += 120) {
    for (int x0 = 0; x0 < side - 1; x0 += 120) {
      for (int j = 0; j < 120; ++j) {
        const std::int16_t* row = &grid[static_cast<std::size_t>(side - 1 - y0 - j) * side + x0];
        blocks.insert(blocks.end(), row, row + 120);
      }
    }
  }
  return blocks;
}

// The codec alone: CompressBlock on every block of a filled tile. The second argument
// multiplies the heights: 5 makes the SRTM-3 tile as steep as high mountains, where
// most differences leave the encoder's fast paths.
void BM_Codec(benchmark::State& state) {
  const int side = static_cast<int>(state.range(0));
  auto blocks = CutBlocks(side);
  const auto relief = static_cast<std::int32_t>(state.range(1));
  for (std::int16_t& s : blocks) s = static_cast<std::int16_t>(std::min<std::int32_t>(32767, s * relief));
  const std::size_t count = blocks.size() / (120 * 120);
  std::vector<std::uint8_t> out(srtm::TileCodec::MaxCompressedBytes(120 * 120));
  std::uint64_t bytes = 0;
  for (auto _ : state) {
    bytes = 0;
    for (std::size_t b = 0; b < count; ++b) {
      auto length = static_cast<std::uint32_t>(out.size());
      srtm::TileCodec::CompressBlock(out.data(), &length, blocks.data() + b * 120 * 120, 28800, 3, 120);
      bytes += length;
    }
    benchmark::DoNotOptimize(bytes);
  }
  state.counters["bytes"] = static_cast<double>(bytes);
  state.counters["ns_per_sample"] = benchmark::Counter(static_cast<double>(blocks.size()),
                                                       benchmark::Counter::kIsIterationInvariantRate |
                                                           benchmark::Counter::kInvert);
}
BENCHMARK(BM_Codec)->Args({1201, 1})->Args({3601, 1})->Args({1201, 5})->Unit(benchmark::kMillisecond);

// Decoding every block back (what a reader of the file does).
void BM_Decode(benchmark::State& state) {
  const int side = static_cast<int>(state.range(0));
  std::vector<std::vector<std::uint8_t>> blocks;
  std::vector<std::int16_t> block(120 * 120);
  const auto samples = CutBlocks(side);
  for (std::size_t at = 0; at < samples.size(); at += 120 * 120) {
    std::vector<std::uint8_t> out(srtm::TileCodec::MaxCompressedBytes(120 * 120));
    auto length = static_cast<std::uint32_t>(out.size());
    srtm::TileCodec::CompressBlock(out.data(), &length, samples.data() + at, 28800, 3, 120);
    out.resize(length);
    blocks.push_back(std::move(out));
  }
  for (auto _ : state) {
    for (const auto& b : blocks) {
      srtm::TileCodec::DecodeBlock(b.data(), b.size(), 3, 120, 120, block.data());
      benchmark::DoNotOptimize(block.data());
    }
  }
}
BENCHMARK(BM_Decode)->Arg(3601)->Unit(benchmark::kMillisecond);

void BM_Fill(benchmark::State& state) {
  const int side = static_cast<int>(state.range(0));
  std::vector<std::int16_t> out(g_tiles->Of(side).size());
  for (auto _ : state) {
    srtm::FillVoidsForCompression(g_tiles->Of(side).data(), out.data(), side, side);
    benchmark::DoNotOptimize(out.data());
  }
}
BENCHMARK(BM_Fill)->Arg(1201)->Arg(3601)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--make-tiles") == 0) {
    WriteHgt(fs::path(argv[2]) / "srtm1" / "N30E010.hgt", MakeTerrain(3601));
    WriteHgt(fs::path(argv[2]) / "srtm3" / "N30E010.hgt", MakeTerrain(1201));
    return 0;
  }
  Tiles tiles;
  g_tiles = &tiles;
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
