#include "shell/menu_commands.h"

#include <cctype>
#include <climits>
#include <cstring>
#include <cstdio>
#include <new>
#include <string>

#include "hgt/settings.h"
#include "platform/platform.h"
#include "res/srtm_texts.h"
#include "shell/map_source_hook.h"
#include "shell/plugin.h"
#include "ui/compress_wizard.h"
#include "ui/file_dialog.h"
#include "ui/settings_dialog.h"

namespace srtm {
namespace {

// The one wizard; the slot owns it.
ui::CompressWizard* g_wizard = nullptr;
// The path last chosen with the open command; the host keeps a pointer to it.
std::string g_openPath;

void AnswerEnabled(QLP_DATA data, bool enabled) {
  if (data) *reinterpret_cast<std::int32_t*>(data) = enabled ? 1 : 0;
}

bool ActiveBaseMapIsOurs() { return IsOurTileMap(QLP_GetActiveBaseMap()); }

// A wizard whose window is gone is deleted, unless one of its handlers is still on the
// stack (a batch pumping the host's messages): it stays until that has returned.
void FreeFinishedWizard() {
  if (g_wizard && !g_wizard->HasWindow() && !g_wizard->InUse()) {
    delete g_wizard;
    g_wizard = nullptr;
  }
}

// Runs a command's work so that no exception reaches the host: a memory failure is
// reported and the command answers 0.
template <typename Work>
std::int32_t Guarded(Work&& work) {
  try {
    return work();
  } catch (const std::bad_alloc&) {
    platform::ShowMessageBox(QLP_GetMainWnd(), kTextNoMemory, kTextMessageCaption,
                             platform::kMbOk | platform::kMbIconError);
  } catch (...) {
  }
  return 0;
}

void OpenChosenFile() {
  ui::FileDialog dialog(1, "hgt", "", ui::kOfnHideReadOnly | ui::kOfnOverwritePrompt, kTextOpenFilter,
                        QLP_GetMainWnd());
  if (dialog.Run() != ui::kIdOk) return;
  g_openPath = dialog.GetPathName();
  tagOPENMAPINFO info;
  std::memset(&info, 0, sizeof info);
  info.size = sizeof info;
  info.path = g_openPath.c_str();
  info.positionFlag = 0;
  QLP_OpenMap(QLP_GetActiveView(), &info);
}

void EditSettings() {
  PluginSettings& settings = g_pluginSettings;
  ui::SettingsDialog dialog(QLP_GetMainWnd());
  dialog.fillVoids = settings.fillVoids;
  dialog.seaOn = settings.seaOn;
  char level[16];
  std::snprintf(level, sizeof level, "%d", static_cast<int>(settings.seaLevel));
  dialog.seaLevelText = level;
  dialog.lockFillVoids = IsActiveMapOurs();
  if (dialog.DoModal() != ui::kIdOk) return;

  const std::int32_t seaLevel = SeaLevelFromText(dialog.seaLevelText.c_str());
  const bool changed =
      dialog.fillVoids != settings.fillVoids || dialog.seaOn != settings.seaOn || seaLevel != settings.seaLevel;
  settings.fillVoids = dialog.fillVoids;
  settings.seaOn = dialog.seaOn;
  settings.seaLevel = seaLevel;
  if (changed) {
    // The host asks for its samples again, and they pass through the new settings.
    QLP_ClearMapCache(QLP_GetActiveCoverMap());
    QLP_ClearAllViewCache();
    QLP_ClearAllLakeCache();
    QLP_UpdateAllViews(1);
  }
}

}  // namespace

std::int32_t SeaLevelFromText(const char* text) {
  if (!text) return 0;
  const char* p = text;
  while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\v' || *p == '\f' || *p == '\r') ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  long long value = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    value = value * 10 + (*p - '0');
    if (value > static_cast<long long>(INT32_MAX) + 1) value = static_cast<long long>(INT32_MAX) + 1;
  }
  if (negative) value = -value;
  if (value > INT32_MAX) value = INT32_MAX;
  return static_cast<std::int32_t>(value);
}

std::int32_t IsActiveMapOurs() {
  std::uint8_t mapSetId[QLP_MAPSET_ID_BYTES] = {};
  char userId[QLP_USER_ID_BYTES] = {};
  QLP_GetMapSetID(QLP_GetActiveCoverMap(), mapSetId);
  QLP_GetUserID(QLP_GetActiveCoverMap(), userId);
  const bool publisher = QLP_CompareID(userId, PUBLISHER_ID, QLP_USER_ID_BYTES) == 0;
  const bool srtm1 = QLP_CompareID(mapSetId, SRTM1_MAPSET_ID, QLP_MAPSET_ID_BYTES) == 0;
  const bool srtm3 = QLP_CompareID(mapSetId, SRTM3_MAPSET_ID, QLP_MAPSET_ID_BYTES) == 0;
  return (srtm1 && publisher) || (srtm3 && publisher) ? 1 : 0;
}

std::int32_t QLPAPI OpenCommand(std::int32_t message, std::uint32_t, QLP_DATA data) {
  return Guarded([&]() -> std::int32_t {
    if (message == QLP_MSG_MENU_RUN) OpenChosenFile();
    if (message == QLP_MSG_MENU_QUERY_ENABLED) AnswerEnabled(data, true);
    return 0;
  });
}

std::int32_t QLPAPI SettingsCommand(std::int32_t message, std::uint32_t, QLP_DATA data) {
  return Guarded([&]() -> std::int32_t {
    if (message == QLP_MSG_MENU_RUN) EditSettings();
    if (message == QLP_MSG_MENU_QUERY_ENABLED) AnswerEnabled(data, ActiveBaseMapIsOurs() || IsActiveMapOurs());
    return 0;
  });
}

std::int32_t QLPAPI RefreshCommand(std::int32_t message, std::uint32_t, QLP_DATA data) {
  return Guarded([&]() -> std::int32_t {
    if (message == QLP_MSG_MENU_RUN) {
      QLP_ClearMapCache(QLP_GetActiveCoverMap());
      QLP_ClearViewCache(QLP_GetActiveCoverMap());
      QLP_ClearAllLakeCache();
      QLP_UpdateAllViews(1);
    }
    if (message == QLP_MSG_MENU_QUERY_ENABLED) AnswerEnabled(data, ActiveBaseMapIsOurs());
    return 0;
  });
}

std::int32_t QLPAPI CompressCommand(std::int32_t message, std::uint32_t, QLP_DATA data) {
  return Guarded([&]() -> std::int32_t {
    if (message == QLP_MSG_MENU_RUN) {
      // One wizard at a time; one whose window is gone but whose batch still returns
      // counts as open.
      if (g_wizard && (g_wizard->HasWindow() || g_wizard->InUse())) return 1;
      FreeFinishedWizard();
      g_wizard = new ui::CompressWizard();
      g_wizard->Open(QLP_GetMainWnd());
    }
    if (message == QLP_MSG_MENU_QUERY_ENABLED) {
      FreeFinishedWizard();
      AnswerEnabled(data, ActiveBaseMapIsOurs());
    }
    return 0;
  });
}

void ReleaseFinishedWizard() { FreeFinishedWizard(); }

ui::CompressWizard* CurrentWizard() { return g_wizard; }

}  // namespace srtm
