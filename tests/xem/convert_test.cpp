// Converting one tile: the finished file of the real SRTM-3 tile and of an SRTM-1 tile,
// progress and cancel, and every failure leaving no partial file behind.
#include <cstring>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "tests/support/fault_injector.h"
#include "tests/support/test_support.h"
#include "tests/xem/xem_test_support.h"
#include "xem/codec.h"
#include "hgt/paths.h"
#include "xem/converter.h"
#include "xem/xem_reader.h"

namespace srtm {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::int32_t Int32At(const Bytes& b, std::size_t at) { return GetInt32LE(&b[at]); }

class ConvertTest : public ::testing::Test {
 protected:
  void SetUp() override {
    converter_.fillVoids = 0;
    out_ = folder_.MakeFolder("out");
  }

  // Writes `tile` as `name` in the folder and converts it with the SRTM-3 or SRTM-1
  // settings, as the batch does.
  int Convert(const Bytes& tile, const std::string& name, int side, int overwrite = 1, int lat = 57, int lon = 11) {
    const std::string path = folder_.File(name);
    if (!test::Exists(path)) test::WriteBytes(path, tile);
    if (allocated_ != side) {
      if (!converter_.AllocateBuffers(side, side)) return -1;
      allocated_ = side;
    }
    test::SetUpConverter(converter_, side);
    const double h = 0.5 / (side - 1);
    return converter_.ConvertFile(path, out_, lat - h, lon - h, lat + 1 - h, lon + 1 - h, 120, 120, side, side,
                                  overwrite);
  }

  test::TempFolder folder_;
  std::string out_;
  HgtToXemConverter converter_;
  int allocated_ = 0;
  const Bytes real_ = test::RealTile();
};

TEST_F(ConvertTest, RealSrtm3TileBecomesAFinishedFile) {
  ASSERT_EQ(real_.size(), 2884802u);
  ASSERT_EQ(Convert(real_, "N57E011.hgt", 1201), 1);
  EXPECT_EQ(converter_.outputPath, out_ + "\\N57E011.xem");
  const Bytes b = test::ReadBytes(converter_.outputPath);
  ASSERT_GT(b.size(), 1908u);

  EXPECT_EQ(std::string(b.begin(), b.begin() + 4), "XEM0");
  EXPECT_EQ(Int32At(b, 4), 1000);
  EXPECT_EQ(Int32At(b, 8), 1908);
  EXPECT_EQ(Int32At(b, 233), 100);
  unsigned sum = 0;
  for (std::size_t i = 0; i < 308; ++i) sum += b[i];
  EXPECT_EQ(sum % 256, 0u);
  EXPECT_EQ(Bytes(b.begin() + 172, b.begin() + 177), (Bytes{0x09, 0xB8, 0x74, 0x48, 0x03}));
  EXPECT_EQ(Int32At(b, 177), 0);
  // 57 degrees less half a spacing (150 units), truncated after adding 0.00001.
  EXPECT_EQ(Int32At(b, 181), 57 * 360000 - 150);
  EXPECT_EQ(Int32At(b, 185), 11 * 360000 - 150);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[189])), "WGS84");
  EXPECT_EQ(Int32At(b, 209), 120000);
  EXPECT_EQ(Int32At(b, 213), 120000);
  EXPECT_EQ(Int32At(b, 217), 1200);
  EXPECT_EQ(Int32At(b, 221), 1200);
  EXPECT_EQ(Int32At(b, 225), 120);
  EXPECT_EQ(Int32At(b, 229), 120);
  EXPECT_EQ(Int32At(b, 237), 10);
  EXPECT_EQ(Int32At(b, 241), 10);
  EXPECT_EQ(Bytes(b.begin() + 245, b.begin() + 247), (Bytes{0xD0, 0x8A}));
  EXPECT_EQ(Bytes(b.begin() + 257, b.begin() + 262), (Bytes{1, 0, 2, 1, 3}));
  EXPECT_EQ(Int32At(b, 262), 7);
  EXPECT_EQ(Int32At(b, 287), 0);
  EXPECT_EQ(Int32At(b, 291), 0);
  EXPECT_EQ(Int32At(b, 304), 0);
  EXPECT_EQ(Bytes(b.begin() + 295, b.begin() + 304), Bytes({'Z', 'O', 'Z', 'O', 'R', 'U', 'D', 'O', 0}));
  // Blocks row by row from the south, each row west to east, back to back.
  EXPECT_EQ(Int32At(b, 308), 0);
  EXPECT_EQ(Int32At(b, 312), 0);
  EXPECT_EQ(Int32At(b, 316), 1908);
  EXPECT_EQ(Int32At(b, 308 + 16 * 11), 1);
  EXPECT_EQ(Int32At(b, 308 + 16 * 11 + 4), 1);

  XemReader reader;
  ASSERT_TRUE(reader.Open(converter_.outputPath).ok());
  std::vector<std::int16_t> grid;
  ASSERT_TRUE(reader.ReadGrid(&grid).ok());
  EXPECT_EQ(grid, test::StoredGridOf(real_, 1201));  // no northern row, no eastern column
  std::vector<std::int16_t> block;
  ASSERT_TRUE(reader.ReadBlock(0, 0, &block).ok());
  EXPECT_EQ(block[0], test::GetHgtSample(real_, 1201, 1200, 0));
  EXPECT_EQ(block[119 * 120 + 119], test::GetHgtSample(real_, 1201, 1081, 119));
}

TEST_F(ConvertTest, Srtm1TileGives900BlocksAndFillsOnlyItsVoids) {
  converter_.fillVoids = 1;
  const Bytes tile = test::MakeTile(3601, true);
  ASSERT_EQ(Convert(tile, "N10E020.hgt", 3601, 1, 10, 20), 1);
  XemReader reader;
  ASSERT_TRUE(reader.Open(converter_.outputPath).ok());
  const XemHeader& h = reader.header();
  EXPECT_EQ(h.blockCount, 900);
  EXPECT_EQ(h.firstBlockOffset, 14708);
  EXPECT_EQ(h.blockColumns, 30);
  EXPECT_EQ(h.blockRows, 30);
  EXPECT_EQ(h.resolutionX, 360000);
  EXPECT_EQ(h.gridWidth, 3600);
  EXPECT_EQ(h.southEdge, 10 * 360000 - 50);
  const std::uint8_t srtm1Id[5] = {0x09, 0xB9, 0x30, 0x48, 0x01};
  EXPECT_EQ(std::memcmp(h.mapSetId, srtm1Id, 5), 0);
  std::vector<std::int16_t> grid;
  ASSERT_TRUE(reader.ReadGrid(&grid).ok());
  const std::vector<std::int16_t> stored = test::StoredGridOf(tile, 3601);
  std::size_t filled = 0;
  for (std::size_t i = 0; i < grid.size(); ++i) {
    if (stored[i] == -32768) {
      ++filled;
      ASSERT_NE(grid[i], -32768);
    } else {
      ASSERT_EQ(grid[i], stored[i]) << "sample " << i;
    }
  }
  EXPECT_GT(filled, 100u);
}

TEST_F(ConvertTest, VoidsReachTheCodecUnchangedWithTheFillOff) {
  const Bytes tile = test::MakeTile(1201, true);
  ASSERT_EQ(Convert(tile, "N57E011.hgt", 1201), 1);
  XemReader reader;
  ASSERT_TRUE(reader.Open(converter_.outputPath).ok());
  std::vector<std::int16_t> grid;
  ASSERT_TRUE(reader.ReadGrid(&grid).ok());
  EXPECT_EQ(grid, test::StoredGridOf(tile, 1201));
}

TEST_F(ConvertTest, EdgesOfSouthernAndWesternTilesAreTruncatedTowardZero) {
  ASSERT_EQ(Convert(real_, "S01W120.hgt", 1201, 1, -1, -120), 1);
  XemReader reader;
  ASSERT_TRUE(reader.Open(converter_.outputPath).ok());
  EXPECT_EQ(reader.header().westEdge, -43200149);  // -43200150 + 0.00001, truncated
  EXPECT_EQ(reader.header().southEdge, -360149);
}

TEST_F(ConvertTest, ProgressInStepsOfTwoAndAPumpAfterEveryBlock) {
  test::RecordingTarget target;
  ASSERT_EQ(Convert(real_, "N57E011.hgt", 1201), 1);
  std::vector<int> expected;
  for (int p = 2; p <= 98; p += 2) expected.push_back(p);
  expected.push_back(100);
  EXPECT_EQ(target.percents, expected);
  EXPECT_EQ(target.pumps, 100);
}

TEST_F(ConvertTest, CancelLeavesNoFileAndEndsAt100) {
  test::RecordingTarget target(37);
  EXPECT_EQ(Convert(real_, "N57E011.hgt", 1201), 0);
  EXPECT_EQ(target.pumps, 37);
  EXPECT_FALSE(test::Exists(out_ + "\\N57E011.xem"));
  EXPECT_EQ(target.percents.back(), 100);
}

TEST_F(ConvertTest, ExistingOutputIsLeftByteForByteWithoutOverwrite) {
  const std::string existing = out_ + "\\N57E011.xem";
  const Bytes old = {'o', 'l', 'd'};
  test::WriteBytes(existing, old);
  EXPECT_EQ(Convert(real_, "N57E011.hgt", 1201, 0), 0);
  EXPECT_EQ(converter_.outputPath, existing);
  EXPECT_EQ(test::ReadBytes(existing), old);
  EXPECT_EQ(Convert(real_, "N57E011.hgt", 1201, 1), 1);
  EXPECT_GT(test::ReadBytes(existing).size(), 1908u);
}

TEST_F(ConvertTest, ShortTileIsAReadErrorWithNoFile) {
  test::AnsweredMessageBoxes boxes;
  ASSERT_EQ(converter_.AllocateBuffers(1201, 1201), 1);
  allocated_ = 1201;
  test::FaultInjector env;
  env.shortReadBytes = 2;  // the tile lost its last sample after it was classified
  EXPECT_EQ(Convert(real_, "N57E011.hgt", 1201), 0);
  EXPECT_FALSE(test::Exists(out_ + "\\N57E011.xem"));
  const auto shown = boxes.shown();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].text, test::ToCp932("ファイルが読みとれません."));
  EXPECT_EQ(shown[0].type & 0xF0u, 0x10u);
}

TEST_F(ConvertTest, MissingTileFailsSilently) {
  test::AnsweredMessageBoxes boxes;
  ASSERT_EQ(converter_.AllocateBuffers(1201, 1201), 1);
  const double h = 0.5 / 1200;
  EXPECT_EQ(converter_.ConvertFile(folder_.File("N01E001.hgt"), out_, 1 - h, 1 - h, 2 - h, 2 - h, 120, 120, 1201, 1201, 1),
            0);
  EXPECT_TRUE(boxes.shown().empty());
  EXPECT_FALSE(test::Exists(out_ + "\\N01E001.xem"));
}

TEST_F(ConvertTest, WriteAllocationAndFinishFailuresLeaveNoFile) {
  const std::string output = out_ + "\\N57E011.xem";
  ASSERT_EQ(Convert(real_, "N57E011.hgt", 1201), 1);  // buffers allocated, tile written
  const Bytes previous = test::ReadBytes(output);
  ASSERT_TRUE(platform::RemoveFile(output.c_str()));
  for (int n : {1, 2, 3, 50, 102, 103}) {  // header, index, blocks, final header and index
    test::FaultInjector env;
    env.failWrite = n;
    EXPECT_EQ(Convert(real_, "N57E011.hgt", 1201), 0) << "write " << n;
    EXPECT_FALSE(test::Exists(output)) << "write " << n;
  }
  {
    test::FaultInjector env;
    env.failSeek = true;  // the final header and index cannot be written
    EXPECT_EQ(Convert(real_, "N57E011.hgt", 1201), 0);
    EXPECT_FALSE(test::Exists(output));
  }
  // The block buffers fail: nothing is created, and a file to be overwritten survives.
  test::WriteBytes(output, previous);
  for (std::size_t size : {std::size_t{28800}, TileCodec::MaxCompressedBytes(14400)}) {
    test::FaultInjector env;
    env.refuseAllocations = {size};
    EXPECT_EQ(Convert(real_, "N57E011.hgt", 1201, 1), 0);
    EXPECT_EQ(test::ReadBytes(output), previous);
  }
}

TEST_F(ConvertTest, OutputPathsThatDoNotFitFailCleanly) {
  const std::string deep = out_ + "\\" + std::string(kPathBufferSize - 10 - out_.size(), 'd');
  ASSERT_EQ(converter_.AllocateBuffers(1201, 1201), 1);
  test::WriteBytes(folder_.File("N57E011.hgt"), real_);
  const double h = 0.5 / 1200;
  EXPECT_EQ(converter_.ConvertFile(folder_.File("N57E011.hgt"), deep, 57 - h, 11 - h, 58 - h, 12 - h, 120, 120, 1201,
                                   1201, 1),
            0);
  EXPECT_TRUE(converter_.outputFailed);
  EXPECT_NE(converter_.failure.find(std::to_string(kPathBufferSize - 1) + " bytes"), std::string::npos);
  std::string path;
  EXPECT_FALSE(XemPathForTile(folder_.File("N57E011.hgt"), deep, &path));
  EXPECT_TRUE(XemPathForTile("C:\\a.b\\N35E139", "D:\\out", &path));
  EXPECT_EQ(path, "D:\\out\\N35E139.xem");  // never the tile's own name
  EXPECT_TRUE(XemPathForTile("C:\\a\\N35E139.HGT", "D:\\out\\", &path));
  EXPECT_EQ(path, "D:\\out\\N35E139.xem");
}

TEST_F(ConvertTest, ArgumentsThatAreNotWholeBlocksAreRefused) {
  ASSERT_EQ(converter_.AllocateBuffers(1201, 1201), 1);
  test::WriteBytes(folder_.File("N57E011.hgt"), real_);
  const std::string tile = folder_.File("N57E011.hgt");
  EXPECT_EQ(converter_.ConvertFile(tile, out_, 57, 11, 58, 12, 121, 120, 1201, 1201, 1), 0);
  EXPECT_EQ(converter_.ConvertFile(tile, out_, 57, 11, 57, 12, 120, 120, 1201, 1201, 1), 0);  // no height
  EXPECT_EQ(converter_.ConvertFile(tile, out_, 57, 11, 58, 12, 120, 120, 3601, 3601, 1), 0);  // buffers too small
  EXPECT_FALSE(test::Exists(out_ + "\\N57E011.xem"));
}

TEST(ConvertBuffers, AllocationFailureIsReported) {
  test::AnsweredMessageBoxes boxes;
  test::FaultInjector env;
  env.refuseAllocations = {2 * 1201 * 1201};
  HgtToXemConverter converter;
  EXPECT_EQ(converter.AllocateBuffers(1201, 1201), 0);
  const auto shown = boxes.shown();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].text, test::ToCp932("メモリが確保できません."));
  EXPECT_EQ(shown[0].type & 0xF0u, 0x10u);
}

}  // namespace
}  // namespace srtm
