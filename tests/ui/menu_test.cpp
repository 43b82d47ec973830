// The menu commands as the host's user clicks them: the settings flow with its change
// test and cache calls, the sea-level conversion, the enabled states, refresh and open.
#include <algorithm>
#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "hgt/settings.h"
#include "res/resource.h"
#include "shell/menu_commands.h"
#include "shell/plugin.h"
#include "tests/support/test_support.h"
#include "tests/ui/ui_fixture.h"
#include "tests/ui/ui_texts.h"
#include "testhost/host.h"
#include "testhost/maps.h"

namespace srtm::test {
namespace {

const std::string& kOpen = kOpenItem;
const std::string& kSettings = kSettingsItem;
const std::string& kRefresh = kRefreshItem;
const std::string& kCompress = kCompressItem;

// A map of the host's own, opened from an XEM file of one of the plug-in's map sets (or
// of another publisher's).
QLP_HANDLE AddXemMap(const std::uint8_t* mapSetId, const char* userId) {
  host::MapDescription map;
  map.file = "Z:\\maps\\N57E011.xem";
  std::memcpy(map.mapSetId, mapSetId, QLP_MAPSET_ID_BYTES);
  std::memcpy(map.userId, userId, QLP_USER_ID_BYTES);
  return host::AddMap(map);
}

bool Enabled(const std::string& item) {
  bool enabled = false;
  EXPECT_TRUE(host::MenuEnabled(ToCp932(item), &enabled)) << item;
  return enabled;
}

const std::vector<std::string> kCacheCalls = {"QLP_Clear", "QLP_UpdateAllViews"};

class SettingsTest : public UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    OpenFourTiles();  // the base map is ours: the settings command applies
    cover_ = host::AddMap(host::MapDescription{"Z:\\maps\\cover.map", {}, {}});
    host::SetActiveCoverMap(cover_);
    host::ClearCallLog();
  }
  void Settings(std::int32_t fill, std::int32_t sea, std::int32_t level) {
    g_pluginSettings.fillVoids = fill;
    g_pluginSettings.seaOn = sea;
    g_pluginSettings.seaLevel = level;
  }
  void ExpectSettings(std::int32_t fill, std::int32_t sea, std::int32_t level) {
    EXPECT_EQ(g_pluginSettings.fillVoids, fill);
    EXPECT_EQ(g_pluginSettings.seaOn, sea);
    EXPECT_EQ(g_pluginSettings.seaLevel, level);
  }
  std::vector<std::string> ClearedOnce() const {
    const std::string cover = std::to_string(cover_);
    return {"QLP_ClearMapCache " + cover, "QLP_ClearAllViewCache", "QLP_ClearAllLakeCache", "QLP_UpdateAllViews 1"};
  }
  // Opens the dialog, does `steps`, and presses OK.
  void EditAndOk(const std::string& steps) {
    Run("menu " + Quoted(kSettings) + "\nwait dialog 30700\n" + steps + "\nclick 1\nwait gone 30700\n");
  }

  QLP_HANDLE cover_ = 0;
};

TEST_F(SettingsTest, TheDialogShowsTheSettingsWithOkFocusedAndTheOwnerDisabled) {
  Settings(1, 0, -3);
  Run("menu " + Quoted(kSettings) +
      "\nexpect check 30701 on\nexpect check 30702 off\nexpect text 30703 -3\n"
      "expect enabled 30701 yes\nexpect enabled 30703 no\nexpect enabled 30704 no\n"
      "expect focus 1\nexpect default 1\nexpect main disabled\nkey enter\nwait gone 30700\nexpect main enabled\n");
  EXPECT_TRUE(Calls(kCacheCalls).empty());
}

// OK stores the dialog's values whether they changed or not; the caches are cleared,
// once and in order, only when one of the three changed.
TEST_F(SettingsTest, OkStoresTheValuesAndClearsTheCachesOnlyOnAChange) {
  struct Case {
    const char* name;
    std::int32_t before[3];
    const char* steps;
    std::int32_t after[3];
    bool cleared;
  } cases[] = {
      {"no change", {1, 1, 0}, "", {1, 1, 0}, false},
      {"level 0 to 10", {1, 1, 0}, "type 30703 10", {1, 1, 10}, true},
      {"fill off", {1, 1, 0}, "check 30701 off", {0, 1, 0}, true},
      {"sea off", {0, 1, 0}, "check 30702 off", {0, 0, 0}, true},
      {"letters at level 0", {1, 1, 0}, "type 30703 abc", {1, 1, 0}, false},
      {"letters at level 5", {1, 1, 5}, "type 30703 abc", {1, 1, 0}, true},
      {"a blank, digits and a unit", {1, 1, 0}, "type 30703 \" 12m\"", {1, 1, 12}, true},
      {"the same number written otherwise", {1, 1, 12}, "type 30703 +012", {1, 1, 12}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Settings(c.before[0], c.before[1], c.before[2]);
    host::ClearCallLog();
    EditAndOk(c.steps);
    ExpectSettings(c.after[0], c.after[1], c.after[2]);
    EXPECT_EQ(Calls(kCacheCalls), c.cleared ? ClearedOnce() : std::vector<std::string>{});
  }
}

TEST_F(SettingsTest, CancelOrEscKeepsAllThreeValuesWhateverWasChanged) {
  Settings(1, 1, 7);
  Run("menu " + Quoted(kSettings) +
      "\ncheck 30701 off\ntype 30703 99\ncheck 30702 off\nclick 2\nwait gone 30700\n");
  ExpectSettings(1, 1, 7);
  Run("menu " + Quoted(kSettings) + "\ncheck 30701 off\ntype 30703 99\nkey esc\nwait gone 30700\n");
  ExpectSettings(1, 1, 7);
  EXPECT_TRUE(Calls(kCacheCalls).empty());
}

TEST_F(SettingsTest, TheSeaBoxEnablesAndDisablesTheLevelAndItsLabelKeepingTheText) {
  Settings(1, 0, 4);
  Run("menu " + Quoted(kSettings) +
      "\ncheck 30702 on\nexpect enabled 30703 yes\nexpect enabled 30704 yes\n"
      "type 30703 \"-1.5 ft\"\ncheck 30702 off\nexpect enabled 30703 no\nexpect enabled 30704 no\n"
      "expect text 30703 \"-1.5 ft\"\ncheck 30702 on\nclick 1\n");
  ExpectSettings(1, 1, -1);
}

TEST_F(SettingsTest, AnXemMapOfOursLocksTheFillBoxButNotTheSea) {
  host::SetActiveCoverMap(AddXemMap(SRTM3_MAPSET_ID, PUBLISHER_ID));
  Settings(1, 1, 0);
  Run("menu " + Quoted(kSettings) +
      "\nexpect check 30701 on\nexpect enabled 30701 no\n"
      "check 30702 off\nexpect enabled 30703 no\ncheck 30702 on\nexpect enabled 30701 no\n"
      "check 30702 off\nclick 1\n");
  ExpectSettings(1, 0, 0);
  // The user cannot change the greyed box: the script stops there, and the dialog left
  // open is closed as a user would close it, changing nothing.
  RunExpectingStop("menu " + Quoted(kSettings) + "\ncheck 30701 off\n", 2);
  ExpectSettings(1, 0, 0);
  const auto events = ui::headless::Store().Events();
  EXPECT_NE(std::find(events.begin(), events.end(), "modal 30700 left open by the user"), events.end());
}

TEST(SeaLevelText, ConvertsLikeTheHostsUsersExpect) {
  struct Case {
    const char* text;
    std::int32_t level;
  } cases[] = {
      {"", 0},          {"abc", 0},        {"0", 0},          {" 12m", 12},          {"\t-7", -7},
      {"+3", 3},        {"1.5", 1},        {"- 4", 0},        {"12 34", 12},         {"2147483647", INT32_MAX},
      {"-2147483648", INT32_MIN},          {"99999999999", INT32_MAX},             {"-99999999999", INT32_MIN},
      {"000000000000000000000042", 42},
  };
  for (const Case& c : cases) EXPECT_EQ(SeaLevelFromText(c.text), c.level) << "\"" << c.text << "\"";
}

// ---- Enabled states ----

class MenuTest : public UiTest {};

TEST_F(MenuTest, WithoutAnyMapOnlyOpenIsEnabled) {
  EXPECT_TRUE(Enabled(kOpen));
  EXPECT_FALSE(Enabled(kSettings));
  EXPECT_FALSE(Enabled(kRefresh));
  EXPECT_FALSE(Enabled(kCompress));
}

TEST_F(MenuTest, AnXemMapOfOursWithoutHgtMapEnablesOnlySettings) {
  host::SetActiveCoverMap(AddXemMap(SRTM1_MAPSET_ID, PUBLISHER_ID));
  EXPECT_EQ(IsActiveMapOurs(), 1);
  EXPECT_TRUE(Enabled(kOpen));
  EXPECT_TRUE(Enabled(kSettings));
  EXPECT_FALSE(Enabled(kRefresh));
  EXPECT_FALSE(Enabled(kCompress));
  RunExpectingStop("menu " + Quoted(kCompress), 1);
}

TEST_F(MenuTest, XemMapsOfOtherMapSetsOrPublishersAreNotOurs) {
  const std::uint8_t other[QLP_MAPSET_ID_BYTES] = {0x09, 0xB8, 0x74, 0x48, 0x04};
  host::SetActiveCoverMap(AddXemMap(other, PUBLISHER_ID));
  EXPECT_EQ(IsActiveMapOurs(), 0);
  host::SetActiveCoverMap(AddXemMap(SRTM3_MAPSET_ID, "ZOZORUDA"));
  EXPECT_EQ(IsActiveMapOurs(), 0);
  EXPECT_FALSE(Enabled(kSettings));
}

TEST_F(MenuTest, AnOpenTileEnablesEverything) {
  OpenFourTiles();
  EXPECT_TRUE(Enabled(kSettings));
  EXPECT_TRUE(Enabled(kRefresh));
  EXPECT_TRUE(Enabled(kCompress));
  // A query with no place for its answer writes nothing.
  EXPECT_EQ(RefreshCommand(QLP_MSG_MENU_QUERY_ENABLED, 0, 0), 0);
}

TEST_F(MenuTest, RefreshClearsAndRedrawsInOrder) {
  OpenFourTiles();
  const QLP_HANDLE cover = host::AddMap(host::MapDescription{"Z:\\c.map", {}, {}});
  host::SetActiveCoverMap(cover);
  host::ClearCallLog();
  Run("menu " + Quoted(kRefresh));
  const std::string c = std::to_string(cover);
  EXPECT_EQ(Calls(kCacheCalls), (std::vector<std::string>{"QLP_ClearMapCache " + c, "QLP_ClearViewCache " + c,
                                                           "QLP_ClearAllLakeCache", "QLP_UpdateAllViews 1"}));
}

TEST_F(MenuTest, UnknownMessagesAreAnswered0AndDoNothing) {
  for (auto command : {OpenCommand, SettingsCommand, RefreshCommand, CompressCommand}) {
    EXPECT_EQ(command(102, 0, 0), 0);
  }
  EXPECT_TRUE(host::CallLog().empty());
  EXPECT_TRUE(ui::headless::Store().VisibleDialogs().empty());
}

// ---- The open command and its file dialog ----

TEST_F(MenuTest, OpenShowsTheTileFilterAndOpensTheChosenFile) {
  const std::string tile = tiles_.File("N57E011.hgt");
  ASSERT_TRUE(WriteBytes(tile, RealTile()));
  const std::string typed = tile.substr(0, tile.size() - 4);  // typed without its extension
  Run("file " + Quoted(typed) + "\nmenu " + Quoted(kOpen));
  const auto shown = ui::headless::Store().FileDialogsShown();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_TRUE(shown[0].open);
  EXPECT_EQ(shown[0].flags, 0x80006u);
  EXPECT_EQ(shown[0].filterIndex, 1u);
  EXPECT_EQ(shown[0].filters, (std::vector<std::string>{ToCp932("スペースシャトル地形データ [*.HGT]"), "*.HGT",
                                                         ToCp932("すべて"), "*.*"}));
  EXPECT_EQ(shown[0].defaultExtension, "hgt");
  EXPECT_EQ(shown[0].initialName, "");
  EXPECT_EQ(shown[0].maxFile, 260u);
  EXPECT_EQ(shown[0].owner, host::MainWindow());
  const auto opened = Calls({"QLP_OpenMap"});
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0].rfind("QLP_OpenMap 1 " + tile + " flag=0 ", 0), 0u) << opened[0];
  EXPECT_NE(host::ViewBaseMap(1), 0u);
}

TEST_F(MenuTest, CancellingTheOpenDialogOpensNothing) {
  Run("file cancel\nmenu " + Quoted(kOpen));
  EXPECT_TRUE(Calls({"QLP_OpenMap"}).empty());
  EXPECT_EQ(ui::headless::Store().FileDialogsShown().size(), 1u);
}

}  // namespace
}  // namespace srtm::test
