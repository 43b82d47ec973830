#include "shell/plugin.h"

#include <cstring>

#include "platform/platform.h"
#include "res/srtm_texts.h"
#include "shell/map_source_hook.h"
#include "shell/menu_commands.h"
#include "shell/xem_hook.h"

namespace srtm {

const char PUBLISHER_ID[9] = "ZOZORUDO";
std::uint8_t SRTM1_MAPSET_ID[QLP_MAPSET_ID_BYTES];
std::uint8_t SRTM3_MAPSET_ID[QLP_MAPSET_ID_BYTES];
QLP_HANDLE g_pluginHandle;

namespace {

tagHOOKENTRY HookEntry(QLP_CALLBACK callback) {
  tagHOOKENTRY entry{};
  entry.size = sizeof(tagHOOKENTRY);
  entry.context = g_pluginHandle;
  entry.callback = callback;
  entry.reserved = 0;
  return entry;
}

// The seven values that a map-set ID packs; the converter writes the same ones into
// the header of every XEM file of the kind, so the host's IDs match the files'.
tagMAPSETIDINFO MapSetInfo(std::int32_t seriesCode, std::int32_t kind) {
  tagMAPSETIDINFO info{};
  info.size = sizeof(tagMAPSETIDINFO);
  info.idGroup = 0;
  info.regionCode = 622;  // "xx"
  info.seriesCode = seriesCode;
  info.idFieldD = 1;
  info.idFieldE = 1;
  info.idFieldF = 0;
  info.idKind = kind;
  info.reserved = 0;
  return info;
}

// Copies a text with its terminator; the record's fields are sized for the texts.
template <std::size_t N, std::size_t M>
void CopyText(char (&field)[N], const char (&text)[M]) {
  static_assert(M <= N, "text does not fit its field");
  std::memcpy(field, text, M);
}

}  // namespace

std::int32_t Create(PluginInfo* info, QLP_HANDLE plugin) {
  g_pluginHandle = plugin;
  if (QLP_GetVersion() < HOST_VERSION_MIN) {
    platform::ShowMessageBox(nullptr, kTextVersionTooOld, kTextMessageCaption, platform::kMbOk | platform::kMbIconInformation);
    return 0;
  }

  // Only the size, the integer at 276 and the three texts with their terminators are
  // ours; every other byte of the record keeps what the host put there.
  info->size = sizeof(PluginInfo);
  info->reserved = 0;
  CopyText(info->title, kTextPluginTitle);
  CopyText(info->version, kTextPluginVersion);
  CopyText(info->notice, kTextCopyright);

  // The host's answers to the registrations are not examined: a refusal does not stop Create.
  tagHOOKENTRY mapSource = HookEntry(MapSourceHook);
  QLP_RegisterMap(&mapSource);
  tagHOOKENTRY open = HookEntry(OpenHook);
  QLP_AddHook(QLP_HOOK_KIND_OPEN, &open);

  tagMAPSETIDINFO srtm1 = MapSetInfo(9 * 8 + 4, 1);
  QLP_MakeMapSetID(SRTM1_MAPSET_ID, &srtm1);
  tagMAPSETIDINFO srtm3 = MapSetInfo(3 * 8 + 5, 3);
  QLP_MakeMapSetID(SRTM3_MAPSET_ID, &srtm3);

  for (const std::uint8_t* id : {SRTM1_MAPSET_ID, SRTM3_MAPSET_ID}) {
    tagSECUREOPTIONSEX options;
    std::memset(&options, 0, sizeof options);
    options.size = sizeof options;
    tagHOOKENTRY xem = HookEntry(XemHook);
    QLP_AddXemHookEx(id, PUBLISHER_ID, 1, options, &xem);
  }
  QLP_AddUserIDInfo(PUBLISHER_ID, PublisherInfoCallback);
  QLP_SetMapsetDiskLimit(PUBLISHER_ID, -1);
  return 1;
}

std::int32_t Load() {
  QLP_AddMenu(g_pluginHandle, 32, kTextMenuOpen, OpenCommand);
  QLP_HANDLE popup = QLP_AddPopupMenu(g_pluginHandle, 10, kTextMenuPopup, 1);
  QLP_AddChildMenu(g_pluginHandle, popup, kTextMenuSettings, SettingsCommand);
  QLP_AddChildMenu(g_pluginHandle, popup, kTextMenuRefresh, RefreshCommand);
  QLP_AddChildMenu(g_pluginHandle, popup, nullptr, nullptr);
  QLP_AddChildMenu(g_pluginHandle, popup, kTextMenuCompress, CompressCommand);
  return 1;
}

std::int32_t Close() { return 1; }

void Release() {
  ReleaseFinishedWizard();
  ReleaseAllTiles();
}

std::int32_t About() {
  return platform::ShowMessageBox(nullptr, kTextAbout, kTextMessageCaption, platform::kMbOk | platform::kMbIconInformation);
}

}  // namespace srtm
