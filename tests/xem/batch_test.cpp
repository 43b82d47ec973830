// The batch over a folder of tiles: results, lists, texts, skipping, other kinds passed
// over, and a cancel part-way.
#include <algorithm>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "hgt/settings.h"
#include "tests/support/fault_injector.h"
#include "tests/support/test_support.h"
#include "tests/xem/xem_test_support.h"
#include "xem/batch.h"
#include "xem/xem_reader.h"

namespace srtm {
namespace {

const char* const kFour[] = {"N57E011.hgt", "N57E012.hgt", "N58E011.hgt", "N58E012.hgt"};

class BatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto tile = test::RealTile();
    for (const char* name : kFour) test::WriteBytes(folder_.File(name), tile);
    out_ = folder_.MakeFolder("out");
  }
  void TearDown() override { g_pluginSettings = PluginSettings(); }

  std::int32_t Run(int overwrite = 1) {
    return BatchCompressor::CompressFolder(folder_.File("N57E011.hgt"), out_, &list_, overwrite);
  }
  std::string Xem(const std::string& name) const { return out_ + "\\" + name.substr(0, 7) + ".xem"; }
  std::vector<std::string> Sorted() const {
    auto sorted = list_;
    std::sort(sorted.begin(), sorted.end());
    return sorted;
  }

  test::TempFolder folder_;
  std::string out_;
  std::vector<std::string> list_ = {"stale entry"};
};

TEST_F(BatchTest, FourTilesAllConverted) {
  test::RecordingTarget target;
  EXPECT_EQ(Run(), -1);
  const std::vector<std::string> expected = {Xem(kFour[0]), Xem(kFour[1]), Xem(kFour[2]), Xem(kFour[3])};
  EXPECT_EQ(Sorted(), expected);
  for (const auto& path : list_) {
    XemReader reader;
    EXPECT_TRUE(reader.Open(path).ok()) << path;
  }
  // Begin, then per file its texts, and a bar that starts at 0 and ends at 100.
  ASSERT_GE(target.calls.size(), 5u);
  EXPECT_EQ(target.calls[0], "mode 1 1");
  EXPECT_EQ(target.calls[1], "texts " + test::ToCp932("圧縮中..") + " | (null)");
  int files = 0;
  for (std::size_t i = 2; i < target.calls.size(); ++i) {
    const std::string& call = target.calls[i];
    ++files;
    EXPECT_NE(call.find(test::ToCp932("圧縮中..\n\n")), std::string::npos) << call;
    EXPECT_NE(call.find(".hgt --> N5"), std::string::npos) << call;
    EXPECT_NE(call.find(test::ToCp932("処理対象 " + std::to_string(files) + "/4")), std::string::npos) << call;
  }
  EXPECT_EQ(files, 4);
  EXPECT_EQ(std::count(target.percents.begin(), target.percents.end(), 0), 4);
  EXPECT_EQ(std::count(target.percents.begin(), target.percents.end(), 100), 4);
}

TEST_F(BatchTest, OneOutputPresentAndSkippedGivesThree) {
  const std::vector<std::uint8_t> old = {1, 2, 3};
  test::WriteBytes(Xem(kFour[2]), old);
  EXPECT_EQ(Run(0), 3);
  EXPECT_EQ(list_.size(), 3u);
  EXPECT_EQ(std::count(list_.begin(), list_.end(), Xem(kFour[2])), 0);
  EXPECT_EQ(test::ReadBytes(Xem(kFour[2])), old);
  // With every output present nothing is converted: 0.
  EXPECT_EQ(Run(0), 0);
  EXPECT_TRUE(list_.empty());
}

TEST_F(BatchTest, OtherKindsAndOtherNamesArePassedOverButCounted) {
  test::WriteBytes(folder_.File("N10E020.hgt"), test::MakeTile(3601, false));
  test::WriteBytes(folder_.File("notes.hgt"), {1, 2});
  test::RecordingTarget target;
  EXPECT_EQ(Run(), -1);
  EXPECT_EQ(list_.size(), 4u);
  EXPECT_FALSE(test::Exists(out_ + "\\N10E020.xem"));
  const auto& last = target.calls.back();
  EXPECT_NE(last.find(test::ToCp932("/6")), std::string::npos) << last;
}

TEST_F(BatchTest, CancelDuringTheSecondFileKeepsTheFirst) {
  test::RecordingTarget target(150);  // 100 blocks a file: half-way through the second
  EXPECT_EQ(Run(), 1);
  ASSERT_EQ(list_.size(), 1u);
  std::vector<std::string> files;
  for (const char* name : kFour) {
    if (test::Exists(Xem(name))) files.push_back(Xem(name));
  }
  EXPECT_EQ(files, list_);  // the first file only: no partial second file
  EXPECT_EQ(target.pumps, 151);  // the batch pumps once more after the failed file
}

TEST_F(BatchTest, CancelDuringTheFirstFileGivesZero) {
  test::RecordingTarget target(10);
  EXPECT_EQ(Run(), 0);
  EXPECT_TRUE(list_.empty());
}

TEST_F(BatchTest, ReferenceThatIsNotATileDoesNothing) {
  EXPECT_EQ(BatchCompressor::CompressFolder(folder_.File("missing.hgt"), out_, &list_, 1), -1);
  EXPECT_EQ(list_, std::vector<std::string>{"stale entry"});
  EXPECT_EQ(BatchCompressor::CompressFolder(folder_.File("N57E011.txt"), out_, &list_, 1), -1);
}

TEST_F(BatchTest, NoMemoryForTheTileBuffersGivesZero) {
  test::AnsweredMessageBoxes boxes;
  test::FaultInjector env;
  env.refuseAllocations = {2 * 1201 * 1201};
  EXPECT_EQ(Run(), 0);
  ASSERT_EQ(boxes.shown().size(), 1u);
  EXPECT_EQ(boxes.shown()[0].text, test::ToCp932("メモリが確保できません."));
}

TEST_F(BatchTest, UnreadableTileIsReportedAndTheBatchGoesOn) {
  test::AnsweredMessageBoxes boxes;
  test::FaultInjector env;
  env.shortReadBytes = 1;
  EXPECT_EQ(Run(), 0);  // every read comes up short
  EXPECT_EQ(boxes.shown().size(), 4u);
  for (const char* name : kFour) EXPECT_FALSE(test::Exists(Xem(name)));
}

TEST(Progress, WithoutATargetNothingHappens) {
  ASSERT_EQ(ActiveRunPage(), nullptr);
  ProgressBegin("x", 1);
  ProgressSetText("x", "y");
  ProgressSetPercent(250);
  ProgressPump();
  ProgressEnd();
  EXPECT_EQ(ProgressIsCancelled(), 0);
  test::RecordingTarget target;
  ProgressSetText("a", nullptr);
  ProgressSetPercent(250);
  target.cancelRequested = 1;
  EXPECT_EQ(ProgressIsCancelled(), 1);
  EXPECT_EQ(target.calls, std::vector<std::string>{"texts a | (null)"});
  EXPECT_EQ(target.percents, std::vector<int>{250});  // the target shows it full
}

}  // namespace
}  // namespace srtm
