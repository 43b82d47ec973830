// srtm render: tiles and XEM files become pictures, and its arguments.
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "hgt/hgt_tile.h"
#include "hgt/paths.h"
#include "hgt/settings.h"
#include "platform/platform.h"
#include "tests/support/test_support.h"
#include "tests/tools/tools_test_support.h"
#include "tests/xem/xem_test_support.h"
#include "tools/commands.h"
#include "xem/xem_format.h"

namespace srtm {
namespace {

class RenderCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::WriteBytes(folder_.File("N57E011.hgt"), test::RealTile());
    png_ = platform::ToNativePath(folder_.File("a.png"));
  }
  void TearDown() override { g_pluginSettings = PluginSettings(); }
  std::string Native(const char* name) const { return platform::ToNativePath(folder_.File(name)); }

  test::TempFolder folder_;
  test::AnsweredMessageBoxes boxes_;
  std::string png_;
};

TEST_F(RenderCommandTest, TilesAndXemFilesBecomePictures) {
  const std::string tile = Native("N57E011.hgt");
  EXPECT_EQ(test::RunTool(cli::Render, {tile, "-o", png_, "--region", "57.5,11.5,58,12.5", "--level", "20"}),
            cli::kExitOk);
  const auto bytes = test::ReadBytes(folder_.File("a.png"));
  ASSERT_GT(bytes.size(), 8u);
  EXPECT_EQ(std::string(bytes.begin() + 1, bytes.begin() + 4), "PNG");

  const std::string out = folder_.MakeFolder("out");
  ASSERT_EQ(test::RunTool(cli::Compress, {tile, "-o", platform::ToNativePath(out), "--quiet"}), cli::kExitOk);
  const std::string xem = platform::ToNativePath(out + "\\N57E011.xem");
  EXPECT_EQ(test::RunTool(cli::Render, {xem, "-o", Native("b.png"), "--sea", "off", "--scale", "3"}), cli::kExitOk);
  EXPECT_TRUE(test::Exists(folder_.File("b.png")));
  // An XEM file is known by its contents, whatever its name.
  test::WriteBytes(folder_.File("renamed.hgt"), test::ReadBytes(out + "\\N57E011.xem"));
  EXPECT_EQ(test::RunTool(cli::Render, {Native("renamed.hgt"), "-o", Native("c.png")}), cli::kExitOk);
}

TEST_F(RenderCommandTest, WrongArgumentsAndInputsHaveTheirOwnExitCodes) {
  const std::string tile = Native("N57E011.hgt");
  EXPECT_EQ(test::RunTool(cli::Render, {"--help"}), cli::kExitOk);
  EXPECT_EQ(test::RunTool(cli::Render, {tile}), cli::kExitUsage);
  EXPECT_EQ(test::RunTool(cli::Render, {tile, "-o", png_, "--region", "1,2,3"}), cli::kExitUsage);
  EXPECT_EQ(test::RunTool(cli::Render, {tile, "-o", png_, "--sea", "maybe"}), cli::kExitUsage);
  EXPECT_EQ(test::RunTool(cli::Render, {tile, "-o", png_, "--scale", "0"}), cli::kExitUsage);
  EXPECT_EQ(test::RunTool(cli::Render, {tile, "-o", png_, "--region", "-60,-170,60,170"}), cli::kExitUsage);
  EXPECT_EQ(test::RunTool(cli::Render, {Native("N01E001.hgt"), "-o", png_}), cli::kExitInput);
  test::WriteBytes(folder_.File("N01E001.hgt"), {1, 2, 3, 4});
  EXPECT_EQ(test::RunTool(cli::Render, {Native("N01E001.hgt"), "-o", png_}), cli::kExitInput);
  EXPECT_FALSE(test::Exists(folder_.File("a.png")));

  const std::string out = folder_.MakeFolder("out");
  ASSERT_EQ(test::RunTool(cli::Compress, {tile, "-o", platform::ToNativePath(out), "--quiet"}), cli::kExitOk);
  const std::string xem = platform::ToNativePath(out + "\\N57E011.xem");
  EXPECT_EQ(test::RunTool(cli::Render, {xem, "-o", png_, "--fill", "off"}), cli::kExitUsage);
  EXPECT_EQ(test::RunTool(cli::Render, {tile, "-o", Native("no\\such\\a.png")}), cli::kExitOutput);
}

}  // namespace
}  // namespace srtm
