// srtm compress as a user runs it: jobs, parts of the archive, Ctrl-C, and the errors.
#include <atomic>
#include <csignal>
#include <set>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "hgt/settings.h"
#include "platform/platform.h"
#include "tests/support/test_support.h"
#include "tests/tools/tools_test_support.h"
#include "tests/xem/xem_test_support.h"
#include "tools/commands.h"
#include "xem/xem_reader.h"

namespace srtm {
namespace {

// Presses Ctrl-C as the `at`-th output file is created.
class InterruptingEnv : public platform::Env {
 public:
  explicit InterruptingEnv(int at) : at_(at) { previous_ = platform::SetEnv(this); }
  ~InterruptingEnv() override { platform::SetEnv(previous_ == platform::DefaultEnv() ? nullptr : previous_); }
  std::unique_ptr<platform::File> CreateNew(const char* path, const char* like) override {
    if (++created_ == at_) std::raise(SIGINT);
    return Env::CreateNew(path, like);
  }

 private:
  int at_;
  std::atomic<int> created_{0};
  platform::Env* previous_ = nullptr;
};

class CompressCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int lat = 40; lat < 43; ++lat) {
      for (int lon = -2; lon < 1; ++lon) test::PutGlobeTile(tiles_, lat, lon, true);
    }
  }
  void TearDown() override { g_pluginSettings = PluginSettings(); }
  std::string Native(const std::string& path) const { return platform::ToNativePath(path); }

  test::TempFolder folder_;
  test::AnsweredMessageBoxes boxes_;
  std::string tiles_ = folder_.MakeFolder("tiles");
};

TEST_F(CompressCommandTest, ThePartsOfAnArchiveTogetherAreTheWholeArchive) {
  const std::string whole = folder_.MakeFolder("whole");
  ASSERT_EQ(test::RunTool(cli::Compress, {Native(tiles_), "-o", Native(whole), "--jobs", "2", "--quiet"}), cli::kExitOk);
  const std::vector<std::string> all = test::FilesIn(whole, "*.xem");
  ASSERT_EQ(all.size(), 9u);

  const std::string parts = folder_.MakeFolder("parts");
  std::multiset<std::string> seen;
  for (const char* part : {"1/4", "2/4", "3/4", "4/4"}) {
    const std::string out = folder_.MakeFolder(std::string("part") + part[0]);
    ASSERT_EQ(test::RunTool(cli::Compress, {Native(tiles_), "-o", Native(out), "--shard", part, "--quiet"}),
              cli::kExitOk);
    for (const std::string& name : test::FilesIn(out, "*.xem")) {
      seen.insert(name);
      EXPECT_EQ(test::ReadBytes(out + "\\" + name), test::ReadBytes(whole + "\\" + name)) << name;
    }
  }
  EXPECT_EQ(std::vector<std::string>(seen.begin(), seen.end()), all);
}

TEST_F(CompressCommandTest, CtrlCStopsTheWorkAndLeavesOnlyWholeFiles) {
  for (const char* jobs : {"1", "2"}) {
    SCOPED_TRACE(std::string("jobs ") + jobs);
    const std::string out = folder_.MakeFolder(std::string("out") + jobs);
    int code;
    {
      InterruptingEnv env(3);
      code = test::RunTool(cli::Compress, {Native(tiles_), "-o", Native(out), "--jobs", jobs, "--quiet"});
    }
    EXPECT_EQ(code, cli::kExitInterrupted);
    const auto names = test::FilesIn(out, "*");
    EXPECT_LT(names.size(), 9u);
    for (const std::string& name : names) {
      XemReader reader;
      std::vector<std::int16_t> grid;
      EXPECT_TRUE(reader.Open(out + "\\" + name).ok() && reader.ReadGrid(&grid).ok()) << name;
    }
  }
  // The handler is gone with the command: the test's own Ctrl-C is the default again.
  EXPECT_EQ(std::signal(SIGINT, SIG_DFL), SIG_DFL);
}

// A run stopped by Ctrl-C, resumed with --skip-existing, and resumed once more with
// nothing left: both resumes succeed, and the files are those of one whole run.
TEST_F(CompressCommandTest, AResumedRunCountsTheFilesThereAsDone) {
  const std::string whole = folder_.MakeFolder("whole");
  ASSERT_EQ(test::RunTool(cli::Compress, {Native(tiles_), "-o", Native(whole), "--quiet"}), cli::kExitOk);
  const std::string out = folder_.File("resumed");
  {
    InterruptingEnv env(4);
    ASSERT_EQ(test::RunTool(cli::Compress, {Native(tiles_), "-o", Native(out), "--jobs", "1", "--quiet"}),
              cli::kExitInterrupted);
  }
  const std::size_t stoppedWith = test::FilesIn(out, "*.xem").size();
  ASSERT_TRUE(stoppedWith > 0 && stoppedWith < 9) << stoppedWith;
  for (int resume = 0; resume < 2; ++resume) {
    EXPECT_EQ(test::RunTool(cli::Compress, {Native(tiles_), "-o", Native(out), "--skip-existing", "--quiet"}),
              cli::kExitOk);
  }
  const std::vector<std::string> names = test::FilesIn(whole, "*.xem");
  EXPECT_EQ(test::FilesIn(out, "*.xem"), names);
  for (const std::string& name : names) {
    EXPECT_EQ(test::ReadBytes(out + "\\" + name), test::ReadBytes(whole + "\\" + name)) << name;
  }
}

TEST_F(CompressCommandTest, WrongArgumentsAndInputsHaveTheirOwnExitCodes) {
  const std::string out = folder_.MakeFolder("out");
  const std::string tiles = Native(tiles_);
  EXPECT_EQ(test::RunTool(cli::Compress, {tiles, "-o", Native(out), "--jobs", "0"}), cli::kExitUsage);
  EXPECT_EQ(test::RunTool(cli::Compress, {tiles, "-o", Native(out), "--jobs", "two"}), cli::kExitUsage);
  EXPECT_EQ(test::RunTool(cli::Compress, {tiles, "-o", Native(out), "--shard", "5/4"}), cli::kExitUsage);
  EXPECT_EQ(test::RunTool(cli::Compress, {tiles, "-o", Native(out), "--shard"}), cli::kExitUsage);
  EXPECT_EQ(test::RunTool(cli::Compress, {"-o", Native(out)}), cli::kExitUsage);
  EXPECT_EQ(test::RunTool(cli::Compress, {Native(folder_.File("none")), "-o", Native(out)}), cli::kExitInput);
  // Two tiles of one name would overwrite each other's XEM file.
  const std::string other = folder_.MakeFolder("other");
  test::PutGlobeTile(other, 40, -2, true);
  EXPECT_EQ(test::RunTool(cli::Compress, {tiles, Native(other), "-o", Native(out)}), cli::kExitUsage);
  EXPECT_TRUE(test::FilesIn(out, "*").empty());
  // More parts than tiles: the empty parts have nothing to do, successfully.
  EXPECT_EQ(test::RunTool(cli::Compress, {tiles, "-o", Native(out), "--shard", "12/12", "--quiet"}), cli::kExitOk);
  EXPECT_TRUE(test::FilesIn(out, "*").empty());
}

}  // namespace
}  // namespace srtm
