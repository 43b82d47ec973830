// srtm compress, info, decode and verify, run in-process with the arguments a user types.
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "hgt/settings.h"
#include "platform/platform.h"
#include "tests/support/test_support.h"
#include "tests/xem/xem_test_support.h"
#include "tools/commands.h"

namespace srtm {
namespace {

// Runs a command with its arguments (after the command name).
int Tool(int (*command)(int, char**), std::vector<std::string> args) {
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(&a[0]);
  argv.push_back(nullptr);
  return command(static_cast<int>(args.size()), argv.data());
}

class ToolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::WriteBytes(folder_.File("N57E011.hgt"), test::RealTile());
    test::WriteBytes(folder_.File("N57E012.hgt"), test::MakeTile(1201, true));
    out_ = folder_.MakeFolder("out");
  }
  void TearDown() override { g_pluginSettings = PluginSettings(); }

  // A plug-in path as the user would type it on this system.
  static std::string User(const std::string& path) { return platform::ToNativePath(path); }
  std::string Tile(const char* name) const { return User(folder_.File(name)); }
  std::string Xem(const char* name) const { return User(out_ + "\\" + name); }

  test::TempFolder folder_;
  std::string out_;
};

TEST_F(ToolTest, CompressThenVerifyEveryTile) {
  ASSERT_EQ(Tool(cli::Compress, {"--like", Tile("N57E011.hgt"), "-o", User(out_), "--fill", "off"}), cli::kExitOk);
  EXPECT_EQ(Tool(cli::Verify, {Xem("N57E011.xem"), Tile("N57E011.hgt"), "--fill", "off"}), cli::kExitOk);
  EXPECT_EQ(Tool(cli::Verify, {Xem("N57E012.xem"), Tile("N57E012.hgt"), "--fill", "off"}), cli::kExitOk);
  EXPECT_EQ(Tool(cli::Verify, {Xem("N57E012.xem"), Tile("N57E012.hgt"), "--fill", "on"}), cli::kExitDifferent);
  EXPECT_EQ(Tool(cli::Verify, {Xem("N57E012.xem"), Tile("N57E011.hgt")}), cli::kExitDifferent);

  ASSERT_EQ(Tool(cli::Compress, {Tile("N57E012.hgt"), "-o", User(out_)}), cli::kExitOk);  // fill on by default
  EXPECT_EQ(Tool(cli::Verify, {Xem("N57E012.xem"), Tile("N57E012.hgt"), "--fill", "on"}), cli::kExitOk);
  EXPECT_EQ(Tool(cli::Verify, {Xem("N57E012.xem"), Tile("N57E012.hgt"), "--fill", "off"}), cli::kExitDifferent);
  EXPECT_EQ(Tool(cli::Verify, {Xem("N57E012.xem"), Tile("N57E012.hgt")}), cli::kExitOk);
}

TEST_F(ToolTest, SkipExistingLeavesTheFileAndCountsItAsDone) {
  const std::vector<std::uint8_t> old = {'o', 'l', 'd'};
  test::WriteBytes(out_ + "\\N57E011.xem", old);
  EXPECT_EQ(Tool(cli::Compress, {User(folder_.path()), "-o", User(out_), "--skip-existing"}), cli::kExitOk);
  EXPECT_EQ(test::ReadBytes(out_ + "\\N57E011.xem"), old);
  EXPECT_TRUE(test::Exists(out_ + "\\N57E012.xem"));
}

TEST_F(ToolTest, InfoAndDecodeOfAFileAndOfADamagedOne) {
  ASSERT_EQ(Tool(cli::Compress, {Tile("N57E011.hgt"), "-o", User(out_), "--fill", "off"}), cli::kExitOk);
  EXPECT_EQ(Tool(cli::Info, {Xem("N57E011.xem")}), cli::kExitOk);
  const std::string raw = folder_.File("grid.raw");
  ASSERT_EQ(Tool(cli::Decode, {Xem("N57E011.xem"), "-o", User(raw)}), cli::kExitOk);
  const auto bytes = test::ReadBytes(raw);
  ASSERT_EQ(bytes.size(), 2u * 1200 * 1200);
  const auto tile = test::RealTile();
  // Sample (x 5, y 7): tile row 1200 - 7, little-endian in the raw file.
  const std::size_t at = 2 * (7 * 1200 + 5);
  EXPECT_EQ(static_cast<std::int16_t>(bytes[at] | bytes[at + 1] << 8), test::GetHgtSample(tile, 1201, 1193, 5));

  auto damaged = test::ReadBytes(out_ + "\\N57E011.xem");
  damaged[1908 + 40] ^= 0xFF;  // inside the first block
  test::WriteBytes(out_ + "\\N57E011.xem", damaged);
  EXPECT_EQ(Tool(cli::Info, {Xem("N57E011.xem")}), cli::kExitInput);  // header and index are sound, a block is not
  const std::string raw2 = folder_.File("grid2.raw");
  EXPECT_EQ(Tool(cli::Decode, {Xem("N57E011.xem"), "-o", User(raw2)}), cli::kExitInput);
  EXPECT_FALSE(test::Exists(raw2));
  EXPECT_EQ(Tool(cli::Verify, {Xem("N57E011.xem"), Tile("N57E011.hgt")}), cli::kExitInput);
  EXPECT_EQ(Tool(cli::Info, {Tile("N57E011.hgt")}), cli::kExitInput);
  EXPECT_EQ(Tool(cli::Decode, {Tile("N57E011.hgt"), "-o", User(raw)}), cli::kExitInput);
}

TEST_F(ToolTest, ArgumentAndInputErrors) {
  EXPECT_EQ(Tool(cli::Compress, {}), cli::kExitUsage);
  EXPECT_EQ(Tool(cli::Compress, {"--help"}), cli::kExitOk);
  EXPECT_EQ(Tool(cli::Compress, {Tile("N57E011.hgt"), "-o", User(out_), "--fill", "maybe"}), cli::kExitUsage);
  EXPECT_EQ(Tool(cli::Compress, {Tile("N01E001.hgt"), "-o", User(out_)}), cli::kExitInput);
  test::WriteBytes(folder_.File("N01E001.hgt"), {1, 2, 3});
  EXPECT_EQ(Tool(cli::Compress, {Tile("N01E001.hgt"), "-o", User(out_)}), cli::kExitInput);
  EXPECT_EQ(Tool(cli::Compress, {Tile("N57E011.hgt"), "-o", Tile("N57E012.hgt")}), cli::kExitOutput);
  EXPECT_EQ(Tool(cli::Info, {}), cli::kExitUsage);
  EXPECT_EQ(Tool(cli::Info, {"--help"}), cli::kExitOk);
  EXPECT_EQ(Tool(cli::Decode, {Xem("N57E011.xem")}), cli::kExitUsage);
  EXPECT_EQ(Tool(cli::Decode, {"--help"}), cli::kExitOk);
  EXPECT_EQ(Tool(cli::Verify, {Xem("N57E011.xem")}), cli::kExitUsage);
  EXPECT_EQ(Tool(cli::Verify, {"-h"}), cli::kExitOk);
  EXPECT_EQ(Tool(cli::Verify, {Xem("N57E011.xem"), Tile("N01E001.hgt")}), cli::kExitInput);
}

}  // namespace
}  // namespace srtm
