// .hgt files opened as maps the way the host opens them: the plug-in loaded from
// srtm.qlp, driven only through its exports and the hooks it registered, with the
// stand-in host asking 2003, 2004, 2002, 2011, 2012 and 2021 (and 1001 for drops).
#include <cstring>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "shell/pluginif.h"
#include "testhost/host.h"
#include "testhost/maps.h"
#include "tests/hgt/hgt_test_util.h"
#include "tests/support/test_support.h"

namespace srtm {
namespace {

using test::BlockNumber;
using test::MakeFolder;

constexpr int kSide = QLP_BLOCK_SIDE;
constexpr std::size_t kSrtm3Bytes = 2884802;

template <typename T>
T At(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
  T value;
  std::memcpy(&value, bytes.data() + offset, sizeof value);
  return value;
}


class MapSourceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host::Reset();
    ASSERT_TRUE(plugin_.Load(test::BinaryDir() + "/srtm.qlp")) << plugin_.error();
    PluginInfo info;
    ASSERT_EQ(plugin_.Create(&info, host::kPluginHandle), 1);
    ASSERT_EQ(host::MapSourceHooks().size(), 1u);
    source_ = host::MapSourceHooks()[0].entry.callback;
  }
  void TearDown() override {
    plugin_.Release();
    plugin_.Unload();
  }

  std::int32_t Send(std::int32_t message, QLP_HANDLE map, const void* data) {
    return source_(message, map, reinterpret_cast<QLP_DATA>(data));
  }
  // A tile of SRTM-3 size, all zeros, in the test folder.
  std::string PutBlankTile(const std::string& name, std::size_t size = kSrtm3Bytes) {
    std::string path = folder_.File(name);
    EXPECT_TRUE(test::WriteBytes(path, std::vector<std::uint8_t>(size)));
    return path;
  }
  std::string PutRealTile() {
    std::string path = folder_.File("N57E011.hgt");
    EXPECT_TRUE(test::WriteBytes(path, test::RealTile()));
    return path;
  }

  host::Plugin plugin_;
  QLP_CALLBACK source_ = nullptr;
  test::TempFolder folder_;
};

TEST_F(MapSourceTest, RealTileOpensAsTheWholeGlobeSrtm3Map) {
  const std::string path = PutRealTile();
  QLP_HANDLE map = host::OpenFile(path);
  ASSERT_NE(map, 0u);
  EXPECT_STREQ(QLP_GetMapFile(map), path.c_str());
  EXPECT_EQ(host::ViewBaseMap(QLP_GetActiveView()), map);
  EXPECT_EQ(QLP_GetActiveBaseMap(), map);
  EXPECT_EQ(host::ViewMaps(QLP_GetActiveView()), std::vector<QLP_HANDLE>{map});

  host::OpenedMap opened;
  ASSERT_TRUE(host::GetOpenedMap(map, &opened));
  EXPECT_EQ(opened.typeName, test::ToCp932("スペースシャトル地形 SRTM-3"));
  EXPECT_EQ(opened.displayName, "SRTM-3 N57E011.hgt");
  const double h = 1.0 / 2400;
  EXPECT_DOUBLE_EQ(opened.south, -90 - h);
  EXPECT_DOUBLE_EQ(opened.north, 91 - h);
  EXPECT_DOUBLE_EQ(opened.west, -180 - h);
  EXPECT_DOUBLE_EQ(opened.east, 181 - h);
  EXPECT_EQ(opened.samplesPerDegreeX, 1200.0);
  EXPECT_EQ(opened.samplesPerDegreeY, 1200.0);
  EXPECT_EQ(opened.width, 433200);
  EXPECT_EQ(opened.height, 217200);
}

TEST_F(MapSourceTest, RealTileServesItsHeightsAndMissingNeighboursAsSea) {
  QLP_HANDLE map = host::OpenFile(PutRealTile());
  ASSERT_NE(map, 0u);
  // 57.7 N, 11.9 E is map row (57.7 + 90) x 1200 = 177240 and column (11.9 + 180) x 1200
  // = 230280: block row 553 (row 280 in it), block column 720 (column 200 in it).
  std::vector<std::int16_t> block;
  ASSERT_EQ(host::ReadMapBlock(map, BlockNumber(553, 720), &block), 1);
  ASSERT_EQ(BlockNumber(553, 720), 507532000);
  EXPECT_EQ(block[280 * kSide + 200], 14);  // 13 m, sea on at 0
  for (std::int16_t v : block) ASSERT_NE(v, host::kUnwrittenSample);

  // East of it lies N57E012, north N58E011: both missing, served as sea (0) with the
  // settings at load.
  for (std::int32_t n : {BlockNumber(553, 721), BlockNumber(555, 720), BlockNumber(555, 721)}) {
    ASSERT_EQ(host::ReadMapBlock(map, n, &block), 1);
    EXPECT_EQ(block, std::vector<std::int16_t>(kSide * kSide, 0)) << n;
  }
  // The two blocks of the tile's north-east corner, sample by sample against the file:
  // heights above 0 m served as height + 1, the rest as sea.
  const std::vector<std::uint8_t> file = test::RealTile();
  for (int row : {553, 554}) {
    ASSERT_EQ(host::ReadMapBlock(map, BlockNumber(row, 720), &block), 1);
    for (int i = 0; i < kSide; ++i) {
      for (int j = 0; j < kSide; ++j) {
        const int fileRow = 1200 - (320 * row + i - 176400), column = 880 + j;
        const int h = test::GetHgtSample(file, 1201, fileRow, column);
        ASSERT_EQ(block[i * kSide + j], h > 0 ? h + 1 : 0) << row << ": " << i << "," << j;
      }
    }
  }
}

TEST_F(MapSourceTest, CloseForgetsTheTileAndUnknownHandlesChangeNothing) {
  QLP_HANDLE map = host::OpenFile(PutRealTile());
  ASSERT_NE(map, 0u);
  EXPECT_EQ(host::CloseMap(map), 1);
  EXPECT_EQ(host::ViewBaseMap(QLP_GetActiveView()), 0u);

  std::vector<std::int16_t> buffer(kSide * kSide, 99);
  BlockRequest request{};
  request.size = sizeof request;
  request.blockNumber = BlockNumber(553, 720);
  request.buffer = buffer.data();
  const char* typeName = "untouched";
  for (QLP_HANDLE never : {map, QLP_HANDLE{0}, QLP_HANDLE{0xDEAD}}) {
    EXPECT_EQ(Send(QLP_MSG_TYPE_NAME, never, &typeName), 0);
    EXPECT_EQ(Send(QLP_MSG_READ_BLOCK, never, &request), 0);
    EXPECT_EQ(Send(QLP_MSG_CLOSE, never, nullptr), 0);
  }
  EXPECT_STREQ(typeName, "untouched");
  EXPECT_EQ(buffer, std::vector<std::int16_t>(kSide * kSide, 99));
  // Messages of the range that the map source does not handle.
  for (std::int32_t message : {2005, 2010, 2013, 2020, 2022, 1001}) EXPECT_EQ(Send(message, map, &request), 0);
}

TEST_F(MapSourceTest, CanOpenDecidesByNameAndSizeOnThePathAsGiven) {
  EXPECT_EQ(Send(QLP_MSG_CAN_OPEN, 0, PutBlankTile("N35E139.hgt").c_str()), 1);
  EXPECT_EQ(Send(QLP_MSG_CAN_OPEN, 0, PutBlankTile("n36e139.HgT").c_str()), 1);
  EXPECT_EQ(Send(QLP_MSG_CAN_OPEN, 0, PutBlankTile("N37E139.hgt", kSrtm3Bytes - 1).c_str()), 0);
  EXPECT_EQ(Send(QLP_MSG_CAN_OPEN, 0, PutBlankTile("N38E139.dat").c_str()), 0);
  EXPECT_EQ(Send(QLP_MSG_CAN_OPEN, 0, folder_.File("N39E139.hgt").c_str()), 0);  // no such file

  // A folder whose double-byte name has a trail byte in 'a'..'z' (0x83 0x61): the path
  // must not be changed by upper-casing before the file is looked up.
  const std::string folder = folder_.File("\x83\x61");
  ASSERT_TRUE(MakeFolder(folder));
  const std::string path = folder + "\\N35E139.hgt";
  ASSERT_TRUE(test::WriteBytes(path, std::vector<std::uint8_t>(kSrtm3Bytes)));
  EXPECT_EQ(Send(QLP_MSG_CAN_OPEN, 0, path.c_str()), 1);
  EXPECT_NE(host::OpenFile(path), 0u);
}

TEST_F(MapSourceTest, FileFilterIsFilledYetAnswersZero) {
  auto filters = host::FileFilters();
  ASSERT_EQ(filters.size(), 1u);
  EXPECT_EQ(filters[0].answer, 0);
  EXPECT_EQ(filters[0].description, test::ToCp932("スペースシャトル地形データ [*.HGT]"));
  EXPECT_EQ(filters[0].pattern, "*.HGT");
  const auto& record = filters[0].record;
  auto* fields = reinterpret_cast<const FileFilterRecord*>(record.data());
  EXPECT_EQ(fields->flag4, 1);
  EXPECT_EQ(fields->flag5, 1);
#if defined(_WIN32) && !defined(_WIN64)
  // The binding offsets, byte by byte.
  EXPECT_EQ(record[4], 1);
  EXPECT_EQ(record[5], 1);
  EXPECT_EQ(record[6], host::kHostFill);
  EXPECT_EQ(record[7], host::kHostFill);
  EXPECT_STREQ(At<const char*>(record, 8), filters[0].description.c_str());
  EXPECT_STREQ(At<const char*>(record, 12), "*.HGT");
#endif
}

TEST_F(MapSourceTest, MapInformationRecordAtItsBindingOffsets) {
  QLP_HANDLE map = host::OpenFile(PutRealTile());
  ASSERT_NE(map, 0u);
  host::OpenedMap opened;
  ASSERT_TRUE(host::GetOpenedMap(map, &opened));
  const auto& record = opened.infoRecord;
  auto* fields = reinterpret_cast<const MapInfoRecord*>(record.data());
  EXPECT_EQ(fields->size, static_cast<std::int32_t>(sizeof(MapInfoRecord)));
  EXPECT_EQ(fields->flag8, 1);
  EXPECT_EQ(fields->zero12, 0);
  for (std::uint8_t b : fields->unset9) EXPECT_EQ(b, host::kHostFill);
#if defined(_WIN32) && !defined(_WIN64)
  ASSERT_EQ(record.size(), 72u);
  EXPECT_EQ(At<std::int32_t>(record, 0), 72);
  EXPECT_STREQ(At<const char*>(record, 4), "SRTM-3 N57E011.hgt");
  EXPECT_EQ(record[8], 1);
  EXPECT_EQ(record[9], host::kHostFill);
  EXPECT_EQ(record[10], host::kHostFill);
  EXPECT_EQ(record[11], host::kHostFill);
  EXPECT_EQ(At<std::int32_t>(record, 12), 0);
  EXPECT_DOUBLE_EQ(At<double>(record, 16), -90 - 1.0 / 2400);
  EXPECT_DOUBLE_EQ(At<double>(record, 24), -180 - 1.0 / 2400);
  EXPECT_DOUBLE_EQ(At<double>(record, 32), 91 - 1.0 / 2400);
  EXPECT_DOUBLE_EQ(At<double>(record, 40), 181 - 1.0 / 2400);
  EXPECT_EQ(At<double>(record, 48), 1200.0);
  EXPECT_EQ(At<double>(record, 56), 1200.0);
  EXPECT_EQ(At<std::int32_t>(record, 64), 433200);
  EXPECT_EQ(At<std::int32_t>(record, 68), 217200);

  // A block request as raw bytes: number at 4, buffer pointer at 8.
  std::vector<std::int16_t> buffer(kSide * kSide, 99);
  std::uint8_t request[12] = {};
  const std::int32_t n = BlockNumber(553, 720);
  std::int16_t* p = buffer.data();
  std::memcpy(request + 4, &n, 4);
  std::memcpy(request + 8, &p, 4);
  EXPECT_EQ(Send(QLP_MSG_READ_BLOCK, map, request), 1);
  EXPECT_EQ(buffer[280 * kSide + 200], 14);

  // The type name goes into a 4-byte pointer slot.
  std::uint8_t slot[8];
  std::memset(slot, host::kHostFill, sizeof slot);
  EXPECT_EQ(Send(QLP_MSG_TYPE_NAME, map, slot), 1);
  EXPECT_EQ(At<const char*>(std::vector<std::uint8_t>(slot, slot + 8), 0), opened.typeName);
  EXPECT_EQ(slot[4], host::kHostFill);
#endif
}

TEST_F(MapSourceTest, MapInformationOpensAMapTheHostRestoredByItself) {
  const std::string tile = PutBlankTile("S01W072.hgt");
  QLP_HANDLE restored = host::AddMap(host::MapDescription{tile});
  MapInfoRecord record{};
  EXPECT_EQ(Send(QLP_MSG_MAP_INFO, restored, &record), 1);
  EXPECT_STREQ(record.displayName, "SRTM-3 S01W072.hgt");
  EXPECT_EQ(record.width, 433200);
  std::vector<std::int16_t> buffer(kSide * kSide, 99);
  BlockRequest request{};
  request.blockNumber = 100;
  request.buffer = buffer.data();
  EXPECT_EQ(Send(QLP_MSG_READ_BLOCK, restored, &request), 1);  // registered now

  QLP_HANDLE notTile = host::AddMap(host::MapDescription{PutBlankTile("S01W073.hgt", 100)});
  EXPECT_EQ(Send(QLP_MSG_MAP_INFO, notTile, &record), 0);
  EXPECT_EQ(Send(QLP_MSG_READ_BLOCK, notTile, &request), 0);  // nothing registered
  EXPECT_EQ(Send(QLP_MSG_CLOSE, notTile, nullptr), 0);
}

TEST_F(MapSourceTest, SecondOpenOfAHandleReplacesItsTile) {
  const std::string first = PutBlankTile("N35E139.hgt");
  const std::string second = PutRealTile();
  const QLP_HANDLE map = 0x4242;
  ASSERT_EQ(Send(QLP_MSG_OPEN, map, first.c_str()), 1);
  ASSERT_EQ(Send(QLP_MSG_OPEN, map, second.c_str()), 1);
  MapInfoRecord record{};
  ASSERT_EQ(Send(QLP_MSG_MAP_INFO, map, &record), 1);
  EXPECT_STREQ(record.displayName, "SRTM-3 N57E011.hgt");
  // One close ends it: only one tile was left under the handle.
  EXPECT_EQ(Send(QLP_MSG_CLOSE, map, nullptr), 1);
  EXPECT_EQ(Send(QLP_MSG_CLOSE, map, nullptr), 0);

  // A failed open registers nothing.
  EXPECT_EQ(Send(QLP_MSG_OPEN, map, PutBlankTile("N35E138.hgt", 5).c_str()), 0);
  EXPECT_EQ(Send(QLP_MSG_MAP_INFO, map, &record), 0);
}

TEST_F(MapSourceTest, LastCloseFreesTheTableAndTheNextOpenStillWorks) {
  const std::string path = PutRealTile();
  QLP_HANDLE a = host::OpenFile(path);
  QLP_HANDLE b = host::OpenFile(path);
  ASSERT_NE(a, 0u);
  ASSERT_NE(b, 0u);
  EXPECT_EQ(host::CloseMap(a), 1);
  EXPECT_EQ(host::CloseMap(b), 1);
  QLP_HANDLE c = host::OpenFile(path);
  ASSERT_NE(c, 0u);
  std::vector<std::int16_t> block;
  EXPECT_EQ(host::ReadMapBlock(c, BlockNumber(553, 720), &block), 1);
  EXPECT_EQ(block[280 * kSide + 200], 14);
}

TEST_F(MapSourceTest, ReleaseDestroysEveryTile) {
  const std::string path = PutRealTile();
  QLP_HANDLE a = host::OpenFile(path);
  QLP_HANDLE b = host::OpenFile(PutBlankTile("N00E000.hgt"));
  ASSERT_NE(a, 0u);
  ASSERT_NE(b, 0u);
  plugin_.Release();
  std::vector<std::int16_t> block;
  EXPECT_EQ(host::ReadMapBlock(a, 100, &block), 0);
  EXPECT_EQ(host::ReadMapBlock(b, 100, &block), 0);
  EXPECT_EQ(Send(QLP_MSG_CLOSE, a, nullptr), 0);
}

TEST_F(MapSourceTest, DroppedTileOpensCentredOnItself) {
  struct Case {
    const char* name;
    double lat, lon;
  };
  for (const Case& c : {Case{"N35E139.hgt", 35.5, 139.5}, Case{"S01W072.hgt", -0.5, -71.5}}) {
    const std::string path = PutBlankTile(c.name);
    QLP_HANDLE map = host::DropFile(path);
    ASSERT_NE(map, 0u) << c.name;
    EXPECT_EQ(host::ViewBaseMap(QLP_GetActiveView()), map);
    tagGEOPOS centre{};
    ASSERT_EQ(QLP_GetViewCenter(QLP_GetActiveView(), &centre), 1);
    EXPECT_EQ(centre.latitude, c.lat);
    EXPECT_EQ(centre.longitude, c.lon);

    host::OpenedMap opened;
    ASSERT_TRUE(host::GetOpenedMap(map, &opened));
    auto* info = reinterpret_cast<const tagOPENMAPINFO*>(opened.openRecord.data());
    EXPECT_EQ(info->size, static_cast<std::int32_t>(sizeof(tagOPENMAPINFO)));
    EXPECT_EQ(info->positionFlag, 1);
    EXPECT_EQ(info->zero32, 0);
    EXPECT_EQ(info->zero40, 0);
#if defined(_WIN32) && !defined(_WIN64)
    const auto& record = opened.openRecord;
    ASSERT_EQ(record.size(), 56u);
    EXPECT_EQ(At<std::int32_t>(record, 0), 56);
    EXPECT_STREQ(At<const char*>(record, 4), path.c_str());
    EXPECT_EQ(At<std::int32_t>(record, 8), 1);
    EXPECT_EQ(At<double>(record, 16), c.lat);
    EXPECT_EQ(At<double>(record, 24), c.lon);
    EXPECT_EQ(At<std::int32_t>(record, 32), 0);
    EXPECT_EQ(At<std::int32_t>(record, 40), 0);
#endif
  }

  // Not a tile: the open hook leaves it to the host, which finds no map source for it.
  auto openHook = host::Hooks(QLP_HOOK_KIND_OPEN)[0].entry.callback;
  const std::string other = PutBlankTile("notes.txt", 10);
  EXPECT_EQ(openHook(QLP_MSG_OPEN_FILE, 0, reinterpret_cast<QLP_DATA>(other.c_str())), 0);
  EXPECT_EQ(host::DropFile(other), 0u);
  EXPECT_EQ(openHook(QLP_MSG_OPEN_FILE + 1, 0, reinterpret_cast<QLP_DATA>(other.c_str())), 0);
}

}  // namespace
}  // namespace srtm
