// The map-source hook as a hostile or confused host might drive it: any message, map
// handle, block number, path and settings, in any order, over a folder of good, short,
// long and garbage tiles of both kinds (made once and held in memory).
// Beyond surviving, the hook must answer 0 for maps it does not hold, serve a block the
// same way twice under the same settings, and write every sample of the host's buffer.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "hgt/fill_on_read.h"
#include "hgt/paths.h"
#include "hgt/settings.h"
#include "shell/map_source_hook.h"
#include "testhost/host.h"

namespace {

using srtm::fuzz::TileBytes;

void Check(bool condition) {
  if (!condition) std::abort();
}

struct TileFile {
  const char* name;
  int lat, lon;
  std::uint64_t size;
  bool garbage;
};
// Good tiles side by side, and damaged ones among and around them.
constexpr std::uint64_t k3 = srtm::kSrtm3FileSize, k1 = srtm::kSrtm1FileSize;
const TileFile kTiles[] = {
    {"N57E011.hgt", 57, 11, k3, false},     {"N57E012.hgt", 57, 12, k3, false},
    {"N58E011.hgt", 58, 11, k3 - 2, false}, {"N56E011.hgt", 56, 11, k3 + 2, false},
    {"N57E010.hgt", 57, 10, k3, true},      {"n58e012.HGT", 58, 12, k3, false},
    {"S01W001.hgt", -1, -1, k1, false},     {"S01E000.hgt", -1, 0, k1, true},
    {"N00W001.hgt", 0, -1, k1 - 1, false},  {"N00E000.hgt", 0, 0, 0, false},
    {"readme.txt", 0, 0, 100, false},       {"N57E011.hgt.bak", 57, 11, k3, false},
};
constexpr char kFolder[] = "Z:\\tiles\\";
// Opening a tile and reading a block are what costs (the buffers of an open tile are
// large; a block is 102,400 samples, read twice): a few of each per input keep the
// fuzzer fast, and every path through them is reached within these counts.
constexpr int kMaxBlockReads = 2;
constexpr int kMaxOpens = 3;

// The tiles are made once, before the first input: a block read copies their bytes.
srtm::fuzz::MemoryEnv& Files() {
  static srtm::fuzz::MemoryEnv* env = [] {
    auto* e = new srtm::fuzz::MemoryEnv;
    for (const TileFile& t : kTiles) {
      e->AddFile(std::string(kFolder) + t.name,
                 t.garbage ? srtm::fuzz::GarbageBytes(t.size) : TileBytes(t.lat, t.lon, t.size));
    }
    return e;
  }();
  return *env;
}

// The host's block number of block row R and column C (sub-digits 0).
std::int32_t BlockNumber(std::int64_t row, std::int64_t column) {
  if (row < 0 || column < 0 || row > 2000 || column > 2000) return static_cast<std::int32_t>(row * 10000 + column * 100);
  return static_cast<std::int32_t>((row / 100) * 100000000 + (column / 100) * 1000000 + (row % 100) * 10000 +
                                   (column % 100) * 100);
}

std::string PathFrom(srtm::fuzz::InputReader& in) {
  const std::uint8_t choice = in.Byte();
  if (choice < 200) return kFolder + std::string(kTiles[choice % (sizeof kTiles / sizeof kTiles[0])].name);
  std::string path = in.Bytes(400);
  path = path.substr(0, path.find('\0'));
  return choice & 1 ? kFolder + path : path;
}

std::int32_t Call(std::int32_t message, std::uint32_t map, const void* data) {
  return srtm::MapSourceHook(message, map, reinterpret_cast<QLP_DATA>(data));
}

void ReadBlock(std::uint32_t map, std::int32_t blockNumber) {
  // The host's two buffers, kept from input to input and filled with two patterns.
  static std::vector<std::int16_t> first(srtm::BLOCK_SAMPLES), second(srtm::BLOCK_SAMPLES);
  std::memset(first.data(), 0x7E, first.size() * sizeof first[0]);
  std::memset(second.data(), 0x12, second.size() * sizeof second[0]);
  BlockRequest request{static_cast<std::int32_t>(sizeof(BlockRequest)), blockNumber, first.data()};
  const std::int32_t answer = Call(QLP_MSG_READ_BLOCK, map, &request);
  Check(answer == 0 || answer == 1);
  if (answer == 0) {
    Check(!srtm::IsOurTileMap(map));
    return;
  }
  request.buffer = second.data();
  Check(Call(QLP_MSG_READ_BLOCK, map, &request) == 1);
  // Every sample written, and the same block both times: nothing uninitialised or left
  // over from an earlier read shows through.
  Check(std::memcmp(first.data(), second.data(), first.size() * sizeof first[0]) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Files();
  srtm::host::Reset();
  srtm::g_pluginSettings = srtm::PluginSettings();
  // Maps the host knows by itself (restored from an earlier session): 2011 opens them.
  std::uint32_t hostMaps[3] = {};
  for (int i = 0; i < 3; ++i) {
    srtm::host::MapDescription map;
    map.file = kFolder + std::string(kTiles[i * 3].name);
    hostMaps[i] = srtm::host::AddMap(map);
  }

  srtm::fuzz::InputReader in(data, size);
  int blockReads = 0;
  int opens = 0;
  for (int step = 0; step < 64 && !in.empty(); ++step) {
    const std::uint8_t op = in.Byte();
    const std::uint8_t handleChoice = in.Byte();
    const std::uint32_t map = handleChoice < 8 ? handleChoice : handleChoice < 11 ? hostMaps[handleChoice - 8] : in.U32();
    switch (op % 10) {
      case 0: {
        srtm::g_pluginSettings.fillVoids = static_cast<std::int8_t>(in.Byte());
        srtm::g_pluginSettings.seaOn = static_cast<std::int8_t>(in.Byte());
        srtm::g_pluginSettings.seaLevel = static_cast<std::int32_t>(in.U32());
        break;
      }
      case 1: {
        const std::string path = PathFrom(in);
        const std::int32_t answer = Call(QLP_MSG_CAN_OPEN, map, path.c_str());
        Check(answer == 0 || (answer == 1 && srtm::ClassifyHgtFile(path) != srtm::kNotTile));
        break;
      }
      case 2: {
        const std::string path = PathFrom(in);
        if (++opens > kMaxOpens) break;
        const std::int32_t answer = Call(QLP_MSG_OPEN, map, path.c_str());
        Check(answer == 0 || (answer == 1 && srtm::IsOurTileMap(map) && srtm::ClassifyHgtFile(path) != srtm::kNotTile));
        break;
      }
      case 3: {
        // Asked about a map it does not hold, the hook opens the host's file of it.
        if (!srtm::IsOurTileMap(map) && ++opens > kMaxOpens) break;
        MapInfoRecord record;
        std::memset(&record, 0xCD, sizeof record);
        const std::int32_t answer = Call(QLP_MSG_MAP_INFO, map, &record);
        Check(answer == (srtm::IsOurTileMap(map) ? 1 : 0));
        if (answer) Check(record.width > 0 && record.height > 0 && record.south < record.north && record.displayName);
        break;
      }
      case 4: {
        const auto number = static_cast<std::int32_t>(in.U32());
        if (++blockReads <= kMaxBlockReads) ReadBlock(map, number);
        break;
      }
      case 5: {
        // Near the tiles: block rows and columns around them in either kind's numbering.
        const TileFile& t = kTiles[in.Byte() % (sizeof kTiles / sizeof kTiles[0])];
        const int span = in.Byte() & 1 ? 3600 : 1200;
        const std::int64_t row = (std::int64_t{t.lat} + 90) * span / 320 + static_cast<std::int8_t>(in.Byte()) % 6;
        const std::int64_t column = (std::int64_t{t.lon} + 180) * span / 320 + 1 + static_cast<std::int8_t>(in.Byte()) % 6;
        const std::int32_t number = BlockNumber(row, column) + in.Byte() % 100;
        if (++blockReads <= kMaxBlockReads) ReadBlock(map, number);
        break;
      }
      case 6: {
        const bool held = srtm::IsOurTileMap(map);
        Check(Call(QLP_MSG_CLOSE, map, nullptr) == (held ? 1 : 0));
        Check(!srtm::IsOurTileMap(map));
        break;
      }
      case 7: {
        const char* name = nullptr;
        const std::int32_t answer = Call(QLP_MSG_TYPE_NAME, map, &name);
        Check(answer == 0 || (name != nullptr && std::strlen(name) > 0));
        break;
      }
      case 8: {
        FileFilterRecord record;
        std::memset(&record, 0, sizeof record);
        Check(Call(QLP_MSG_FILE_FILTER, map, &record) == 0 && record.pattern != nullptr);
        break;
      }
      default: {
        // Messages the hook does not handle, with a record or without.
        std::uint8_t record[256] = {};
        const auto message = static_cast<std::int32_t>(in.U32());
        const bool known = message == QLP_MSG_FILE_FILTER || message == QLP_MSG_TYPE_NAME ||
                           message == QLP_MSG_CAN_OPEN || message == QLP_MSG_OPEN || message == QLP_MSG_MAP_INFO ||
                           message == QLP_MSG_READ_BLOCK || message == QLP_MSG_CLOSE;
        if (!known) Check(Call(message, map, in.Byte() & 1 ? record : nullptr) == 0);
        const std::string path = PathFrom(in);
        srtm::OpenHook(QLP_MSG_OPEN_FILE, map, reinterpret_cast<QLP_DATA>(path.c_str()));
        break;
      }
    }
  }
  srtm::ReleaseAllTiles();
  srtm::g_pluginSettings = srtm::PluginSettings();
  return 0;
}
