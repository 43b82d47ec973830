// Compressing on several threads: the same files as the plug-in's batch, the tile list
// and its parts, stops and failures.
#include <algorithm>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "hgt/paths.h"
#include "hgt/settings.h"
#include "platform/platform.h"
#include "tests/support/test_support.h"
#include "tests/tools/tools_test_support.h"
#include "tests/xem/xem_test_support.h"
#include "tools/parallel_compress.h"
#include "xem/batch.h"
#include "xem/xem_reader.h"

namespace srtm {
namespace {

using cli::CompressProgress;
using cli::CompressResult;
using cli::TileJob;
using cli::TileOutcome;

// Every XEM file of `folder`, by name, with its bytes.
std::vector<std::pair<std::string, std::vector<std::uint8_t>>> XemFiles(const std::string& folder) {
  std::vector<std::pair<std::string, std::vector<std::uint8_t>>> files;
  for (const std::string& name : test::FilesIn(folder, "*.xem")) {
    files.emplace_back(name, test::ReadBytes(folder + "\\" + name));
  }
  return files;
}

class ParallelCompressTest : public ::testing::Test {
 protected:
  void TearDown() override { g_pluginSettings = PluginSettings(); }

  // Sixteen SRTM-3 tiles with voids, 4 x 4 around N10E020.
  void PutSixteenTiles() {
    for (int lat = 10; lat < 14; ++lat) {
      for (int lon = 20; lon < 24; ++lon) test::PutGlobeTile(folder_.path(), lat, lon, true);
    }
  }

  // The tiles of the folder on `jobs` threads, the voids of tile i filled when fill(i).
  CompressResult Run(const std::string& out, int jobs, int overwrite = 1,
                     const std::function<bool(std::size_t)>& fill = [](std::size_t) { return true; }) {
    std::vector<TileJob> tiles;
    EXPECT_TRUE(cli::ListTiles(folder_.path(), true, &tiles));
    for (std::size_t i = 0; i < tiles.size(); ++i) tiles[i].fillVoids = fill(i) ? 1 : 0;
    return cli::CompressTiles(tiles, out, overwrite, jobs, [](const CompressProgress&) { return true; });
  }

  test::TempFolder folder_;
  test::AnsweredMessageBoxes boxes_;
};

TEST_F(ParallelCompressTest, EveryThreadCountWritesTheFilesOfTheSingleThreadedBatch) {
  // The batch's files with the fill on and off; then every thread count with the fill
  // on and off in alternate tiles of the sorted list, each thread giving its converter
  // the fill of its tile.
  PutSixteenTiles();
  std::vector<std::pair<std::string, std::vector<std::uint8_t>>> expected[2];
  for (int fill : {0, 1}) {
    g_pluginSettings.fillVoids = fill;
    const std::string batchOut = folder_.MakeFolder("batch" + std::to_string(fill));
    std::vector<std::string> written;
    ASSERT_EQ(BatchCompressor::CompressFolder(FormatTilePath(folder_.path(), 10, 20), batchOut, &written, 1), -1);
    expected[fill] = XemFiles(batchOut);
    ASSERT_EQ(expected[fill].size(), 16u);
  }
  g_pluginSettings = PluginSettings();
  ASSERT_NE(expected[0], expected[1]) << "the tiles have no voids to fill";
  std::vector<std::pair<std::string, std::vector<std::uint8_t>>> alternate;
  for (std::size_t i = 0; i < 16; ++i) alternate.push_back(expected[i % 2][i]);

  for (int jobs : {1, 2, 5}) {
    SCOPED_TRACE("jobs " + std::to_string(jobs));
    const std::string out = folder_.MakeFolder("jobs" + std::to_string(jobs));
    const CompressResult result = Run(out, jobs, 1, [](std::size_t i) { return i % 2 == 1; });
    EXPECT_EQ(result.BatchCode(), -1);
    EXPECT_EQ(result.converted, 16u);
    EXPECT_EQ(result.threads, jobs);
    EXPECT_EQ(XemFiles(out), alternate);
    // The files in the order of the sorted list, whichever thread wrote them.
    ASSERT_EQ(result.written.size(), 16u);
    EXPECT_EQ(result.written.front(), out + "\\N10E020.xem");
    EXPECT_EQ(result.written.back(), out + "\\N13E023.xem");
  }
}

TEST_F(ParallelCompressTest, AFolderOfBothKindsGivesEachTileTheHeaderOfItsKind) {
  test::PutGlobeTile(folder_.path(), 10, 20, false);
  std::vector<std::uint8_t> srtm1(2 * 3601 * 3601, 0);
  test::PutHgtSample(srtm1, 3601, 1800, 1800, 1234);
  test::WriteBytes(folder_.File("N11E020.hgt"), srtm1);
  test::WriteBytes(folder_.File("N12E020.hgt"), {1, 2, 3});  // named as a tile, sized as none
  test::WriteBytes(folder_.File("notes.txt"), {'x'});

  std::vector<TileJob> tiles;
  std::vector<std::string> notTiles;
  ASSERT_TRUE(cli::ListTiles(folder_.path(), true, &tiles, &notTiles));
  ASSERT_EQ(tiles.size(), 2u);
  EXPECT_EQ(notTiles, std::vector<std::string>{"N12E020.hgt"});

  const std::string out = folder_.MakeFolder("out");
  EXPECT_EQ(cli::CompressTiles(tiles, out, 1, 2, [](const CompressProgress&) { return true; }).BatchCode(), -1);
  // Each file is what the batch writes for its own kind.
  for (const char* reference : {"N10E020.hgt", "N11E020.hgt"}) {
    const std::string batchOut = folder_.MakeFolder(std::string("batch-") + reference);
    std::vector<std::string> written;
    BatchCompressor::CompressFolder(folder_.File(reference), batchOut, &written, 1);
    ASSERT_EQ(written.size(), 1u);
    std::string name;
    SplitPath(written[0], nullptr, &name);
    EXPECT_EQ(test::ReadBytes(written[0]), test::ReadBytes(out + "\\" + name)) << name;
  }
}

TEST_F(ParallelCompressTest, TheListOfAReferenceTileHoldsItsKindOnlyInNameOrder) {
  for (const char* name : {"n11e020.hgt", "N10E021.hgt", "S05W003.hgt", "N10E020.hgt"}) {
    int lat = 0, lon = 0;
    ASSERT_TRUE(ParseTileName(name, &lat, &lon));
    test::WriteBytes(folder_.File(name), test::GlobeTile(lat, lon, false));
  }
  test::WriteBytes(folder_.File("N12E020.hgt"), std::vector<std::uint8_t>(2 * 3601 * 3601));
  std::vector<TileJob> tiles;
  ASSERT_TRUE(cli::ListTiles(folder_.File("N10E021.hgt"), false, &tiles));
  std::vector<std::string> names;
  for (const TileJob& t : tiles) names.push_back(t.name);
  EXPECT_EQ(names, (std::vector<std::string>{"N10E020.hgt", "N10E021.hgt", "n11e020.hgt", "S05W003.hgt"}));
  EXPECT_EQ(tiles[3].lat, -5);
  EXPECT_EQ(tiles[3].lon, -3);
  EXPECT_EQ(tiles[3].kind, kSrtm3);

  EXPECT_FALSE(cli::ListTiles(folder_.File("nothing.hgt"), false, &tiles));
  EXPECT_FALSE(cli::ListTiles(folder_.File("nowhere"), true, &tiles));
}

TEST(TileParts, EveryTileIsInExactlyOnePartAndThePartsAreEven) {
  std::vector<TileJob> tiles(23);
  for (std::size_t i = 0; i < tiles.size(); ++i) tiles[i].name = std::to_string(100 + i);
  for (int parts : {1, 2, 5, 23, 40}) {
    std::multiset<std::string> seen;
    std::size_t smallest = tiles.size(), largest = 0;
    for (int part = 1; part <= parts; ++part) {
      const auto selected = cli::SelectPart(tiles, part, parts);
      for (const TileJob& t : selected) seen.insert(t.name);
      smallest = std::min(smallest, selected.size());
      largest = std::max(largest, selected.size());
    }
    EXPECT_EQ(seen.size(), tiles.size()) << parts;
    EXPECT_EQ(std::set<std::string>(seen.begin(), seen.end()).size(), tiles.size()) << parts;
    EXPECT_LE(largest - smallest, 1u) << parts;
  }
  EXPECT_TRUE(cli::SelectPart(tiles, 0, 3).empty());
  EXPECT_TRUE(cli::SelectPart(tiles, 4, 3).empty());

  int part = 0, parts = 0;
  EXPECT_TRUE(cli::ParsePart("3/8", &part, &parts));
  EXPECT_EQ(part, 3);
  EXPECT_EQ(parts, 8);
  for (const char* bad : {"0/3", "4/3", "3", "1/0", "a/b", "1/2/3", "-1/2", "1/", "/2", "1 /2"}) {
    EXPECT_FALSE(cli::ParsePart(bad, &part, &parts)) << bad;
  }
}

TEST_F(ParallelCompressTest, AStopEndsEveryThreadAndLeavesOnlyWholeFiles) {
  PutSixteenTiles();
  for (int jobs : {1, 2}) {
    SCOPED_TRACE("jobs " + std::to_string(jobs));
    const std::string out = folder_.MakeFolder("stop" + std::to_string(jobs));
    std::vector<TileJob> tiles;
    ASSERT_TRUE(cli::ListTiles(folder_.path(), true, &tiles));
    int polls = 0;
    // The stop comes with the first tile done, while the other threads are mid-tile.
    const CompressResult result = cli::CompressTiles(
        tiles, out, 1, jobs, [&polls](const CompressProgress& p) { return ++polls, p.tilesDone == 0; }, 1000);
    EXPECT_TRUE(result.stopped);
    EXPECT_LT(result.converted, 16u);
    EXPECT_GT(std::count(result.outcomes.begin(), result.outcomes.end(), TileOutcome::kNotStarted), 0);
    EXPECT_EQ(result.BatchCode(), static_cast<std::int32_t>(result.converted));
    // Whatever is in the folder is a whole, valid file the result names.
    const auto names = test::FilesIn(out, "*");
    EXPECT_EQ(names.size(), result.written.size());
    for (const std::string& name : names) {
      XemReader reader;
      std::vector<std::int16_t> grid;
      EXPECT_TRUE(reader.Open(out + "\\" + name).ok() && reader.ReadGrid(&grid).ok()) << name;
    }
  }
}

TEST_F(ParallelCompressTest, AFailedTileIsCountedAndTheOthersGoOn) {
  PutSixteenTiles();
  const std::string out = folder_.MakeFolder("out");
  const std::vector<std::uint8_t> old = {'o', 'l', 'd'};
  test::WriteBytes(out + "\\N11E021.xem", old);
  test::WriteBytes(out + "\\N12E022.xem", old);
  folder_.MakeFolder("out\\N13E023.xem");
  const CompressResult result = Run(out, 2, 0);  // existing files are left alone, done
  EXPECT_EQ(result.converted, 13u);
  EXPECT_EQ(result.alreadyThere, 2u);
  EXPECT_EQ(result.failed, 1u);
  EXPECT_TRUE(result.outputFailed);
  EXPECT_FALSE(result.stopped);
  EXPECT_EQ(result.BatchCode(), 13);
  EXPECT_EQ(test::ReadBytes(out + "\\N11E021.xem"), old);
  EXPECT_EQ(result.written.size(), 13u);
}

TEST_F(ParallelCompressTest, ProgressCountsEveryBlockOnceAndAnEmptyListIsDone) {
  PutSixteenTiles();
  std::vector<TileJob> tiles;
  ASSERT_TRUE(cli::ListTiles(folder_.path(), true, &tiles));
  tiles.resize(5);
  CompressProgress last;
  std::size_t finishedReports = 0;
  const std::string out = folder_.MakeFolder("out");
  cli::CompressTiles(tiles, out, 1, 2, [&](const CompressProgress& p) {
    EXPECT_LE(p.blocksDone, p.blocksTotal);
    EXPECT_GE(p.blocksDone, last.blocksDone);
    finishedReports += p.finished.size();
    last = p;
    return true;
  });
  EXPECT_EQ(last.tilesDone, 5u);
  EXPECT_EQ(last.tilesTotal, 5u);
  EXPECT_EQ(last.blocksTotal, 5 * cli::BlocksPerTile(kSrtm3));
  EXPECT_EQ(last.blocksDone, last.blocksTotal);
  EXPECT_EQ(finishedReports, 5u);
  EXPECT_EQ(cli::BlocksPerTile(kSrtm1), 900);

  int polls = 0;
  const CompressResult empty = cli::CompressTiles({}, out, 1, 4, [&polls](const CompressProgress&) {
    ++polls;
    return true;
  });
  EXPECT_EQ(polls, 1);
  EXPECT_EQ(empty.BatchCode(), -1);
}

}  // namespace
}  // namespace srtm
