// The real dialogs of srtm.qlp under Wine: loaded by the stand-in host like any plug-in,
// opened from its menus and driven by the same scripts as in the headless world, acting
// on real controls through Win32 messages.
#include <windows.h>

#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "tests/support/test_support.h"
#include "testhost/desktop.h"
#include "testhost/host.h"
#include "testhost/maps.h"
#include "testhost/script.h"

namespace srtm::test {
namespace {

std::string Quoted(const std::string& text) { return host::ScriptWord(text); }

bool Logged(const std::string& prefix) {
  for (const std::string& line : host::CallLog()) {
    if (line.rfind(prefix, 0) == 0) return true;
  }
  return false;
}

class Win32SmokeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host::Reset();
    host::ResetDesktop();
    host::StartCapturingMessageBoxes();
    host::ClearShownMessageBoxes();
    ASSERT_TRUE(plugin_.Load(BinaryDir() + "\\srtm.qlp")) << plugin_.error();
    PluginInfo info{};
    ASSERT_EQ(plugin_.Create(&info, host::kPluginHandle), 1);
    ASSERT_EQ(plugin_.LoadMenus(), 1);
    ASSERT_TRUE(WriteBytes(tiles_.File("N57E011.hgt"), RealTile()));
    out_ = tiles_.MakeFolder("out");
    ASSERT_NE(host::OpenFile(tiles_.File("N57E011.hgt")), 0u);
    host::ClearCallLog();
  }
  void TearDown() override {
    plugin_.Release();
    plugin_.Unload();
    host::ResetDesktop();
  }
  void Run(const std::string& script) {
    host::Script user(script);
    EXPECT_TRUE(user.Run()) << user.Report();
  }

  host::Plugin plugin_;
  TempFolder tiles_;
  std::string out_;
};

TEST_F(Win32SmokeTest, SettingsDialogOpensModalShowsTheSettingsAndStoresAChange) {
  Run("menu 地形データ設定\n"
      "expect dialog 30700\nexpect main disabled\n"
      "expect check 30701 on\nexpect check 30702 on\nexpect text 30703 0\nexpect focus 1\n"
      "check 30702 off\nexpect enabled 30703 no\ncheck 30702 on\n"
      "type 30703 25\nclick 1\nwait gone 30700\nexpect main enabled\n");
  EXPECT_TRUE(Logged("QLP_ClearAllViewCache"));
  EXPECT_TRUE(host::ShownMessageBoxes().empty());
}

TEST_F(Win32SmokeTest, WizardIsOnePageLargeCentredAndRunsToItsEnd) {
  Run("menu 地形データ圧縮\nexpect dialog 30715\nexpect main disabled\nexpect focus 30710\n");
  HWND wizard = FindWindowA("SrtmCompressWizard", nullptr);
  ASSERT_NE(wizard, nullptr);
  HWND page = FindWindowExA(wizard, nullptr, "#32770", nullptr);
  ASSERT_NE(page, nullptr);
  RECT client, window, pageRect;
  GetClientRect(wizard, &client);
  GetWindowRect(wizard, &window);
  GetWindowRect(page, &pageRect);
  const int pw = pageRect.right - pageRect.left, ph = pageRect.bottom - pageRect.top;
  EXPECT_EQ(client.right - client.left, pw);
  EXPECT_EQ(client.bottom - client.top, ph);
  EXPECT_EQ(window.left, GetSystemMetrics(SM_CXSCREEN) / 2 - pw / 2);
  EXPECT_EQ(window.top, GetSystemMetrics(SM_CYSCREEN) / 2 - ph / 2);
  char title[64] = {};
  GetWindowTextA(wizard, title, sizeof title);
  EXPECT_EQ(std::string(title), ToCp932("SRTMの圧縮"));

  Run("type 30710 " + Quoted(out_) +
      "\nclick 30705\nwait dialog 30716\nexpect text 30705 次へ\n"
      "click 30705\nwait dialog 30717\n"
      "expect text 30714 " + Quoted("圧縮は正常に終了しました。\n\n圧縮した地図を開くには、エクスプローラで該当するXEMファイルを"
                                    "すべて選択して、クエルマーにドロップしてください。\n\n圧縮が終わったHGTファイルは不要です。") +
      "\nexpect check 30719 on\nexpect enabled 30708 yes\n"
      "click 30705\nwait gone 30717\nexpect main enabled\n");
  EXPECT_TRUE(Exists(out_ + "\\N57E011.xem"));
  EXPECT_TRUE(Logged("QLP_XEM_AppendDynamicXem"));
  EXPECT_TRUE(Logged("QLP_OpenMap"));
  EXPECT_EQ(FindWindowA("SrtmCompressWizard", nullptr), nullptr);
}

TEST_F(Win32SmokeTest, EscClosesTheWizardAndAReloadedPluginOpensItAgain) {
  Run("menu 地形データ圧縮\nwait dialog 30715\nkey esc\nwait gone 30715\nexpect main enabled\n");
  // Unloading unregisters the wizard's window class, so a reloaded module registers its
  // own procedure again.
  plugin_.Release();
  plugin_.Unload();
  host::Reset();
  ASSERT_TRUE(plugin_.Load(BinaryDir() + "\\srtm.qlp")) << plugin_.error();
  PluginInfo info{};
  ASSERT_EQ(plugin_.Create(&info, host::kPluginHandle), 1);
  ASSERT_EQ(plugin_.LoadMenus(), 1);
  ASSERT_NE(host::OpenFile(tiles_.File("N57E011.hgt")), 0u);
  Run("menu 地形データ圧縮\nwait dialog 30715\nexpect text 30705 " + Quoted("次へ(&N)") + "\nkey esc\nwait gone 30715\n");
}

}  // namespace
}  // namespace srtm::test
