// The stand-in host reading XEM files the plug-in wrote: registration validates the
// file, opening makes it the view's cover map with the file's IDs, and decoded blocks
// pass through the plug-in's XEM hook as in the host.
#include <cstring>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "hgt/settings.h"
#include "shell/pluginif.h"
#include "testhost/host.h"
#include "testhost/xem_maps.h"
#include "tests/support/test_support.h"
#include "tests/xem/xem_test_support.h"
#include "xem/converter.h"

namespace srtm {
namespace {

class HostXemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host::Reset();
    tile_ = test::RealTile();
    test::WriteBytes(folder_.File("N57E011.hgt"), tile_);
    HgtToXemConverter converter;
    ASSERT_EQ(converter.AllocateBuffers(1201, 1201), 1);
    test::SetUpConverter(converter, 1201);
    converter.fillVoids = 0;
    const double h = 0.5 / 1200;
    ASSERT_EQ(converter.ConvertFile(folder_.File("N57E011.hgt"), folder_.path(), 57 - h, 11 - h, 58 - h, 12 - h, 120,
                                    120, 1201, 1201, 1),
              1);
    xem_ = converter.outputPath;
    g_pluginSettings = PluginSettings();
  }
  void TearDown() override {
    if (plugin_.loaded()) {
      plugin_.Release();
      plugin_.Unload();
    }
    host::Reset();
  }

  void LoadPlugin() {
    ASSERT_TRUE(plugin_.Load(test::BinaryDir() + "/srtm.qlp")) << plugin_.error();
    PluginInfo info{};
    ASSERT_EQ(plugin_.Create(&info, host::kPluginHandle), 1);
  }

  QLP_HANDLE Open(const std::string& path) {
    tagOPENMAPINFO info{};
    info.size = sizeof info;
    info.path = path.c_str();
    info.positionFlag = 1;
    info.latitude = 57.5;
    info.longitude = 11.5;
    if (QLP_OpenMap(QLP_GetActiveView(), &info) != 1) return 0;
    return QLP_GetActiveCoverMap();
  }

  // Block (column, row) of the tile as stored: row 0 south, without the shared edges.
  std::vector<std::uint16_t> TileBlock(int column, int row) const {
    std::vector<std::uint16_t> block;
    for (int j = 0; j < 120; ++j) {
      for (int i = 0; i < 120; ++i) {
        block.push_back(static_cast<std::uint16_t>(test::GetHgtSample(tile_, 1201, 1200 - (120 * row + j), 120 * column + i)));
      }
    }
    return block;
  }

  test::TempFolder folder_;
  std::vector<std::uint8_t> tile_;
  std::string xem_;
  host::Plugin plugin_;
};

TEST_F(HostXemTest, RegisteredFileOpensAsCoverMapWithItsIds) {
  char out[260] = {};
  ASSERT_EQ(QLP_XEM_AppendDynamicXem(xem_.c_str(), out, sizeof out), 1);
  EXPECT_EQ(std::string(out), xem_);
  EXPECT_EQ(host::DynamicXemFiles(), std::vector<std::string>{xem_});

  const QLP_HANDLE map = Open(xem_);
  ASSERT_NE(map, 0u);
  EXPECT_TRUE(host::IsXemMap(map));
  EXPECT_EQ(std::string(QLP_GetMapFile(map)), xem_);
  std::uint8_t id[5];
  QLP_GetMapSetID(map, id);
  const std::uint8_t srtm3[5] = {0x09, 0xB8, 0x74, 0x48, 0x03};
  EXPECT_EQ(std::memcmp(id, srtm3, 5), 0);
  char user[8];
  QLP_GetUserID(map, user);
  EXPECT_EQ(std::string(user, 8), "ZOZORUDO");
  tagGEOPOS centre{};
  QLP_GetViewCenter(QLP_GetActiveView(), &centre);
  EXPECT_EQ(centre.latitude, 57.5);
  XemHeader header;
  ASSERT_TRUE(host::GetXemHeader(map, &header));
  EXPECT_EQ(header.blockCount, 100);
}

TEST_F(HostXemTest, DecodedSamplesPassThroughThePluginsHook) {
  char out[260];
  ASSERT_EQ(QLP_XEM_AppendDynamicXem(xem_.c_str(), out, sizeof out), 1);
  const QLP_HANDLE map = Open(xem_);
  ASSERT_NE(map, 0u);
  std::vector<std::uint16_t> samples;
  // Without the plug-in's hook the host shows the stored samples.
  ASSERT_TRUE(host::ReadXemBlock(map, 3, 4, &samples));
  EXPECT_EQ(samples, TileBlock(3, 4));

  LoadPlugin();  // registers the hook: sea on at level 0
  ASSERT_TRUE(host::ReadXemBlock(map, 3, 4, &samples));
  std::vector<std::uint16_t> expected = TileBlock(3, 4);
  int sea = 0;
  for (auto& v : expected) {
    if (v == 0) {
      v = 35536;
      ++sea;
    }
  }
  EXPECT_GT(sea, 0);
  EXPECT_EQ(samples, expected);

  std::string error;
  EXPECT_FALSE(host::ReadXemBlock(map, 10, 0, &samples, &error));
  EXPECT_NE(error.find("not in the index"), std::string::npos) << error;
}

TEST_F(HostXemTest, DamagedOrMissingFilesAreNotRegistered) {
  char out[260] = "untouched";
  std::vector<std::uint8_t> bytes = test::ReadBytes(xem_);
  bytes[300] ^= 0xFF;  // the checksum no longer holds
  const std::string damaged = folder_.File("damaged.xem");
  test::WriteBytes(damaged, bytes);
  EXPECT_EQ(QLP_XEM_AppendDynamicXem(damaged.c_str(), out, sizeof out), 0);
  EXPECT_EQ(QLP_XEM_AppendDynamicXem(folder_.File("none.xem").c_str(), out, sizeof out), 0);
  EXPECT_EQ(QLP_XEM_AppendDynamicXem(xem_.c_str(), out, 4), 0);  // the path does not fit
  EXPECT_TRUE(host::DynamicXemFiles().empty());
  EXPECT_FALSE(host::IsXemMap(Open(damaged)));
}

}  // namespace
}  // namespace srtm
