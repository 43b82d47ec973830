// The tile object: map geometry, block numbers, assembling blocks from tile files,
// missing and damaged tiles, the sea encoding and blocks outside the map.
#include "hgt/hgt_tile.h"

#include <climits>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "hgt/paths.h"
#include "hgt/settings.h"
#include "platform/platform.h"
#include "tests/hgt/hgt_test_util.h"
#include "tests/support/test_support.h"

namespace srtm {
namespace {

using test::BlockNumber;

constexpr int kSide3 = 1201;  // samples per row of an SRTM-3 file


// A height pattern that tells every tile, row and column apart (0 to 7999 m).
std::int16_t PatternHeight(int lat, int lon, int fileRow, int column) {
  int h = (fileRow * 3 + column * 7 + (lat * 5 + lon) * 11) % 8000;
  return static_cast<std::int16_t>(h < 0 ? h + 8000 : h);
}

// Counts what the tile asks of the file system, and injects faults.
class SpyEnv : public platform::Env {
 public:
  SpyEnv() : base_(platform::DefaultEnv()) { platform::SetEnv(this); }
  ~SpyEnv() override { platform::SetEnv(nullptr); }

  bool GetFileSize(const char* path, std::uint64_t* size) override {
    ++sizeQueries;
    return base_->GetFileSize(path, size);
  }
  std::unique_ptr<platform::File> OpenShared(const char* path) override {
    ++opens;
    if (onOpen) onOpen();
    auto file = base_->OpenShared(path);
    if (!file || failReadAt == UINT64_MAX) return file;
    return std::make_unique<FailingFile>(std::move(file), failReadAt);
  }
  bool MayAllocate(std::size_t) override { return allowAllocation; }

  int sizeQueries = 0;
  int opens = 0;
  std::function<void()> onOpen;
  std::uint64_t failReadAt = UINT64_MAX;  // every read that covers this offset fails
  bool allowAllocation = true;

 private:
  class FailingFile : public platform::File {
   public:
    FailingFile(std::unique_ptr<platform::File> inner, std::uint64_t failAt) : inner_(std::move(inner)), failAt_(failAt) {}
    bool Read(void* b, std::size_t n, std::size_t* got) override { return inner_->Read(b, n, got); }
    bool ReadAt(std::uint64_t offset, void* b, std::size_t n, std::size_t* got) override {
      if (offset <= failAt_ && failAt_ < offset + n) {
        if (got) *got = 0;
        return false;
      }
      return inner_->ReadAt(offset, b, n, got);
    }
    bool Write(const void* d, std::size_t n) override { return inner_->Write(d, n); }
    bool Seek(std::uint64_t offset) override { return inner_->Seek(offset); }
    std::uint64_t Tell() override { return inner_->Tell(); }
    bool Close() override { return inner_->Close(); }

   private:
    std::unique_ptr<platform::File> inner_;
    std::uint64_t failAt_;
  };
  platform::Env* base_;
};

class HgtTileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = g_pluginSettings;
    g_pluginSettings.fillVoids = 0;
    g_pluginSettings.seaOn = 0;
    g_pluginSettings.seaLevel = 0;
  }
  void TearDown() override { g_pluginSettings = saved_; }

  // An SRTM-3 tile of the pattern (or `bytes` when given) named after its corner.
  std::string PutTile(int lat, int lon, std::vector<std::uint8_t> bytes = {}) {
    if (bytes.empty()) bytes = PatternTile(lat, lon);
    std::string path = FormatTilePath(folder_.path(), lat, lon);
    EXPECT_TRUE(test::WriteBytes(path, bytes));
    return path;
  }
  static std::vector<std::uint8_t> PatternTile(int lat, int lon) {
    std::vector<std::uint8_t> bytes(kSrtm3FileSize);
    for (int r = 0; r < kSide3; ++r) {
      for (int c = 0; c < kSide3; ++c) test::PutHgtSample(bytes, kSide3, r, c, PatternHeight(lat, lon, r, c));
    }
    return bytes;
  }

  // Opens the SRTM-3 map of the folder through a tile name.
  void Open(HgtTile& tile) { ASSERT_EQ(tile.Open(folder_.File("N35E139.hgt"), kSrtm3), 1); }

  // Reads a block into a buffer fenced by guard samples and checks the guards.
  std::vector<std::int16_t> Read(HgtTile& tile, std::int32_t n, std::int32_t* result = nullptr) {
    constexpr int kGuard = 64;
    constexpr std::int16_t kFence = 0x5A5A;
    std::vector<std::int16_t> fenced(BLOCK_SAMPLES + 2 * kGuard, kFence);
    std::int32_t r = tile.ReadBlock(n, fenced.data() + kGuard);
    if (result) *result = r;
    for (int i = 0; i < kGuard; ++i) {
      EXPECT_EQ(fenced[i], kFence) << "written before the buffer, block " << n;
      EXPECT_EQ(fenced[kGuard + BLOCK_SAMPLES + i], kFence) << "written after the buffer, block " << n;
    }
    return std::vector<std::int16_t>(fenced.begin() + kGuard, fenced.begin() + kGuard + BLOCK_SAMPLES);
  }

  // What the sea-off, fill-off map serves at map row and column, with the pattern tiles
  // for which `present` is true and missing ones elsewhere.
  static std::int16_t Expected(long long row, long long column, const std::function<bool(int, int)>& present) {
    int lat = -90 + static_cast<int>(row / 1200), lon = -180 + static_cast<int>(column / 1200);
    if (!present(lat, lon)) return -1;
    return static_cast<std::int16_t>(PatternHeight(lat, lon, 1200 - static_cast<int>(row % 1200), column % 1200) + 1);
  }
  // Checks a whole block of block row R and block column C against Expected.
  void ExpectBlock(HgtTile& tile, int row, int column, const std::function<bool(int, int)>& present) {
    auto block = Read(tile, BlockNumber(row, column));
    for (int i = 0; i < BLOCK_SIDE; ++i) {
      for (int j = 0; j < BLOCK_SIDE; ++j) {
        std::int16_t want = Expected(320LL * row + i, 320LL * (column - 1) + j, present);
        ASSERT_EQ(block[i * BLOCK_SIDE + j], want) << "block " << row << "/" << column << " at " << i << "," << j;
      }
    }
  }

  test::TempFolder folder_;
  PluginSettings saved_;
};

TEST(BlockNumber, DecodesInterleavedDigitsAndSubDigits) {
  BlockOrigin o = DecodeBlockNumber(1234567890);
  EXPECT_EQ(o.row, 1257);
  EXPECT_EQ(o.column, 3478);
  EXPECT_EQ(o.firstRow, 402240);
  EXPECT_EQ(o.firstColumn, 1112640);

  // Sub-digits 0 to 7 stay in the block; 8 and 9 step one block on.
  EXPECT_EQ(DecodeBlockNumber(BlockNumber(553, 720) + 77).row, 553);
  EXPECT_EQ(DecodeBlockNumber(BlockNumber(553, 720) + 77).column, 720);
  EXPECT_EQ(DecodeBlockNumber(BlockNumber(553, 720) + 98).row, 554);
  EXPECT_EQ(DecodeBlockNumber(BlockNumber(553, 720) + 98).column, 721);

  EXPECT_EQ(DecodeBlockNumber(100).column, 1);
  EXPECT_EQ(DecodeBlockNumber(0).column, 0);
  EXPECT_LT(DecodeBlockNumber(-100).column, 0);
  // The extremes decode without overflow, to far outside the map.
  EXPECT_LT(DecodeBlockNumber(INT_MIN).row, 0);
  EXPECT_GT(DecodeBlockNumber(INT_MAX).firstColumn, 433200);
}

TEST(ReadStep, EveryHeightAndEveryRowTail) {
  // Every 16-bit height as file bytes; rows of every length 1 to 17 reach the lanes and
  // the one-by-one tail after them.
  std::vector<unsigned char> bytes(2 * 65536);
  for (int v = 0; v < 65536; ++v) {
    bytes[2 * v] = static_cast<unsigned char>(v >> 8);
    bytes[2 * v + 1] = static_cast<unsigned char>(v);
  }
  const auto want = [](int v) {
    const auto h = static_cast<std::int16_t>(v);
    return h == VOID_SAMPLE ? VOID_SAMPLE : static_cast<std::int16_t>(h + 1);
  };
  std::vector<std::int16_t> out(65536 + 1, 7);
  ConvertRow(bytes.data(), 65536, out.data());
  for (int v = 0; v < 65536; ++v) ASSERT_EQ(out[v], want(v)) << "height " << v;
  for (int count = 1; count <= 17; ++count) {
    for (int start : {32765, 32760}) {  // 32767 and the void value fall in lanes, then in the tail
      std::fill(out.begin(), out.end(), 7);
      ConvertRow(bytes.data() + 2 * start, count, out.data());
      for (int k = 0; k < count; ++k) ASSERT_EQ(out[k], want(start + k)) << count << " from " << start;
      ASSERT_EQ(out[count], 7) << "written past the row of " << count;
    }
  }
}

TEST(SeaLevel, EverySampleValueUnderSeveralSettings) {
  // Every 16-bit value, as the read step can leave it, through the served encoding.
  std::vector<std::int16_t> values(BLOCK_SAMPLES);
  for (int i = 0; i < BLOCK_SAMPLES; ++i) values[i] = static_cast<std::int16_t>(i - 32768);
  struct Setting {
    std::int32_t seaOn, level;
    int threshold;  // at or below: 0
  };
  for (Setting s : {Setting{0, 0, -32768}, Setting{1, 0, 1}, Setting{1, -1, 0}, Setting{1, 100, 101},
                    Setting{1, -32769, -32768}, Setting{1, 40000, 32767}, Setting{1, -5, -4}}) {
    std::vector<std::int16_t> block = values;
    ApplySeaLevel(block.data(), s.seaOn, s.level);
    for (int i = 0; i < BLOCK_SAMPLES; ++i) {
      const int v = values[i];
      const int want = v <= s.threshold ? 0 : v <= 0 ? v - 1 : v;
      ASSERT_EQ(block[i], want) << "value " << v << ", sea " << s.seaOn << " level " << s.level;
    }
  }
}

TEST_F(HgtTileTest, AnyTileOfAKindGivesTheSameWholeGlobeMap) {
  for (const char* name : {"N35E139.hgt", "S01W072.hgt", "n00e000.HGT"}) {
    HgtTile tile;
    ASSERT_EQ(tile.Open("Z:\\data\\" + std::string(name), kSrtm3), 1) << name;
    const double h = 1.0 / 2400;
    EXPECT_DOUBLE_EQ(tile.south(), -90 - h);
    EXPECT_DOUBLE_EQ(tile.north(), 91 - h);
    EXPECT_DOUBLE_EQ(tile.west(), -180 - h);
    EXPECT_DOUBLE_EQ(tile.east(), 181 - h);
    EXPECT_EQ(tile.samplesPerDegreeX(), 1200.0);
    EXPECT_EQ(tile.samplesPerDegreeY(), 1200.0);
    EXPECT_EQ(tile.width(), 433200);
    EXPECT_EQ(tile.height(), 217200);
    EXPECT_EQ(tile.originLat(), -90);
    EXPECT_EQ(tile.originLon(), -180);
    EXPECT_EQ(tile.fileSize(), 2884802);
    EXPECT_EQ(tile.folder(), "Z:\\data");
    EXPECT_EQ(tile.fileName(), name);
  }

  HgtTile one;
  ASSERT_EQ(one.Open("C:N35E139.HGT", kSrtm1), 1);
  EXPECT_EQ(one.folder(), "C:");  // a drive prefix keeps its colon
  EXPECT_EQ(one.tileLat(), 35);
  EXPECT_EQ(one.tileLon(), 139);
  EXPECT_EQ(one.width(), 1299600);
  EXPECT_EQ(one.height(), 651600);
  EXPECT_EQ(one.samplesPerDegreeX(), 3600.0);
  EXPECT_DOUBLE_EQ(one.south(), -90 - 1.0 / 7200);
  EXPECT_DOUBLE_EQ(one.east(), 181 - 1.0 / 7200);
  EXPECT_EQ(one.fileSize(), 25934402);
}

TEST_F(HgtTileTest, ClosedTileServesZerosAndFailsWithoutTouchingFiles) {
  SpyEnv spy;
  HgtTile tile;
  EXPECT_EQ(tile.Close(), 1);
  std::int32_t result = -1;
  auto block = Read(tile, 100, &result);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(block, std::vector<std::int16_t>(BLOCK_SAMPLES, 0));

  Open(tile);
  EXPECT_EQ(tile.Close(), 1);
  EXPECT_FALSE(tile.opened());
  Read(tile, 100, &result);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(spy.sizeQueries, 0);

  // An allocation refused while opening leaves the tile closed; a later Open works.
  spy.allowAllocation = false;
  EXPECT_EQ(tile.Open(folder_.File("N35E139.hgt"), kSrtm3), 0);
  EXPECT_FALSE(tile.opened());
  spy.allowAllocation = true;
  EXPECT_EQ(tile.Open(folder_.File("N35E139.hgt"), kSrtm3), 1);
}

TEST_F(HgtTileTest, CornerBlockAndBlocksStraddlingTileColumnsAndRows) {
  for (int lat : {-90, -89}) {
    for (int lon : {-180, -179}) PutTile(lat, lon);
  }
  HgtTile tile;
  Open(tile);
  auto all = [](int, int) { return true; };
  // S90W180 alone: file rows 1200 down to 881, columns 0 to 319.
  ExpectBlock(tile, 0, 1, all);
  auto corner = Read(tile, BlockNumber(0, 1));
  EXPECT_EQ(corner[0], PatternHeight(-90, -180, 1200, 0) + 1);
  EXPECT_EQ(corner[319 * BLOCK_SIDE + 319], PatternHeight(-90, -180, 881, 319) + 1);
  // Block column 4: 240 columns of one tile, then 80 of its eastern neighbour.
  ExpectBlock(tile, 0, 4, all);
  auto east = Read(tile, BlockNumber(0, 4));
  EXPECT_EQ(east[239], PatternHeight(-90, -180, 1200, 1199) + 1);
  EXPECT_EQ(east[240], PatternHeight(-90, -179, 1200, 0) + 1);
  // Block row 3 (first map row 960): 240 rows, then 80 from the tile row to the north.
  ExpectBlock(tile, 3, 1, all);
  auto north = Read(tile, BlockNumber(3, 1));
  EXPECT_EQ(north[239 * BLOCK_SIDE], PatternHeight(-90, -180, 1, 0) + 1);
  EXPECT_EQ(north[240 * BLOCK_SIDE], PatternHeight(-89, -180, 1200, 0) + 1);
  // Both at once: four tiles.
  ExpectBlock(tile, 3, 4, all);
}

TEST_F(HgtTileTest, Srtm1BlockAcrossATileColumnIsReadRowByRow) {
  constexpr int kSide1 = 3601;
  std::vector<std::uint8_t> bytes(kSrtm1FileSize);
  for (int r = 0; r < kSide1; ++r) {
    for (int c = 0; c < kSide1; ++c) test::PutHgtSample(bytes, kSide1, r, c, PatternHeight(-90, -180, r, c));
  }
  ASSERT_TRUE(test::WriteBytes(FormatTilePath(folder_.path(), -90, -180), bytes));
  HgtTile tile;
  ASSERT_EQ(tile.Open(folder_.File("N35E139.hgt"), kSrtm1), 1);
  // Block column 12 starts at map column 3520: 80 columns of S90W180, then the missing
  // S90W179; block row 11 starts at map row 3520 and runs 80 rows into the missing S89W180.
  auto block = Read(tile, BlockNumber(11, 12));
  for (int i = 0; i < BLOCK_SIDE; ++i) {
    for (int j = 0; j < BLOCK_SIDE; ++j) {
      const int row = 3520 + i, column = 3520 + j;
      const std::int16_t want = row < 3600 && column < 3600 ? PatternHeight(-90, -180, 3600 - row, column) + 1 : -1;
      ASSERT_EQ(block[i * BLOCK_SIDE + j], want) << i << "," << j;
    }
  }
}

TEST_F(HgtTileTest, MissingAndOneByteShortNeighboursServeAsMissing) {
  PutTile(-90, -180);
  auto shortTile = PatternTile(-89, -179);
  shortTile.pop_back();
  PutTile(-89, -179, shortTile);
  auto longTile = PatternTile(-89, -180);
  longTile.push_back(0);
  PutTile(-89, -180, longTile);
  HgtTile tile;
  Open(tile);
  ExpectBlock(tile, 3, 4, [](int lat, int lon) { return lat == -90 && lon == -180; });
}

TEST_F(HgtTileTest, FailedRowReadIsHeightZeroAndTheReadGoesOn) {
  PutTile(-90, -180);
  HgtTile tile;
  Open(tile);
  SpyEnv spy;
  // Map row 5 of the corner block is file row 1195.
  spy.failReadAt = 2ull * (1195 * kSide3 + 0);
  auto block = Read(tile, BlockNumber(0, 1));
  for (int j = 0; j < BLOCK_SIDE; ++j) ASSERT_EQ(block[5 * BLOCK_SIDE + j], 1) << j;  // 0 m, sea off
  EXPECT_EQ(block[4 * BLOCK_SIDE], PatternHeight(-90, -180, 1196, 0) + 1);
  EXPECT_EQ(block[6 * BLOCK_SIDE], PatternHeight(-90, -180, 1194, 0) + 1);
}

TEST_F(HgtTileTest, SeaEncodingWithTheSeaOnAndOff) {
  std::vector<std::uint8_t> bytes(kSrtm3FileSize);
  const std::int16_t heights[] = {-3, -1, 0, 1, 250, 100, 101, VOID_SAMPLE};
  for (int j = 0; j < 8; ++j) test::PutHgtSample(bytes, kSide3, 1200, j, heights[j]);
  PutTile(-90, -180, bytes);
  HgtTile tile;
  Open(tile);
  auto served = [&](int fill, int seaOn, int level) {
    g_pluginSettings = PluginSettings{fill, seaOn, level};
    auto block = Read(tile, BlockNumber(0, 4));  // columns 960 on; W179 is missing
    block.resize(BLOCK_SIDE);
    return block;
  };
  auto first8 = [&](int fill, int seaOn, int level) {
    g_pluginSettings = PluginSettings{fill, seaOn, level};
    auto block = Read(tile, BlockNumber(0, 1));
    return std::vector<std::int16_t>(block.begin(), block.begin() + 8);
  };

  using Row = std::vector<std::int16_t>;
  EXPECT_EQ(first8(0, 1, 0), (Row{0, 0, 0, 2, 251, 101, 102, 0}));
  EXPECT_EQ(first8(0, 1, 100), (Row{0, 0, 0, 0, 251, 0, 102, 0}));
  EXPECT_EQ(first8(0, 0, 0), (Row{-3, -1, 1, 2, 251, 101, 102, 0}));
  // Sea below the deepest height: only voids are 0, negative heights are themselves.
  EXPECT_EQ(first8(0, 1, -10), (Row{-3, -1, 1, 2, 251, 101, 102, 0}));

  // A missing tile: 0 with the sea on at -1 or above, -1 with the sea off.
  EXPECT_EQ(served(0, 1, -1)[300], 0);
  EXPECT_EQ(served(0, 0, 0)[300], -1);
  EXPECT_EQ(served(1, 0, 0)[300], -1);
}

TEST_F(HgtTileTest, ExtremeSeaLevelsNeitherOverflowNorTurnVoidsIntoHeights) {
  std::vector<std::uint8_t> bytes(kSrtm3FileSize);
  test::PutHgtSample(bytes, kSide3, 1200, 0, VOID_SAMPLE);
  test::PutHgtSample(bytes, kSide3, 1200, 1, -5);
  test::PutHgtSample(bytes, kSide3, 1200, 2, 8000);
  PutTile(-90, -180, bytes);
  HgtTile tile;
  Open(tile);
  g_pluginSettings = PluginSettings{0, 1, INT_MAX};
  auto block = Read(tile, BlockNumber(0, 1));
  EXPECT_EQ(block[0], 0);
  EXPECT_EQ(block[2], 0);  // everything is under that sea
  g_pluginSettings = PluginSettings{0, 1, INT_MIN};
  block = Read(tile, BlockNumber(0, 1));
  EXPECT_EQ(block[0], 0);  // a void stays "no data", never a 32767 m peak
  EXPECT_EQ(block[1], -5);
  EXPECT_EQ(block[2], 8001);
}

TEST_F(HgtTileTest, VoidsAreFilledWhenTheSettingIsOn) {
  std::vector<std::uint8_t> bytes(kSrtm3FileSize);
  for (int r = 0; r < kSide3; ++r) {
    for (int c = 0; c < kSide3; ++c) test::PutHgtSample(bytes, kSide3, r, c, 49);
  }
  test::PutHgtSample(bytes, kSide3, 1190, 10, VOID_SAMPLE);  // map row 10, column 10
  PutTile(-90, -180, bytes);
  HgtTile tile;
  Open(tile);
  g_pluginSettings = PluginSettings{1, 0, 0};
  EXPECT_EQ(Read(tile, BlockNumber(0, 1))[10 * BLOCK_SIDE + 10], 50);
  g_pluginSettings = PluginSettings{0, 0, 0};
  EXPECT_EQ(Read(tile, BlockNumber(0, 1))[10 * BLOCK_SIDE + 10], 0);
}

TEST_F(HgtTileTest, SettingsChangedDuringAReadApplyFromTheNextRead) {
  PutTile(-90, -180);
  HgtTile tile;
  Open(tile);
  SpyEnv spy;
  // The fill setting flips while the block is being assembled: the read that began with
  // it on must still fill its own buffer into the host's.
  g_pluginSettings = PluginSettings{1, 0, 0};
  spy.onOpen = [] { g_pluginSettings = PluginSettings{0, 1, 5000}; };
  ExpectBlock(tile, 0, 1, [](int lat, int lon) { return lat == -90 && lon == -180; });
}

TEST_F(HgtTileTest, BlocksOutsideTheMapAreMissingTilesAndStayInTheirBuffer) {
  PutTile(-90, -180);
  HgtTile tile;
  Open(tile);
  SpyEnv spy;
  for (std::int32_t n : {0, 7, -1, -100, -1234567890, INT_MIN, INT_MAX, BlockNumber(700, 1), BlockNumber(0, 1400),
                         BlockNumber(2199, 9999)}) {
    std::int32_t result = 0;
    auto block = Read(tile, n, &result);
    EXPECT_EQ(result, 1) << n;
    EXPECT_EQ(block, std::vector<std::int16_t>(BLOCK_SAMPLES, -1)) << n;
  }
  EXPECT_EQ(spy.sizeQueries, 0);
}

TEST_F(HgtTileTest, NorthernAndEasternEdgeTilesAreReadButNothingBeyond) {
  // Latitude 90 and longitude 180 are the map's last tile row and column.
  PutTile(90, 0);
  PutTile(0, 180);
  // Named like the tiles beyond the edge: never asked for.
  PutTile(91, 0);
  PutTile(0, 181);
  HgtTile tile;
  Open(tile);
  SpyEnv spy;
  auto edgeTiles = [](int lat, int lon) { return (lat == 90 && lon == 0) || (lat == 0 && lon == 180); };
  // Block row 678 holds map rows 216960 to 217279; the map ends at 217200.
  auto north = Read(tile, BlockNumber(678, 676));
  for (int i = 0; i < BLOCK_SIDE; ++i) {
    long long row = 216960 + i;
    std::int16_t want = row < 217200 ? Expected(row, 216000, edgeTiles) : -1;
    ASSERT_EQ(north[i * BLOCK_SIDE], want) << i;
  }
  // Block column 1354 holds map columns 432960 to 433279; the map ends at 433200.
  auto east = Read(tile, BlockNumber(338, 1354));
  for (int j = 0; j < BLOCK_SIDE; ++j) {
    long long column = 432960 + j;
    std::int16_t want = column < 433200 ? Expected(108160, column, edgeTiles) : -1;
    ASSERT_EQ(east[j], want) << j;
  }
  EXPECT_EQ(spy.opens, 2);
}

}  // namespace
}  // namespace srtm
