// The plug-in as the host loads it, in both worlds: srtm.qlp loaded by the stand-in host,
// its menus clicked and its dialogs driven by the scripted user (natively on the
// headless window system, in the Win32 world on the real dialogs under Wine, through
// Win32 messages). Only what a host and a user can see is checked: the screen, the
// host's call log (QLP_ calls and window events), the files, the samples served.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "tests/support/test_support.h"
#include "tests/ui/ui_texts.h"
#include "testhost/desktop.h"
#include "testhost/host.h"
#include "testhost/maps.h"
#include "testhost/script.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace srtm::test {
namespace {

std::string Quoted(const std::string& text) { return host::ScriptWord(text); }

class FlowsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host::Reset();
    host::ResetDesktop();
    host::StartCapturingMessageBoxes();
    host::ClearShownMessageBoxes();
    ASSERT_TRUE(plugin_.Load(BinaryDir() + "/srtm.qlp")) << plugin_.error();
    PluginInfo info{};
    ASSERT_EQ(plugin_.Create(&info, host::kPluginHandle), 1);
    ASSERT_EQ(plugin_.LoadMenus(), 1);
    out_ = tiles_.MakeFolder("out");
    host::ClearCallLog();
  }
  void TearDown() override {
    // As the host shuts down: its windows go first (a wizard left open with them), then
    // the plug-in is released and unloaded.
    host::ResetDesktop();
    plugin_.Release();
    plugin_.Unload();
  }

  void Run(const std::string& script) {
    host::Script user(script, {{"OUT", out_}});
    EXPECT_TRUE(user.Run()) << user.Report();
  }
  void RunExpectingStop(const std::string& script, int line) {
    host::Script user(script, {{"OUT", out_}});
    EXPECT_FALSE(user.Run());
    ASSERT_EQ(user.errors().size(), 1u) << user.Report();
    EXPECT_EQ(user.errors()[0].rfind("line " + std::to_string(line) + " ", 0), 0u) << user.Report();
  }
  static std::vector<std::string> Calls(const std::vector<std::string>& prefixes) { return LoggedCalls(prefixes); }
  // The real tile under four names, N57E011 opened as the host's active base map.
  void OpenFourTiles() {
    for (const char* name : {"N57E011.hgt", "N57E012.hgt", "N58E011.hgt", "N58E012.hgt"}) {
      ASSERT_TRUE(WriteBytes(tiles_.File(name), RealTile()));
    }
    ASSERT_NE(host::OpenFile(tiles_.File("N57E011.hgt")), 0u);
    host::ClearCallLog();
  }
  bool MenuEnabled(const std::string& item) const {
    bool enabled = false;
    EXPECT_TRUE(host::MenuEnabled(ToCp932(item), &enabled)) << item;
    return enabled;
  }
  std::vector<std::string> XemFilesWritten() const {
    std::vector<std::string> names;
    for (const char* name : {"N57E011.xem", "N57E012.xem", "N58E011.xem", "N58E012.xem"}) {
      if (Exists(out_ + "\\" + name)) names.push_back(name);
    }
    return names;
  }

  host::Plugin plugin_;
  TempFolder tiles_;
  std::string out_;
};

// ---- Settings ----

// The settings as the dialog shows them: fill box, sea box, sea level text.
std::string ShowsSettings(bool fill, bool sea, const std::string& level) {
  return "menu " + Quoted(kSettingsItem) + "\nwait dialog 30700\nexpect check 30701 " + (fill ? "on" : "off") +
         "\nexpect check 30702 " + (sea ? "on" : "off") + "\nexpect text 30703 " + Quoted(level) +
         "\nkey esc\nwait gone 30700\n";
}

// Sets the three settings through the dialog (the level first: it is greyed with the sea off).
std::string SetsSettings(bool fill, bool sea, const std::string& level) {
  return "menu " + Quoted(kSettingsItem) + "\nwait dialog 30700\ncheck 30702 on\ntype 30703 " + Quoted(level) +
         "\ncheck 30701 " + (fill ? "on" : "off") + "\ncheck 30702 " + (sea ? "on" : "off") +
         "\nclick 1\nwait gone 30700\n";
}

TEST_F(FlowsTest, SettingsDialogShowsTheSettingsWithOkFocusedAndTheOwnerDisabled) {
  OpenFourTiles();
  Run("menu " + Quoted(kSettingsItem) +
      "\nwait dialog 30700\nexpect check 30701 on\nexpect check 30702 on\nexpect text 30703 0\n"
      "expect enabled 30701 yes\nexpect enabled 30703 yes\nexpect enabled 30704 yes\n"
      "expect focus 1\nexpect default 1\nexpect main disabled\nkey enter\nwait gone 30700\nexpect main enabled\n");
  EXPECT_TRUE(Calls({"QLP_Clear", "QLP_UpdateAllViews"}).empty());
}

TEST_F(FlowsTest, OkStoresTheValuesAndClearsTheCachesOnlyOnAChange) {
  OpenFourTiles();
  const QLP_HANDLE cover = host::AddMap(host::MapDescription{"Z:\\maps\\cover.map", {}, {}});
  host::SetActiveCoverMap(cover);
  const std::vector<std::string> cleared = {"QLP_ClearMapCache " + std::to_string(cover), "QLP_ClearAllViewCache",
                                            "QLP_ClearAllLakeCache", "QLP_UpdateAllViews 1"};
  struct Case {
    const char* name;
    const char* before;  // the sea level first set
    const char* typed;
    const char* shown;   // what the dialog shows afterwards
    bool cleared;
  } cases[] = {
      {"no change", "0", "0", "0", false},
      {"level 0 to 10", "0", "10", "10", true},
      {"letters at level 0", "0", "abc", "0", false},
      {"letters at level 5", "5", "abc", "0", true},
      {"a blank, digits and a unit", "0", " 12m", "12", true},
      {"the same number written otherwise", "12", "+012", "12", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Run(SetsSettings(true, true, c.before));
    host::ClearCallLog();
    Run(SetsSettings(true, true, c.typed));
    EXPECT_EQ(Calls({"QLP_Clear", "QLP_UpdateAllViews"}), c.cleared ? cleared : std::vector<std::string>{});
    Run(ShowsSettings(true, true, c.shown));
  }
  host::ClearCallLog();
  Run(SetsSettings(false, false, "12"));
  EXPECT_EQ(Calls({"QLP_Clear", "QLP_UpdateAllViews"}), cleared);
  Run(ShowsSettings(false, false, "12"));
}

TEST_F(FlowsTest, CancelOrEscKeepsTheSettingsAndTheSeaBoxGreysTheLevelKeepingItsText) {
  OpenFourTiles();
  Run(SetsSettings(true, true, "7"));
  host::ClearCallLog();
  Run("menu " + Quoted(kSettingsItem) +
      "\nwait dialog 30700\ncheck 30701 off\ntype 30703 \"-1.5 ft\"\ncheck 30702 off\n"
      "expect enabled 30703 no\nexpect enabled 30704 no\nexpect text 30703 \"-1.5 ft\"\n"
      "check 30702 on\nexpect enabled 30703 yes\nexpect enabled 30704 yes\nclick 2\nwait gone 30700\n"
      "menu " + Quoted(kSettingsItem) + "\nwait dialog 30700\ntype 30703 99\nkey esc\nwait gone 30700\n");
  EXPECT_TRUE(Calls({"QLP_Clear", "QLP_UpdateAllViews"}).empty());
  Run(ShowsSettings(true, true, "7"));
}

TEST_F(FlowsTest, TheSeaLevelChangesTheServedSamplesAtOnce) {
  ASSERT_TRUE(WriteBytes(tiles_.File("N57E011.hgt"), RealTile()));
  ASSERT_NE(host::OpenFile(tiles_.File("N57E011.hgt")), 0u);
  // 13 m at 57.7 N 11.9 E: served as 14 above the sea, as 0 once the sea reaches it.
  Run("expect sample base 57.7 11.9 14\n" + SetsSettings(true, true, "13") +
      "expect sample base 57.7 11.9 0\n" + SetsSettings(true, false, "13") + "expect sample base 57.7 11.9 14\n");
}

// ---- Menu states, refresh and open ----

TEST_F(FlowsTest, MenuStatesFollowTheActiveMaps) {
  EXPECT_TRUE(MenuEnabled(kOpenItem));
  EXPECT_FALSE(MenuEnabled(kSettingsItem));
  EXPECT_FALSE(MenuEnabled(kRefreshItem));
  EXPECT_FALSE(MenuEnabled(kCompressItem));

  // An XEM map of one of the map sets the plug-in registered its XEM hook for: only the
  // settings apply, with the fill box locked (its fill is baked into the data); the sea
  // still works.
  const auto hooks = host::XemHooks();
  ASSERT_EQ(hooks.size(), 2u);
  host::MapDescription xem;
  xem.file = "Z:\\maps\\N57E011.xem";
  std::memcpy(xem.mapSetId, hooks[1].mapSetId, QLP_MAPSET_ID_BYTES);
  std::memcpy(xem.userId, hooks[1].userId.data(), QLP_USER_ID_BYTES);
  host::SetActiveCoverMap(host::AddMap(xem));
  EXPECT_TRUE(MenuEnabled(kSettingsItem));
  EXPECT_FALSE(MenuEnabled(kRefreshItem));
  EXPECT_FALSE(MenuEnabled(kCompressItem));
  Run("menu " + Quoted(kSettingsItem) +
      "\nwait dialog 30700\nexpect check 30701 on\nexpect enabled 30701 no\ncheck 30702 off\n"
      "expect enabled 30703 no\nexpect enabled 30701 no\nclick 1\nwait gone 30700\n");
  RunExpectingStop("menu " + Quoted(kCompressItem), 1);

  OpenFourTiles();
  EXPECT_TRUE(MenuEnabled(kSettingsItem));
  EXPECT_TRUE(MenuEnabled(kRefreshItem));
  EXPECT_TRUE(MenuEnabled(kCompressItem));
}

TEST_F(FlowsTest, RefreshClearsAndRedrawsInOrder) {
  OpenFourTiles();
  const QLP_HANDLE cover = host::AddMap(host::MapDescription{"Z:\\c.map", {}, {}});
  host::SetActiveCoverMap(cover);
  host::ClearCallLog();
  Run("menu " + Quoted(kRefreshItem));
  const std::string c = std::to_string(cover);
  EXPECT_EQ(Calls({"QLP_Clear", "QLP_UpdateAllViews"}),
            (std::vector<std::string>{"QLP_ClearMapCache " + c, "QLP_ClearViewCache " + c, "QLP_ClearAllLakeCache",
                                      "QLP_UpdateAllViews 1"}));
}

TEST_F(FlowsTest, OpenCommandOpensTheFileChosenInTheFileDialogAndCancelOpensNothing) {
  const std::string tile = tiles_.File("N57E011.hgt");
  ASSERT_TRUE(WriteBytes(tile, RealTile()));
  Run("file cancel\nmenu " + Quoted(kOpenItem) + "\n");
  EXPECT_TRUE(Calls({"QLP_OpenMap"}).empty());
  // Typed without its extension: the dialog adds the default one.
  Run("file " + Quoted(tile.substr(0, tile.size() - 4)) + "\nmenu " + Quoted(kOpenItem) + "\n");
  const auto opened = Calls({"QLP_OpenMap"});
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0].rfind("QLP_OpenMap 1 " + tile + " flag=0 ", 0), 0u) << opened[0];
  EXPECT_NE(host::ViewBaseMap(1), 0u);
#if defined(_WIN32)
  // The real dialog offered the filter's two entries, the first selected.
  EXPECT_EQ(Calls({"ui file dialog types"}).back(),
            "ui file dialog types *" + ToCp932("スペースシャトル地形データ [*.HGT] | すべて"));
#endif
}

// ---- The compression wizard ----

TEST_F(FlowsTest, OneWizardAtATimeAndAFreshOneAfterItWasClosed) {
  OpenFourTiles();
  Run("menu " + Quoted(kCompressItem) +
      "\nwait dialog 30715\nexpect main disabled\nexpect focus 30710\nexpect enabled 30706 no\n"
      "expect text 30705 " + Quoted("次へ(&N)") + "\ntype 30710 $OUT\ncheck 30718 on\n");
  // The host's menu is out of reach; the command itself answers 1 and opens nothing.
  EXPECT_EQ(host::ClickMenu(ToCp932(kCompressItem)), host::MenuClick::kMainWindowDisabled);
  for (const auto& item : host::MenuItems()) {
    if (item.callback && item.text == ToCp932(kCompressItem)) {
      EXPECT_EQ(item.callback(QLP_MSG_MENU_RUN, 0, 0), 1);
    }
  }
  Run("expect text 30710 $OUT\nkey esc\nwait gone 30715\nexpect main enabled\n"
      "menu " + Quoted(kCompressItem) + "\nwait dialog 30715\nexpect text 30710 \"\"\nexpect check 30718 off\nkey esc\n");
  EXPECT_EQ(Calls({"ui create window SrtmCompressWizard"}).size(), 2u);
}

TEST_F(FlowsTest, FolderAndReadyPagesKeepWhatTheUserDidAndEscClosesThem) {
  OpenFourTiles();
  Run("menu " + Quoted(kCompressItem) +
      "\nwait dialog 30715\nclick 30705\nexpect message " + Quoted("出力先が指定されていません.") +
      "\nexpect dialog 30715\nfolder cancel\nclick 30707\nexpect text 30710 \"\"\n"
      "folder $OUT\nclick 30707\nexpect text 30710 $OUT\ncheck 30718 on\nclick 30705\nwait dialog 30716\n"
      "expect no dialog 30715\nexpect text 30705 " + Quoted("次へ") +
      "\nexpect default 30705\nexpect focus 30705\nexpect visible 30713 no\n"
      "click 30706\nwait dialog 30715\nexpect text 30710 $OUT\nexpect check 30718 on\nexpect default 30705\n"
      "click 30705\nwait dialog 30716\nkey esc\nwait gone 30716\nexpect main enabled\n");
  const auto boxes = host::ShownMessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, ToCp932("スペースシャトル地図"));
  EXPECT_EQ(boxes[0].type & 0xF0u, 0x30u);  // the exclamation icon
  EXPECT_TRUE(XemFilesWritten().empty());
}

std::string ToRunPage() {
  return "menu " + Quoted(kCompressItem) + "\nwait dialog 30715\ntype 30710 $OUT\nclick 30705\nwait dialog 30716\n";
}

TEST_F(FlowsTest, TheBatchRunsWithItsRunningLookAndEndsOnTheFinishPage) {
  OpenFourTiles();
  Run(ToRunPage() +
      "click 30705\nwait text 30709 " + Quoted("処理対象 2/4") +
      "\nexpect text 2@30716 " + Quoted("中止") +
      "\nexpect enabled 2@30716 yes\nexpect enabled 30706@30716 no\nexpect enabled 30705@30716 no\n"
      "expect visible 30714@30716 no\nexpect visible 30713@30716 yes\nexpect main disabled\n"
      "wait dialog 30717\nexpect no dialog 30716\nexpect text 30714 " + Quoted(kResultDone) +
      "\nexpect check 30719 on\nexpect check 30708 off\nexpect enabled 30708 yes\n"
      "expect default 30705\nexpect focus 30705\nkey esc\nexpect dialog 30717\n"
      "check 30719 off\nclick 30705\nwait gone 30717\nexpect main enabled\n");
  EXPECT_EQ(XemFilesWritten().size(), 4u);
  EXPECT_TRUE(Calls({"QLP_XEM_AppendDynamicXem", "QLP_OpenMap"}).empty());
}

TEST_F(FlowsTest, AbortDuringTheSecondTileRegistersOnlyTheFirstAndDuringTheFirstNothing) {
  OpenFourTiles();
  Run(ToRunPage() + "click 30705\nwait text 30709 " + Quoted("処理対象 2/4") +
      "\nclick 2\nwait dialog 30717\nexpect text 30714 " + Quoted(kResultPartial) +
      "\nexpect check 30719 on\nexpect enabled 30708 yes\nclick 30705\nwait gone 30721\n");
  // The first tile's file, and no partial file of the second.
  const auto written = XemFilesWritten();
  ASSERT_EQ(written.size(), 1u);
  EXPECT_EQ(Calls({"QLP_XEM_AppendDynamicXem"}),
            (std::vector<std::string>{"QLP_XEM_AppendDynamicXem " + out_ + "\\" + written[0]}));
  EXPECT_EQ(Calls({"QLP_OpenMap"}).size(), 1u);

  host::ClearCallLog();
  const std::string fresh = tiles_.MakeFolder("fresh");
  host::Script user(ToRunPage() + "click 30705\nwait text 30709 " + Quoted("処理対象 1/4") +
                        "\nclick 2\nwait dialog 30717\nexpect text 30714 " + Quoted(kResultFailed) +
                        "\nexpect check 30719 off\nexpect enabled 30708 no\nclick 30705\n",
                    {{"OUT", fresh}});
  EXPECT_TRUE(user.Run()) << user.Report();
  EXPECT_FALSE(Exists(fresh + "\\N57E011.xem"));
  EXPECT_TRUE(Calls({"QLP_XEM_AppendDynamicXem", "QLP_OpenMap"}).empty());
}

TEST_F(FlowsTest, SkippingWithEveryFilePresentCompressesNothing) {
  OpenFourTiles();
  for (const char* name : {"N57E011.xem", "N57E012.xem", "N58E011.xem", "N58E012.xem"}) {
    ASSERT_TRUE(WriteBytes(out_ + "\\" + name, {1, 2, 3}));
  }
  Run(ToRunPage() + "click 30706\nwait dialog 30715\ncheck 30718 on\nclick 30705\nwait dialog 30716\nclick 30705\n"
      "wait dialog 30717\nexpect text 30714 " + Quoted(kResultFailed) + "\n");
  EXPECT_EQ(ReadBytes(out_ + "\\N57E011.xem"), (std::vector<std::uint8_t>{1, 2, 3}));
}

#if defined(_WIN32)
struct ExplorerSearch {
  std::string title;
  HWND found = nullptr;
};

BOOL CALLBACK FindExplorer(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<ExplorerSearch*>(param);
  char title[260] = {}, kind[64] = {};
  GetWindowTextA(window, title, sizeof title);
  GetClassNameA(window, kind, sizeof kind);
  if (IsWindowVisible(window) && search->title == title && std::string(kind) == "ExplorerWClass") search->found = window;
  return search->found ? FALSE : TRUE;
}

// The explorer window that ShellExecute's "explore" opened on `folder` (another process
// under Wine), closed once seen.
bool ExplorerShown(const std::string& folder) {
  ExplorerSearch search{folder.substr(folder.find_last_of('\\') + 1)};
  for (int i = 0; i < 100 && !search.found; ++i) {
    EnumWindows(FindExplorer, reinterpret_cast<LPARAM>(&search));
    if (!search.found) Sleep(50);
  }
  if (search.found) PostMessageA(search.found, WM_CLOSE, 0, 0);
  return search.found != nullptr;
}
#endif

TEST_F(FlowsTest, FinishClosesTheWizardThenRegistersWithProgressOpensTheMapsAndTheFolder) {
  OpenFourTiles();
  const QLP_HANDLE view = host::AddView(35.5, 139.25);
  host::SetActiveView(view);
  ASSERT_NE(host::OpenFile(tiles_.File("N57E011.hgt")), 0u);
  host::ClearCallLog();
  Run(ToRunPage() + "click 30705\nwait dialog 30717\ncheck 30708 on\nclick 30705\n"
      "wait progress 30713@30721 50\nexpect dialog 30721\nexpect visible 30720 no\nexpect main enabled\n"
      "wait gone 30721\n");
  // The files in the order the batch wrote them, which is the order it found the tiles.
  const auto appended = Calls({"QLP_XEM_AppendDynamicXem"});
  ASSERT_EQ(appended.size(), 4u);
  EXPECT_EQ(XemFilesWritten().size(), 4u);
  std::vector<std::string> expected = {"ui destroy window SrtmCompressWizard", "ui enable window QLPHostMain 1",
                                       "ui create dialog 30721", "ui progress dialog 30721 1"};
  for (std::size_t i = 0; i < 4; ++i) {
    expected.push_back(appended[i]);
    expected.push_back("ui progress dialog 30721 " + std::to_string(25 * (i + 1)));
  }
  auto calls = Calls({"ui destroy window", "ui enable window", "ui create dialog 30721", "ui progress dialog 30721",
                      "QLP_XEM_AppendDynamicXem", "QLP_OpenMap", "QLP_Clear", "QLP_UpdateAllViews",
                      "ui destroy dialog 30721"});
  // From the Finish click on: the wizard's window goes first.
  const auto finish = std::find(calls.begin(), calls.end(), expected[0]);
  ASSERT_NE(finish, calls.end()) << ::testing::PrintToString(calls);
  calls.erase(calls.begin(), finish);
  ASSERT_EQ(calls.size(), expected.size() + 5) << ::testing::PrintToString(calls);
  EXPECT_EQ(std::vector<std::string>(calls.begin(), calls.begin() + static_cast<long>(expected.size())), expected);
  EXPECT_EQ(calls[expected.size()].rfind("QLP_OpenMap " + std::to_string(view) + " ", 0), 0u);
  EXPECT_NE(calls[expected.size()].find("flag=1 35.500000 139.250000"), std::string::npos) << calls[expected.size()];
  EXPECT_EQ(calls[expected.size() + 2], "QLP_ClearAllViewCache");
  EXPECT_EQ(calls[expected.size() + 3], "QLP_UpdateAllViews 1");
  EXPECT_EQ(calls[expected.size() + 4], "ui destroy dialog 30721");
#if defined(_WIN32)
  EXPECT_TRUE(ExplorerShown(out_));
#else
  EXPECT_EQ(Calls({"ui ShellExecute"}), std::vector<std::string>{"ui ShellExecute explore " + out_});
#endif
}

#if defined(_WIN32)
// The real window on the real screen: one page large, centred, titled, and a reloaded
// plug-in registers its window class afresh.
TEST_F(FlowsTest, TheWizardWindowIsOnePageLargeCentredAndComesBackAfterAReload) {
  OpenFourTiles();
  Run("menu " + Quoted(kCompressItem) + "\nwait dialog 30715\n");
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
  EXPECT_EQ(GetWindowLongA(wizard, GWL_STYLE) & (WS_SYSMENU | WS_THICKFRAME | WS_CHILD), 0);
  char title[64] = {};
  GetWindowTextA(wizard, title, sizeof title);
  EXPECT_EQ(std::string(title), ToCp932("SRTMの圧縮"));
  Run("key esc\nwait gone 30715\nexpect main enabled\n");

  plugin_.Release();
  plugin_.Unload();
  host::Reset();
  ASSERT_TRUE(plugin_.Load(BinaryDir() + "/srtm.qlp")) << plugin_.error();
  PluginInfo info{};
  ASSERT_EQ(plugin_.Create(&info, host::kPluginHandle), 1);
  ASSERT_EQ(plugin_.LoadMenus(), 1);
  ASSERT_NE(host::OpenFile(tiles_.File("N57E011.hgt")), 0u);
  Run("menu " + Quoted(kCompressItem) + "\nwait dialog 30715\nexpect text 30705 " + Quoted("次へ(&N)") +
      "\nkey esc\nwait gone 30715\n");
}
#endif

}  // namespace
}  // namespace srtm::test
