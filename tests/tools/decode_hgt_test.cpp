// srtm decode to .hgt: the tile back from its XEM file and its neighbours' files.
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "hgt/paths.h"
#include "hgt/settings.h"
#include "platform/platform.h"
#include "tests/support/test_support.h"
#include "tests/tools/tools_test_support.h"
#include "tests/xem/xem_test_support.h"
#include "tools/commands.h"
#include "tools/hgt_export.h"
#include "xem/batch.h"

namespace srtm {
namespace {

constexpr int kSide = 1201;

class DecodeHgtTest : public ::testing::Test {
 protected:
  void SetUp() override { out_ = folder_.MakeFolder("xem"); }
  void TearDown() override { g_pluginSettings = PluginSettings(); }

  // Compresses the tiles with the fill off into the XEM folder.
  void Compress(const std::vector<std::pair<int, int>>& corners, bool voids = true) {
    const std::string tiles = folder_.MakeFolder("tiles" + std::to_string(batch_++));
    for (const auto& c : corners) test::PutGlobeTile(tiles, c.first, c.second, voids);
    g_pluginSettings.fillVoids = 0;
    std::vector<std::string> written;
    ASSERT_EQ(BatchCompressor::CompressFolder(FormatTilePath(tiles, corners[0].first, corners[0].second), out_,
                                              &written, 1),
              -1);
  }
  std::string Xem(int lat, int lon) const {
    std::string path = FormatTilePath(out_, lat, lon);
    return path.replace(path.size() - 4, 4, ".xem");
  }

  test::TempFolder folder_;
  test::AnsweredMessageBoxes boxes_;
  std::string out_;
  int batch_ = 0;
};

TEST_F(DecodeHgtTest, AFileWrittenWithTheFillOffGivesBackItsTileByteForByte) {
  Compress({{10, 20}, {11, 20}, {10, 21}, {11, 21}});
  const std::string hgt = folder_.File("N10E020.hgt");
  cli::ExportedEdges edges;
  bool writeFailed = true;
  ASSERT_TRUE(cli::ExportHgt(Xem(10, 20), hgt, &edges, &writeFailed).ok());
  EXPECT_FALSE(writeFailed);
  EXPECT_EQ(test::ReadBytes(hgt), test::GlobeTile(10, 20, true));
  EXPECT_EQ(edges.north, "N11E020.xem");
  EXPECT_EQ(edges.east, "N10E021.xem");
  EXPECT_EQ(edges.corner, "N11E021.xem");
  EXPECT_EQ(edges.side, kSide);

  // Through the command, as a user types it, in the southern and western hemispheres.
  Compress({{-3, -1}, {-2, -1}, {-3, 0}, {-2, 0}});
  const std::string south = folder_.File("S03W001.hgt");
  EXPECT_EQ(test::RunTool(cli::Decode, {platform::ToNativePath(Xem(-3, -1)), "-o", platform::ToNativePath(south)}),
            cli::kExitOk);
  EXPECT_EQ(test::ReadBytes(south), test::GlobeTile(-3, -1, true));
}

TEST_F(DecodeHgtTest, WithoutNeighboursTheNearestStoredRowAndColumnAreRepeated) {
  Compress({{10, 20}, {11, 20}});  // the northern neighbour only
  const std::string hgt = folder_.File("out.hgt");
  cli::ExportedEdges edges;
  bool writeFailed = true;
  ASSERT_TRUE(cli::ExportHgt(Xem(10, 20), hgt, &edges, &writeFailed).ok());
  const auto source = test::GlobeTile(10, 20, true);
  const auto back = test::ReadBytes(hgt);
  ASSERT_EQ(back.size(), source.size());
  EXPECT_EQ(edges.north, "N11E020.xem");
  EXPECT_NE(edges.east.find("repeated"), std::string::npos);
  EXPECT_NE(edges.corner.find("repeated"), std::string::npos);
  for (int r = 0; r < kSide; ++r) {
    for (int c = 0; c < kSide - 1; ++c) {
      ASSERT_EQ(test::GetHgtSample(back, kSide, r, c), test::GetHgtSample(source, kSide, r, c)) << r << ", " << c;
    }
    // The eastern column repeats its western neighbour; the corner the northern row's end.
    ASSERT_EQ(test::GetHgtSample(back, kSide, r, kSide - 1), test::GetHgtSample(source, kSide, r, kSide - 2)) << r;
  }
}

TEST_F(DecodeHgtTest, TheEasternNeighbourOfLongitude179IsAcrossTheDateLine) {
  Compress({{0, 179}, {0, -180}, {1, 179}, {1, -180}});
  const std::string hgt = folder_.File("N00E179.hgt");
  cli::ExportedEdges edges;
  bool writeFailed = true;
  ASSERT_TRUE(cli::ExportHgt(Xem(0, 179), hgt, &edges, &writeFailed).ok());
  EXPECT_EQ(edges.east, "N00W180.xem");
  EXPECT_EQ(test::ReadBytes(hgt), test::GlobeTile(0, 179, true));
}

TEST_F(DecodeHgtTest, ADamagedOrWrongNeighbourIsNotUsed) {
  Compress({{10, 20}, {11, 20}, {10, 21}});
  // The eastern neighbour's blocks are damaged; the northern one is another tile renamed.
  auto east = test::ReadBytes(Xem(10, 21));
  for (std::size_t i = 2000; i < east.size(); i += 97) east[i] ^= 0x5A;
  test::WriteBytes(Xem(10, 21), east);
  const auto other = test::ReadBytes(Xem(10, 20));
  test::WriteBytes(Xem(11, 20), other);

  const std::string hgt = folder_.File("out.hgt");
  cli::ExportedEdges edges;
  bool writeFailed = true;
  ASSERT_TRUE(cli::ExportHgt(Xem(10, 20), hgt, &edges, &writeFailed).ok());
  EXPECT_NE(edges.north.find("not the neighbouring tile"), std::string::npos) << edges.north;
  EXPECT_NE(edges.east.find("repeated"), std::string::npos) << edges.east;
  const auto back = test::ReadBytes(hgt);
  EXPECT_EQ(test::GetHgtSample(back, kSide, 0, 5), test::GetHgtSample(back, kSide, 1, 5));
  EXPECT_EQ(test::GetHgtSample(back, kSide, 7, kSide - 1), test::GetHgtSample(back, kSide, 7, kSide - 2));
}

TEST_F(DecodeHgtTest, FailuresLeaveNoFileAndHaveTheirOwnExitCodes) {
  Compress({{10, 20}});
  const std::string native = platform::ToNativePath(Xem(10, 20));
  const std::string nowhere = platform::ToNativePath(folder_.File("no\\such\\folder\\x.hgt"));
  EXPECT_EQ(test::RunTool(cli::Decode, {native, "-o", nowhere}), cli::kExitOutput);
  EXPECT_FALSE(test::Exists(folder_.File("no\\such\\folder\\x.hgt")));
  EXPECT_EQ(test::RunTool(cli::Decode, {native, "-o", native}), cli::kExitUsage);

  auto damaged = test::ReadBytes(Xem(10, 20));
  damaged[1908 + 40] ^= 0xFF;  // inside the first block
  test::WriteBytes(Xem(10, 20), damaged);
  const std::string hgt = folder_.File("x.hgt");
  EXPECT_EQ(test::RunTool(cli::Decode, {native, "-o", platform::ToNativePath(hgt)}), cli::kExitInput);
  EXPECT_FALSE(test::Exists(hgt));
  EXPECT_EQ(test::RunTool(cli::Decode, {platform::ToNativePath(folder_.File("none.xem")), "-o",
                                        platform::ToNativePath(hgt)}),
            cli::kExitInput);
  EXPECT_EQ(test::RunTool(cli::Decode, {native, "-o"}), cli::kExitUsage);
  EXPECT_EQ(test::RunTool(cli::Decode, {native, "-o", "a.hgt", "--bogus"}), cli::kExitUsage);
  EXPECT_FALSE(test::Exists(platform::FromUserPath("a.hgt")));
}

}  // namespace
}  // namespace srtm
