#include "tests/ui/ui_fixture.h"

#include "hgt/settings.h"
#include "platform/platform.h"
#include "shell/plugin.h"
#include "tests/support/test_support.h"
#include "tests/ui/ui_texts.h"
#include "testhost/host.h"
#include "testhost/maps.h"
#include "ui/compress_wizard.h"
#include "xem/progress.h"

namespace srtm::test {

using ui::headless::Store;

void UiTest::SetUp() {
  host::Reset();
  host::ResetDesktop();
  host::StartCapturingMessageBoxes();
  host::ClearShownMessageBoxes();
  g_pluginSettings = PluginSettings();
  PluginInfo info{};
  ASSERT_EQ(srtm::Create(&info, host::kPluginHandle), 1);
  ASSERT_EQ(srtm::Load(), 1);
  host::ClearCallLog();
}

void UiTest::TearDown() {
  ui::SetCompressBatch(nullptr);
  EXPECT_EQ(ActiveRunPage(), nullptr);
  srtm::Release();
  platform::SetMessageBoxResponder(nullptr, nullptr);
  g_pluginSettings = PluginSettings();
}

void UiTest::Run(const std::string& script) {
  host::Script user(script);
  EXPECT_TRUE(user.Run()) << user.Report();
}

void UiTest::RunExpectingStop(const std::string& script, int line) {
  host::Script user(script);
  EXPECT_FALSE(user.Run());
  ASSERT_EQ(user.errors().size(), 1u) << user.Report();
  EXPECT_EQ(user.errors()[0].rfind("line " + std::to_string(line) + " ", 0), 0u) << user.Report();
}

ui::Handle UiTest::Shown(int templateId) const {
  for (ui::Handle dialog : Store().VisibleDialogs()) {
    if (Info(dialog).templateId == templateId) return dialog;
  }
  return nullptr;
}

ui::headless::WindowInfo UiTest::Info(ui::Handle window) const {
  ui::headless::WindowInfo info;
  Store().Info(window, &info);
  return info;
}

ui::headless::WindowInfo UiTest::Control(int templateId, int id) const {
  return Info(Store().Item(Shown(templateId), id));
}

std::vector<std::string> UiTest::Calls(const std::vector<std::string>& prefixes) const {
  return LoggedCalls(prefixes);
}

void UiTest::OpenFourTiles() {
  const auto tile = RealTile();
  for (const char* name : {"N57E011.hgt", "N57E012.hgt", "N58E011.hgt", "N58E012.hgt"}) {
    ASSERT_TRUE(WriteBytes(tiles_.File(name), tile));
  }
  out_ = tiles_.MakeFolder("out");
  ASSERT_NE(host::OpenFile(tiles_.File("N57E011.hgt")), 0u);
  host::ClearCallLog();
}

}  // namespace srtm::test
