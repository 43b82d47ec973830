// Tiles read out of archives, beside what zlib alone costs for the same bytes:
// - a deflated SRTM-1 tile (25.9 MB) read from a zip by the Reader (file reads, inflate
//   straight into the caller's buffer, CRC-32), against inflate and CRC-32 in memory;
// - the 16 SRTM-3 tiles of a tar.gz read in order and backwards (backwards, each read
//   starts from a checkpoint, not from the start of the gzip);
// - the listing of a bulk zip of 1,000 stored tile zips.
// Target: the tile from a zip within 10 % of zlib alone.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "platform/platform.h"
#include "tests/archive/archive_writer.h"

namespace {

namespace fs = std::filesystem;
using srtm::test::Bytes;

// Terrain-like big-endian samples: smooth relief plus metre-scale noise, which deflates
// about as well as real SRTM tiles do (to 40 to 50 %).
Bytes Terrain(int side, unsigned seed) {
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> noise(0, 7);
  Bytes b(static_cast<std::size_t>(side) * side * 2);
  for (int r = 0; r < side; ++r) {
    for (int c = 0; c < side; ++c) {
      const int h = 600 + static_cast<int>(400 * std::sin(r / 211.0 + seed) * std::cos(c / 173.0)) + noise(random);
      const std::size_t i = (static_cast<std::size_t>(r) * side + c) * 2;
      b[i] = static_cast<std::uint8_t>(h >> 8);
      b[i + 1] = static_cast<std::uint8_t>(h);
    }
  }
  return b;
}

struct Files {
  fs::path dir = fs::temp_directory_path() / "srtm-archive-bench";
  Bytes tile = Terrain(3601, 1), deflated;
  std::string zip, tarGz, bulk;
  std::size_t tarMembers = 16;
  Files() {
    fs::create_directories(dir);
    z_stream z{};
    deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    deflated.resize(deflateBound(&z, static_cast<uLong>(tile.size())));
    z.next_in = tile.data();
    z.avail_in = static_cast<uInt>(tile.size());
    z.next_out = deflated.data();
    z.avail_out = static_cast<uInt>(deflated.size());
    deflate(&z, Z_FINISH);
    deflated.resize(z.total_out);
    deflateEnd(&z);
    srtm::test::ZipWriter one, many;
    one.Add({"N35E138.hgt", tile});
    zip = Write("N35E138.SRTMGL1.hgt.zip", one.Finish());
    srtm::test::TarWriter tar;
    for (std::size_t i = 0; i < tarMembers; ++i)
      tar.Add("N35E1" + std::to_string(10 + i) + ".hgt", Terrain(1201, 2 + i));
    tarGz = Write("tiles.tar.gz", srtm::test::Gzip(tar.Finish()));
    srtm::test::ZipWriter small;
    small.Add({"N35E138.hgt", Bytes(4000, 7)});
    const Bytes inner = small.Finish();
    for (int i = 0; i < 1000; ++i) many.Add({"N" + std::to_string(i) + ".SRTMGL1.hgt.zip", inner, false});
    bulk = Write("bulk.zip", many.Finish());
  }
  ~Files() { fs::remove_all(dir); }
  std::string Write(const std::string& name, const Bytes& bytes) {
    const std::string path = srtm::platform::FromUserPath((dir / name).string());
    auto file = srtm::platform::CreateOutputFile(path.c_str());
    file->Write(bytes.data(), bytes.size());
    file->Close();
    return path;
  }
};

Files& Data() {
  static Files files;
  return files;
}

void BM_ZlibInflateAndCrcOfTile(benchmark::State& state) {
  const Files& f = Data();
  Bytes out(f.tile.size());
  for (auto _ : state) {
    z_stream z{};
    inflateInit2(&z, -15);
    z.next_in = const_cast<Bytef*>(f.deflated.data());
    z.avail_in = static_cast<uInt>(f.deflated.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    if (inflate(&z, Z_FINISH) != Z_STREAM_END) state.SkipWithError("inflate");
    inflateEnd(&z);
    benchmark::DoNotOptimize(crc32_z(0, out.data(), out.size()));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * f.tile.size()));
  state.counters["deflated_share"] = static_cast<double>(f.deflated.size()) / static_cast<double>(f.tile.size());
}
BENCHMARK(BM_ZlibInflateAndCrcOfTile)->Unit(benchmark::kMillisecond);

void BM_ReadTileFromZip(benchmark::State& state) {
  const Files& f = Data();
  srtm::archive::Reader reader;
  if (!reader.Open(f.zip, "N35E138.SRTMGL1.hgt.zip").ok()) state.SkipWithError("open");
  Bytes out;
  if (!reader.Read(0, &out).ok() || out != f.tile) state.SkipWithError("read");
  for (auto _ : state) {
    if (!reader.Read(0, &out).ok()) state.SkipWithError("read");
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * f.tile.size()));
}
BENCHMARK(BM_ReadTileFromZip)->Unit(benchmark::kMillisecond);

// Per member; argument 1 reads backwards.
void BM_ReadTarGzMembers(benchmark::State& state) {
  const Files& f = Data();
  srtm::archive::Reader reader;
  if (!reader.Open(f.tarGz, "tiles.tar.gz").ok() || reader.members().size() != f.tarMembers) {
    state.SkipWithError("open");
  }
  Bytes out;
  for (auto _ : state) {
    for (std::size_t i = 0; i < f.tarMembers; ++i) {
      if (!reader.Read(state.range(0) ? f.tarMembers - 1 - i : i, &out).ok()) state.SkipWithError("read");
    }
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * f.tarMembers));
}
BENCHMARK(BM_ReadTarGzMembers)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_ListBulkZipOf1000TileZips(benchmark::State& state) {
  const Files& f = Data();
  for (auto _ : state) {
    srtm::archive::Reader reader;
    if (!reader.Open(f.bulk, "bulk.zip").ok() || reader.members().size() != 1000) state.SkipWithError("list");
  }
}
BENCHMARK(BM_ListBulkZipOf1000TileZips)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
