// The plug-in as the host sees it: loaded from srtm.qlp, driven through its five
// exports and the stand-in host's record of what it registered.
#include <cstring>
#include <vector>

#include "gtest/gtest.h"
#include "res/srtm_version.h"
#include "shell/pluginif.h"
#include "testhost/host.h"
#include "tests/support/test_support.h"

namespace srtm {
namespace {

using host::MenuItem;

constexpr std::uint8_t kFill = 0xCD;  // the host's fill pattern of the record
const std::uint8_t kSrtm1Id[5] = {0x09, 0xB9, 0x30, 0x48, 0x01};
const std::uint8_t kSrtm3Id[5] = {0x09, 0xB8, 0x74, 0x48, 0x03};

class PluginTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host::Reset();
    host::StartCapturingMessageBoxes();
    host::ClearShownMessageBoxes();
    ASSERT_TRUE(plugin_.Load(test::BinaryDir() + "/srtm.qlp")) << plugin_.error();
    std::memset(bytes_, kFill, sizeof bytes_);
  }
  void TearDown() override {
    plugin_.Release();
    plugin_.Unload();
  }

  std::int32_t Create() { return plugin_.Create(reinterpret_cast<PluginInfo*>(bytes_), host::kPluginHandle); }

  // The record as raw bytes, so the binding offsets are checked, not the struct's.
  alignas(8) std::uint8_t bytes_[280];
  host::Plugin plugin_;
};

std::int32_t Int32At(const std::uint8_t* p) {
  std::int32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

// The bytes of a NUL-terminated text written at `offset`, up to the terminator.
std::string TextAt(const std::uint8_t* record, std::size_t offset, std::size_t field) {
  const char* p = reinterpret_cast<const char*>(record + offset);
  return std::string(p, strnlen(p, field));
}

TEST_F(PluginTest, RefusesHostOlderThan8040WithMessageAndUntouchedRecord) {
  host::SetVersion(8039);
  EXPECT_EQ(Create(), 0);

  for (std::uint8_t b : bytes_) ASSERT_EQ(b, kFill);
  EXPECT_TRUE(host::MapSourceHooks().empty());
  EXPECT_TRUE(host::XemHooks().empty());
  EXPECT_TRUE(host::MapSetIdRequests().empty());

  auto boxes = host::ShownMessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, test::ToCp932("スペースシャトル地図プラグイン\nクエルマーのバージョンが古いため"
                                          "このプラグインは使用できません."));
  EXPECT_EQ(boxes[0].type & 0xF0u, 0x40u);  // information icon
}

TEST_F(PluginTest, AcceptsHost8040AndFillsOnlyItsOwnBytesOfTheRecord) {
  host::SetVersion(8040);
  ASSERT_EQ(Create(), 1);
  EXPECT_TRUE(host::ShownMessageBoxes().empty());

  EXPECT_EQ(Int32At(bytes_), 280);
  EXPECT_EQ(Int32At(bytes_ + 276), 0);
  const std::string title = test::ToCp932("スペースシャトル地図プラグイン");
  EXPECT_EQ(TextAt(bytes_, 4, 80), title);
  EXPECT_EQ(TextAt(bytes_, 84, 30), SRTM_VERSION_TEXT);  // the project's version
  const std::string notice = TextAt(bytes_, 114, 162);
  EXPECT_FALSE(notice.empty());
  ASSERT_LT(notice.size(), 162u);

  // Every byte that is not the size, the integer at 276 or a text with its terminator
  // keeps the host's pattern.
  std::vector<bool> owned(280, false);
  for (int i = 0; i < 4; ++i) owned[i] = owned[276 + i] = true;
  for (std::size_t i = 0; i <= title.size(); ++i) owned[4 + i] = true;
  for (std::size_t i = 0; i <= 5; ++i) owned[84 + i] = true;
  for (std::size_t i = 0; i <= notice.size(); ++i) owned[114 + i] = true;
  for (int i = 0; i < 280; ++i) {
    if (!owned[i]) {
      EXPECT_EQ(bytes_[i], kFill) << "byte " << i;
    }
  }
  EXPECT_EQ(bytes_[4 + title.size()], 0);
  EXPECT_EQ(bytes_[84 + 5], 0);
  EXPECT_EQ(bytes_[114 + notice.size()], 0);
}

TEST_F(PluginTest, RegistersHooksMapSetsAndPublisherInOrder) {
  ASSERT_EQ(Create(), 1);

  auto mapSources = host::MapSourceHooks();
  ASSERT_EQ(mapSources.size(), 1u);
  EXPECT_EQ(mapSources[0].entry.size, static_cast<std::int32_t>(sizeof(tagHOOKENTRY)));  // 16 on Windows
  EXPECT_EQ(mapSources[0].entry.context, host::kPluginHandle);
  EXPECT_EQ(mapSources[0].entry.reserved, 0);
  auto openHooks = host::Hooks(QLP_HOOK_KIND_OPEN);
  ASSERT_EQ(openHooks.size(), 1u);
  EXPECT_EQ(openHooks[0].entry.context, host::kPluginHandle);

  auto requests = host::MapSetIdRequests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(0, std::memcmp(requests[0].id, kSrtm1Id, 5));
  EXPECT_EQ(0, std::memcmp(requests[1].id, kSrtm3Id, 5));
  for (const auto& r : requests) {
    EXPECT_EQ(r.info.size, 36);
    EXPECT_EQ(r.info.idGroup, 0);
    EXPECT_EQ(r.info.regionCode, 622);
    EXPECT_EQ(r.info.idFieldD, 1);
    EXPECT_EQ(r.info.idFieldE, 1);
    EXPECT_EQ(r.info.idFieldF, 0);
    EXPECT_EQ(r.info.reserved, 0);
  }
  EXPECT_EQ(requests[0].info.seriesCode, 76);
  EXPECT_EQ(requests[0].info.idKind, 1);
  EXPECT_EQ(requests[1].info.seriesCode, 29);
  EXPECT_EQ(requests[1].info.idKind, 3);

  auto xemHooks = host::XemHooks();
  ASSERT_EQ(xemHooks.size(), 2u);
  EXPECT_EQ(0, std::memcmp(xemHooks[0].mapSetId, kSrtm1Id, 5));
  EXPECT_EQ(0, std::memcmp(xemHooks[1].mapSetId, kSrtm3Id, 5));
  for (const auto& hook : xemHooks) {
    EXPECT_EQ(hook.userId, "ZOZORUDO");
    EXPECT_EQ(hook.count, 1);
    EXPECT_EQ(hook.entry.size, static_cast<std::int32_t>(sizeof(tagHOOKENTRY)));
    EXPECT_EQ(hook.entry.context, host::kPluginHandle);
    const auto* options = reinterpret_cast<const std::uint8_t*>(&hook.options);
    for (int i = 4; i < 24; ++i) EXPECT_EQ(options[i], 0) << "options byte " << i;
  }

  auto infos = host::UserIdInfos();
  ASSERT_EQ(infos.size(), 1u);
  EXPECT_EQ(infos[0].userId, "ZOZORUDO");
  auto limits = host::DiskLimits();
  ASSERT_EQ(limits.size(), 1u);
  EXPECT_EQ(limits[0].userId, "ZOZORUDO");
  EXPECT_EQ(limits[0].limit, -1);

  // The two map-set IDs are made before the XEM hooks are registered for them.
  auto log = host::CallLog();
  std::vector<std::string> order;
  for (const auto& line : log) order.push_back(line.substr(0, line.find(' ')));
  std::vector<std::string> expected = {"QLP_GetVersion",   "QLP_RegisterMap",   "QLP_AddHook",
                                       "QLP_MakeMapSetID", "QLP_MakeMapSetID",  "QLP_AddXemHookEx",
                                       "QLP_AddXemHookEx", "QLP_AddUserIDInfo", "QLP_SetMapsetDiskLimit"};
  EXPECT_EQ(order, expected);
}

TEST_F(PluginTest, LoadAddsOneEntryAndOnePopupWithThreeCommandsAndASeparator) {
  ASSERT_EQ(Create(), 1);
  EXPECT_EQ(plugin_.LoadMenus(), 1);

  auto items = host::MenuItems();
  ASSERT_EQ(items.size(), 6u);
  EXPECT_EQ(items[0].kind, MenuItem::kEntry);
  EXPECT_EQ(items[0].selector, 32);
  EXPECT_EQ(items[0].text, test::ToCp932("スペースシャトル地図(&H)"));
  EXPECT_NE(items[0].callback, nullptr);
  EXPECT_EQ(items[1].kind, MenuItem::kPopup);
  EXPECT_EQ(items[1].selector, 10);
  EXPECT_EQ(items[1].flag, 1);
  EXPECT_EQ(items[1].text, test::ToCp932("スペースシャトル地図"));

  const char* children[] = {"地形データ設定...(&S)", "地形データ更新(&R)", nullptr, "地形データ圧縮(&C)"};
  for (int i = 0; i < 4; ++i) {
    const MenuItem& item = items[2 + i];
    EXPECT_EQ(item.popup, items[1].handle);
    EXPECT_EQ(item.plugin, host::kPluginHandle);
    if (children[i]) {
      EXPECT_EQ(item.kind, MenuItem::kChild);
      EXPECT_EQ(item.text, test::ToCp932(children[i]));
      EXPECT_NE(item.callback, nullptr);
    } else {
      EXPECT_EQ(item.kind, MenuItem::kSeparator);
      EXPECT_EQ(item.callback, nullptr);
    }
  }
}

TEST_F(PluginTest, CloseDoesNothingAndAboutShowsVersion) {
  ASSERT_EQ(Create(), 1);
  host::ClearCallLog();
  EXPECT_EQ(plugin_.Close(), 1);
  EXPECT_TRUE(host::CallLog().empty());

  host::ClearShownMessageBoxes();
  EXPECT_EQ(plugin_.About(), 1);  // IDOK
  auto boxes = host::ShownMessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  const std::string prefix = test::ToCp932("スペースシャトル地図プラグイン [Ver " SRTM_VERSION_TEXT "] ");
  EXPECT_EQ(boxes[0].text.substr(0, prefix.size()), prefix);
  EXPECT_GT(boxes[0].text.size(), prefix.size());
  EXPECT_EQ(boxes[0].type & 0xF0u, 0x40u);
}

// Calls the XEM hook the plug-in registered with samples decoded from a file of its own
// (header flags 7) and returns them.
std::vector<std::uint16_t> ThroughXemHook(std::vector<std::uint16_t> samples) {
  auto hooks = host::XemHooks();
  if (hooks.empty()) return {};
  std::uint8_t header[308] = {};
  header[262] = 7;
  XemSampleRecord record{};
  record.header = header;
  record.byteCount = static_cast<std::int32_t>(samples.size() * 2);
  record.samples = samples.data();
  EXPECT_EQ(hooks[0].entry.callback(QLP_MSG_XEM_SAMPLES, 0, reinterpret_cast<QLP_DATA>(&record)),
            record.byteCount);
  return samples;
}

TEST_F(PluginTest, ModuleLoadedAgainStartsWithSeaOnAtLevelZero) {
  ASSERT_EQ(Create(), 1);
  const std::vector<std::uint16_t> atLoad = {35536, 1, 65535};
  EXPECT_EQ(ThroughXemHook({0, 1, 65535}), atLoad);

  plugin_.Release();
  plugin_.Unload();
  host::Reset();
  ASSERT_TRUE(plugin_.Load(test::BinaryDir() + "/srtm.qlp"));
  ASSERT_EQ(Create(), 1);
  EXPECT_EQ(ThroughXemHook({0, 1, 65535}), atLoad);
}

TEST_F(PluginTest, PublisherAndOptionsRecordsAtTheirOffsets) {
  ASSERT_EQ(Create(), 1);
  auto infos = host::UserIdInfos();
  ASSERT_EQ(infos.size(), 1u);
  PublisherInfoRecord publisher{};
  EXPECT_EQ(infos[0].callback(QLP_MSG_PUBLISHER_INFO, 0, reinterpret_cast<QLP_DATA>(&publisher)), 0);
  ASSERT_NE(publisher.dataSetName, nullptr);
  EXPECT_EQ(std::string(publisher.dataSetName), test::ToCp932("スペースシャトル地形データ"));
  ASSERT_NE(publisher.publisherName, nullptr);

  std::vector<std::uint8_t> options(272, kFill);
  auto hooks = host::XemHooks();
  ASSERT_FALSE(hooks.empty());
  EXPECT_EQ(hooks[0].entry.callback(QLP_MSG_XEM_OPTIONS, 0, reinterpret_cast<QLP_DATA>(options.data())), 0);
  EXPECT_EQ(Int32At(&options[0]), 1);
  EXPECT_EQ(Int32At(&options[268]), 0);
  for (int i = 4; i < 268; ++i) ASSERT_EQ(options[i], kFill);
}

}  // namespace
}  // namespace srtm
