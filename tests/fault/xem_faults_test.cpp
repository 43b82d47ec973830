// Compression under a failing system: every write, every read and every allocation of a
// batch failing in turn, a full disk, tiles truncated or replaced between classification
// and reading, folders that disappear in the middle, and a cancel after every block. In
// each case the batch's result is the documented one, the output folder holds only
// complete XEM files (and the untouched files that were there before), the user sees
// the documented message and nothing else, and the next batch works.
#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "hgt/settings.h"
#include "platform/platform.h"
#include "res/srtm_texts.h"
#include "tests/support/fault_injector.h"
#include "tests/support/test_support.h"
#include "tests/xem/xem_test_support.h"
#include "xem/batch.h"
#include "xem/xem_reader.h"

namespace srtm::test {
namespace {

using Bytes = std::vector<std::uint8_t>;
namespace fs = std::filesystem;

class XemFaults : public ::testing::Test {
 protected:
  void SetUp() override {
    g_pluginSettings.fillVoids = 0;
    tiles_ = root_.MakeFolder("tiles");
    out_ = root_.MakeFolder("out");
  }
  void TearDown() override { g_pluginSettings = PluginSettings(); }

  void PutTile(const std::string& name, const Bytes& tile) {
    ASSERT_TRUE(WriteBytes(tiles_ + "\\" + name, tile));
    tiles[name.substr(0, 7)] = tile;
  }
  // The real tile and `count - 1` made ones beside it.
  void PutTiles(int count) {
    PutTile("N57E011.hgt", RealTile());
    const char* const others[] = {"N57E012.hgt", "N58E011.hgt", "N58E012.hgt"};
    for (int i = 0; i + 1 < count; ++i) PutTile(others[i], MakeTile(1201, i % 2 == 0));
  }

  std::int32_t Batch(int overwrite = 1) {
    list.clear();
    return BatchCompressor::CompressFolder(tiles_ + "\\N57E011.hgt", out_, &list, overwrite);
  }

  // Names of the files in the output folder.
  std::vector<std::string> OutputFiles() const {
    std::vector<platform::DirEntry> found;
    platform::DefaultEnv()->FindFiles(out_.c_str(), "*", &found);
    std::vector<std::string> names;
    for (const auto& entry : found) names.push_back(entry.name);
    return names;
  }

  // Every file in the output folder is either one of `untouched`, byte for byte as it
  // was, or a complete XEM file of its tile listed by the batch. Returns how many
  // complete files there are.
  int ExpectOnlyCompleteFiles(const std::map<std::string, Bytes>& untouched = {}) {
    int complete = 0;
    for (const std::string& name : OutputFiles()) {
      SCOPED_TRACE(name);
      const std::string path = out_ + "\\" + name;
      auto kept = untouched.find(name);
      if (kept != untouched.end()) {
        EXPECT_EQ(ReadBytes(path), kept->second);
        continue;
      }
      ++complete;
      EXPECT_NE(std::find(list.begin(), list.end(), path), list.end()) << "written but not listed";
      EXPECT_TRUE(HoldsItsTile(path, name));
    }
    EXPECT_EQ(static_cast<int>(list.size()), complete) << "listed but not on disk";
    return complete;
  }

  ::testing::AssertionResult HoldsItsTile(const std::string& path, const std::string& name) const {
    XemReader reader;
    std::vector<std::int16_t> grid;
    Status s = reader.Open(path);
    if (s.ok()) s = reader.ReadGrid(&grid);
    if (!s.ok()) return ::testing::AssertionFailure() << s.ToString();
    auto tile = tiles.find(name.substr(0, 7));
    if (tile == tiles.end()) return ::testing::AssertionFailure() << "no tile of that name";
    if (grid != StoredGridOf(tile->second, 1201)) return ::testing::AssertionFailure() << "the grid is not its tile's";
    return ::testing::AssertionSuccess();
  }

  // The texts of the message boxes shown since the last call.
  std::vector<std::string> Messages() {
    std::vector<std::string> texts;
    for (const auto& box : boxes_.shown()) texts.push_back(box.text);
    platform::ClearRecordedMessageBoxes();
    return texts;
  }

  void ClearOutput() {
    for (const std::string& name : OutputFiles()) platform::DefaultEnv()->Delete((out_ + "\\" + name).c_str());
  }

  // After any fault: a batch without one converts everything again.
  void ExpectNextBatchWorks(FaultInjector& env) {
    env.Heal();
    ClearOutput();
    EXPECT_EQ(Batch(), -1);
    EXPECT_EQ(ExpectOnlyCompleteFiles(), static_cast<int>(tiles.size()));
    EXPECT_TRUE(Messages().empty());
  }

  TempFolder root_;
  std::string tiles_, out_;
  std::map<std::string, Bytes> tiles;  // by the first 7 characters of the name
  std::vector<std::string> list;
  AnsweredMessageBoxes boxes_;
};

const std::vector<std::string> kNoMessage;
const std::vector<std::string> kCannotRead = {kTextCannotRead};
const std::vector<std::string> kNoMemory = {kTextNoMemory};

// ---- Writing ----

TEST_F(XemFaults, EveryWriteOfAConversionFailingInTurnLeavesNoFile) {
  PutTiles(1);
  FaultInjector env;
  ASSERT_EQ(Batch(), -1);
  const Bytes reference = ReadBytes(list.at(0));
  const int writes = env.writes;
  ASSERT_GE(writes, 100 + 2);  // header and index, a block at a time, the final header
  Messages();
  for (int k = 1; k <= writes; ++k) {
    SCOPED_TRACE("write " + std::to_string(k) + " of " + std::to_string(writes));
    ClearOutput();
    env.Heal();
    env.writes = 0;
    env.failWrite = k;
    EXPECT_EQ(Batch(), 0);
    EXPECT_TRUE(OutputFiles().empty());
    EXPECT_EQ(Messages(), kNoMessage);
  }
  env.Heal();
  ASSERT_EQ(Batch(), -1);
  EXPECT_EQ(ReadBytes(list.at(0)), reference);
}

TEST_F(XemFaults, FullDiskAtAnyPointLeavesNoFile) {
  PutTiles(2);
  FaultInjector env;
  ASSERT_EQ(Batch(), -1);
  const std::int64_t both = env.bytesWritten;
  const std::int64_t one = static_cast<std::int64_t>(ReadBytes(list.at(0)).size());
  for (std::int64_t space : {std::int64_t{0}, std::int64_t{1}, std::int64_t{307}, std::int64_t{308},
                             std::int64_t{308 + 1600}, one / 2, one - 1}) {
    SCOPED_TRACE("space for " + std::to_string(space) + " bytes");
    ClearOutput();
    env.diskSpace = space;
    EXPECT_EQ(Batch(), 0);
    EXPECT_TRUE(OutputFiles().empty());
    EXPECT_EQ(Messages(), kNoMessage);
  }
  // Room for one file but not two: the first stays complete.
  ClearOutput();
  env.diskSpace = both - 1;
  EXPECT_EQ(Batch(), 1);
  EXPECT_EQ(ExpectOnlyCompleteFiles(), 1);
  ExpectNextBatchWorks(env);
}

TEST_F(XemFaults, FileThatCannotBeCreatedOrClosedLeavesNothing) {
  PutTiles(2);
  FaultInjector env;
  env.failCreate = 1;
  EXPECT_EQ(Batch(), 1);
  EXPECT_EQ(ExpectOnlyCompleteFiles(), 1);
  ClearOutput();
  env.creates = env.closes = 0;
  env.failCreate = 0;
  env.failClose = 2;  // data that cannot be flushed at the end of the second file
  EXPECT_EQ(Batch(), 1);
  EXPECT_EQ(ExpectOnlyCompleteFiles(), 1);
  EXPECT_EQ(Messages(), kNoMessage);
  ExpectNextBatchWorks(env);
}

TEST_F(XemFaults, ExistingFilesNotToBeOverwrittenStayByteForByteWhateverFails) {
  PutTiles(3);
  const std::map<std::string, Bytes> existing = {{"N57E011.xem", {'o', 'l', 'd'}}, {"N58E011.xem", Bytes(5000, 7)}};
  for (const auto& file : existing) ASSERT_TRUE(WriteBytes(out_ + "\\" + file.first, file.second));
  FaultInjector env;
  ASSERT_EQ(Batch(0), 1);  // only N57E012 is written; the two others count as failures
  ASSERT_EQ(ExpectOnlyCompleteFiles(existing), 1);
  const int writes = env.writes;
  for (int k = 1; k <= writes; k += 7) {
    SCOPED_TRACE("write " + std::to_string(k));
    platform::DefaultEnv()->Delete((out_ + "\\N57E012.xem").c_str());
    env.writes = 0;
    env.failWrite = k;
    EXPECT_EQ(Batch(0), 0);
    EXPECT_EQ(ExpectOnlyCompleteFiles(existing), 0);
  }
  env.failWrite = 0;
  env.diskSpace = 0;
  EXPECT_EQ(Batch(0), 0);
  EXPECT_EQ(ExpectOnlyCompleteFiles(existing), 0);
  EXPECT_EQ(Messages(), kNoMessage);
}

// With overwriting on, a file already there is replaced only by a complete one: when
// its conversion fails at any write, at the final rename or on a full disk, the old
// file stays byte for byte, and no temporary file is left beside it.
TEST_F(XemFaults, FilesToBeOverwrittenStayUntilTheirReplacementIsComplete) {
  PutTiles(2);
  const std::map<std::string, Bytes> old = {{"N57E011.xem", {'o', 'l', 'd'}}, {"N57E012.xem", Bytes(5000, 7)}};
  const auto putOld = [&] {
    ClearOutput();
    for (const auto& file : old) ASSERT_TRUE(WriteBytes(out_ + "\\" + file.first, file.second));
  };
  // Each file is its old self or a complete listed conversion, and nothing else is there.
  const auto expectOldOrComplete = [&](std::int32_t result) {
    EXPECT_EQ(OutputFiles().size(), old.size());
    int replaced = 0;
    for (const auto& file : old) {
      const std::string path = out_ + "\\" + file.first;
      if (ReadBytes(path) == file.second) continue;
      ++replaced;
      EXPECT_NE(std::find(list.begin(), list.end(), path), list.end()) << file.first;
      EXPECT_TRUE(HoldsItsTile(path, file.first));
    }
    EXPECT_EQ(static_cast<int>(list.size()), replaced);
    EXPECT_EQ(result, replaced == 2 ? -1 : replaced);
  };
  FaultInjector env;
  putOld();
  ASSERT_EQ(Batch(1), -1);
  expectOldOrComplete(-1);
  const int writes = env.writes;
  for (int k = 1; k <= writes; k += 5) {
    SCOPED_TRACE("write " + std::to_string(k) + " of " + std::to_string(writes));
    putOld();
    env.Heal();
    env.writes = 0;
    env.failWrite = k;
    expectOldOrComplete(Batch(1));
  }
  for (int k : {1, 2}) {
    SCOPED_TRACE("rename " + std::to_string(k));
    putOld();
    env.Heal();
    env.renames = 0;
    env.failRename = k;
    const std::int32_t result = Batch(1);
    EXPECT_EQ(result, 1);
    expectOldOrComplete(result);
  }
  putOld();
  env.Heal();
  env.diskSpace = 0;
  const std::int32_t result = Batch(1);
  EXPECT_EQ(result, 0);
  expectOldOrComplete(result);
  EXPECT_EQ(Messages(), kNoMessage);
  ExpectNextBatchWorks(env);
}

// ---- Reading ----

TEST_F(XemFaults, EveryReadOfATileFailingInTurnIsReportedAndTheBatchGoesOn) {
  PutTiles(3);
  FaultInjector env;
  ASSERT_EQ(Batch(), -1);
  const int reads = env.reads;
  ASSERT_GE(reads, 3);
  for (int k = 1; k <= reads; ++k) {
    SCOPED_TRACE("read " + std::to_string(k) + " of " + std::to_string(reads));
    ClearOutput();
    env.reads = 0;
    env.failRead = k;
    EXPECT_EQ(Batch(), 2);
    EXPECT_EQ(ExpectOnlyCompleteFiles(), 2);
    EXPECT_EQ(Messages(), kCannotRead);
  }
  ExpectNextBatchWorks(env);
}

TEST_F(XemFaults, TileTruncatedBetweenClassificationAndReadingIsAReadError) {
  PutTiles(2);
  FaultInjector env;
  const std::string victim = tiles_ + "\\N57E012.hgt";
  env.beforeOpen = [&](const std::string& path) {
    if (path == victim) {
      fs::resize_file(platform::ToNativePath(victim), 1000);
    }
  };
  EXPECT_EQ(Batch(), 1);
  EXPECT_EQ(ExpectOnlyCompleteFiles(), 1);
  EXPECT_FALSE(Exists(out_ + "\\N57E012.xem"));
  EXPECT_EQ(Messages(), kCannotRead);
  PutTile("N57E012.hgt", tiles["N57E012"]);
  ExpectNextBatchWorks(env);
}

TEST_F(XemFaults, TileReplacedBetweenClassificationAndReading) {
  PutTiles(2);
  FaultInjector env;
  const std::string victim = tiles_ + "\\N57E012.hgt";
  Bytes replacement;
  env.beforeOpen = [&](const std::string& path) {
    if (path == victim && !replacement.empty()) {
      ASSERT_TRUE(WriteBytes(victim, replacement));
      tiles["N57E012"] = replacement;
      replacement.clear();
    }
  };
  // By another tile of the same size: what is compressed is what the file now holds.
  replacement = MakeTile(1201, false);
  for (auto& b : replacement) b ^= 0x01;
  EXPECT_EQ(Batch(), -1);
  EXPECT_EQ(ExpectOnlyCompleteFiles(), 2);

  // By a longer file (a tile of the other kind): it is no longer the tile that was
  // classified, so it is a read error, never an XEM file of its first samples.
  ClearOutput();
  const Bytes before = tiles["N57E012"];
  replacement = MakeTile(3601, false);
  EXPECT_EQ(Batch(), 1);
  tiles["N57E012"] = before;
  EXPECT_EQ(ExpectOnlyCompleteFiles(), 1);
  EXPECT_FALSE(Exists(out_ + "\\N57E012.xem"));
  EXPECT_EQ(Messages(), kCannotRead);

  PutTile("N57E012.hgt", before);
  ExpectNextBatchWorks(env);
}

// ---- Folders that go away ----

TEST_F(XemFaults, SourceFolderThatDisappearsDuringTheBatch) {
  PutTiles(4);
  FaultInjector env;
  const std::string moved = root_.File("moved");
  const auto takeAway = [&] { fs::rename(platform::ToNativePath(tiles_), platform::ToNativePath(moved)); };
  const auto bringBack = [&] { fs::rename(platform::ToNativePath(moved), platform::ToNativePath(tiles_)); };

  // Taken away just as the second tile is opened: that tile was classified but cannot
  // be read (a failure, without a message, as for any input that cannot be opened); the
  // two after it are no longer tiles of the kind and are passed over.
  int opens = 0;
  env.beforeOpen = [&](const std::string&) {
    if (++opens == 2) takeAway();
  };
  EXPECT_EQ(Batch(), 1);
  EXPECT_EQ(ExpectOnlyCompleteFiles(), 1);
  EXPECT_EQ(Messages(), kNoMessage);
  bringBack();

  // Taken away as the second output file is created: that tile is already read and its
  // file completes; the rest are passed over, so nothing failed.
  ClearOutput();
  env.beforeOpen = nullptr;
  env.creates = 0;
  env.beforeCreate = [&](const std::string&) {
    if (env.creates == 1) takeAway();
  };
  EXPECT_EQ(Batch(), -1);
  EXPECT_EQ(ExpectOnlyCompleteFiles(), 2);
  EXPECT_EQ(Messages(), kNoMessage);
  bringBack();
  ExpectNextBatchWorks(env);
}

TEST_F(XemFaults, OutputFolderThatDisappearsDuringTheBatch) {
  PutTiles(3);
  FaultInjector env;
  env.beforeCreate = [&](const std::string&) {
    if (env.creates == 1) {
      ClearOutput();
      fs::remove(platform::ToNativePath(out_));
    }
  };
  list.clear();
  EXPECT_EQ(BatchCompressor::CompressFolder(tiles_ + "\\N57E011.hgt", out_, &list, 1), 1);
  EXPECT_FALSE(fs::exists(platform::ToNativePath(out_)));
  EXPECT_EQ(Messages(), kNoMessage);
  fs::create_directory(platform::ToNativePath(out_));
  ExpectNextBatchWorks(env);
}

// ---- Memory ----

TEST_F(XemFaults, EveryAllocationRefusedInTurn) {
  // Tiles without voids, so that the files are the same with the fill on or off.
  PutTile("N57E011.hgt", RealTile());
  PutTile("N57E012.hgt", MakeTile(1201, false));
  for (int fill : {0, 1}) {
    g_pluginSettings.fillVoids = fill;
    FaultInjector env;
    ASSERT_EQ(Batch(), -1);
    const int allocations = env.allocations;
    ASSERT_GE(allocations, 2 + 2 * 2);  // the two tile buffers, two block buffers a file
    Messages();
    for (int k = 1; k <= allocations; ++k) {
      SCOPED_TRACE("fill " + std::to_string(fill) + ", allocation " + std::to_string(k));
      ClearOutput();
      env.allocations = 0;
      env.failAllocation = k;
      const std::int32_t result = Batch();
      EXPECT_NE(result, -1) << "a refused allocation went unnoticed";
      const int complete = ExpectOnlyCompleteFiles();
      if (k <= 2) {
        // The tile buffers: the batch converts nothing and the user is told.
        EXPECT_EQ(result, 0);
        EXPECT_EQ(Messages(), kNoMemory);
      } else {
        EXPECT_EQ(result, complete);
        EXPECT_EQ(Messages(), kNoMessage);
      }
    }
    g_pluginSettings.fillVoids = 0;
    ExpectNextBatchWorks(env);
  }
}

// ---- Cancel ----

TEST_F(XemFaults, CancelAfterEveryBlockLeavesNoPartialFile) {
  PutTiles(1);
  for (int k = 1; k <= 100; ++k) {
    SCOPED_TRACE("cancel after block " + std::to_string(k));
    RecordingTarget target(k);
    EXPECT_EQ(Batch(), 0);
    EXPECT_TRUE(OutputFiles().empty());
    ASSERT_FALSE(target.percents.empty());
    EXPECT_EQ(target.percents.back(), 100);
  }
  EXPECT_EQ(Messages(), kNoMessage);
  FaultInjector env;
  ExpectNextBatchWorks(env);
}

TEST_F(XemFaults, CancelInTheSecondFileKeepsTheFirstComplete) {
  PutTiles(2);
  for (int k = 101; k <= 200; k += 9) {
    SCOPED_TRACE("cancel at pump " + std::to_string(k));
    ClearOutput();
    RecordingTarget target(k);
    EXPECT_EQ(Batch(), 1);
    EXPECT_EQ(ExpectOnlyCompleteFiles(), 1);
  }
}

// ---- Reading XEM files back ----

TEST_F(XemFaults, EveryReadOfAnXemFileFailingInTurnIsAnIoError) {
  PutTiles(1);
  ASSERT_EQ(Batch(), -1);
  FaultInjector env;
  XemReader reader;
  std::vector<std::int16_t> grid;
  ASSERT_TRUE(reader.Open(list.at(0)).ok());
  ASSERT_TRUE(reader.ReadGrid(&grid).ok());
  const int reads = env.reads;
  for (int k = 1; k <= reads; ++k) {
    SCOPED_TRACE("read " + std::to_string(k));
    env.reads = 0;
    env.failRead = k;
    XemReader again;
    Status s = again.Open(list.at(0));
    if (s.ok()) s = again.ReadGrid(&grid);
    EXPECT_EQ(s.code(), Status::kIoError) << s.ToString();
  }
  env.Heal();
  XemReader healed;
  ASSERT_TRUE(healed.Open(list.at(0)).ok());
  EXPECT_TRUE(healed.ReadGrid(&grid).ok());
  EXPECT_TRUE(grid == StoredGridOf(tiles["N57E011"], 1201));
}

}  // namespace
}  // namespace srtm::test
