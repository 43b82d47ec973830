// The stand-in host: our own PluginIf library in place of the closed one, and the
// host-side API that the host driver `qlphost` and the tests use to act as the host.
//
// PluginIf implements every QLP_ operation with believable behaviour and records what
// the plug-in registered and called. The host side below loads a plug-in from a path,
// calls its entry points and reads the record. Everything runs on the calling thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "shell/pluginif.h"

#if defined(_WIN32) && defined(PLUGINIF_BUILDING)
#define QLP_HOST_API __declspec(dllexport)
#elif defined(_WIN32)
#define QLP_HOST_API __declspec(dllimport)
#else
#define QLP_HOST_API __attribute__((visibility("default")))
#endif

namespace srtm::host {

// ---- What the plug-in registered ----

struct HookRegistration {
  std::int32_t kind = 0;  // QLP_AddHook kind; 0 for QLP_RegisterMap
  tagHOOKENTRY entry{};
};

struct XemHookRegistration {
  std::uint8_t mapSetId[QLP_MAPSET_ID_BYTES] = {};
  std::string userId;  // the 8 bytes compared by the host
  std::int32_t count = 0;
  tagSECUREOPTIONSEX options{};
  tagHOOKENTRY entry{};
};

struct UserIdInfoRegistration {
  std::string userId;
  QLP_CALLBACK callback = nullptr;
};

struct DiskLimit {
  std::string userId;
  std::int32_t limit = 0;
};

struct MenuItem {
  enum Kind { kEntry, kPopup, kChild, kSeparator };
  Kind kind = kEntry;
  QLP_HANDLE plugin = 0;
  QLP_HANDLE handle = 0;    // this item's handle (popups: what QLP_AddPopupMenu returned)
  QLP_HANDLE popup = 0;     // the popup a child item belongs to
  std::int32_t selector = 0;  // host menu of entries and popups
  std::int32_t flag = 0;    // last argument of QLP_AddPopupMenu
  std::string text;         // as the plug-in passed it (code page 932)
  QLP_CALLBACK callback = nullptr;
};

struct MapSetIdRequest {
  tagMAPSETIDINFO info{};
  std::uint8_t id[QLP_MAPSET_ID_BYTES] = {};
};

// ---- The host's own state ----

// Starts afresh: version 8040, one view (handle 1) centred on 0, 0, no maps, empty record.
QLP_HOST_API void Reset();
QLP_HOST_API void SetVersion(std::int32_t version);

QLP_HOST_API std::vector<HookRegistration> MapSourceHooks();
QLP_HOST_API std::vector<HookRegistration> Hooks(std::int32_t kind);
QLP_HOST_API std::vector<MapSetIdRequest> MapSetIdRequests();
QLP_HOST_API std::vector<XemHookRegistration> XemHooks();
QLP_HOST_API std::vector<UserIdInfoRegistration> UserIdInfos();
QLP_HOST_API std::vector<DiskLimit> DiskLimits();
QLP_HOST_API std::vector<MenuItem> MenuItems();

// Every QLP_ call in order, one line each: the operation's name and its arguments
// ("QLP_ClearMapCache 3"). Tests read the order of cache clears and redraws here.
QLP_HOST_API std::vector<std::string> CallLog();
// Hex bytes, "09 B9 30 48 01", as the call log and qlphost print them.
QLP_HOST_API std::string HexBytes(const void* data, std::size_t size);
QLP_HOST_API void ClearCallLog();

// Views and maps as the host keeps them. A map is described by the file it came from
// and, for XEM maps, its map-set and user IDs.
struct MapDescription {
  std::string file;  // plug-in path
  std::uint8_t mapSetId[QLP_MAPSET_ID_BYTES] = {};
  char userId[QLP_USER_ID_BYTES] = {};
};
QLP_HOST_API QLP_HANDLE AddMap(const MapDescription& map);
QLP_HOST_API void SetActiveBaseMap(QLP_HANDLE map);
QLP_HOST_API void SetActiveCoverMap(QLP_HANDLE map);
QLP_HOST_API QLP_HANDLE AddView(double latitude, double longitude);
QLP_HOST_API void SetActiveView(QLP_HANDLE view);

// ---- Message boxes the plug-in showed ----

// Natively the platform layer records them; on Windows the host answers real message
// boxes of its thread with their first button and records their texts and icon.
QLP_HOST_API void StartCapturingMessageBoxes();
QLP_HOST_API std::vector<platform::MessageBoxRecord> ShownMessageBoxes();
QLP_HOST_API void ClearShownMessageBoxes();

// ---- A loaded plug-in ----

class QLP_HOST_API Plugin {
 public:
  Plugin() = default;
  ~Plugin();
  Plugin(const Plugin&) = delete;
  Plugin& operator=(const Plugin&) = delete;

  // Loads the module at a path of this system and finds the five entry points.
  bool Load(const std::string& path);
  // Unloads it (without calling Release).
  void Unload();
  bool loaded() const { return module_ != nullptr; }
  const std::string& error() const { return error_; }

  std::int32_t Create(PluginInfo* info, QLP_HANDLE handle);
  std::int32_t LoadMenus();
  std::int32_t Close();
  void Release();
  std::int32_t About();

 private:
  void* module_ = nullptr;
  std::string error_;
  QLP_CreateProc create_ = nullptr;
  QLP_LoadProc load_ = nullptr;
  QLP_CloseProc close_ = nullptr;
  QLP_ReleaseProc release_ = nullptr;
  QLP_AboutProc about_ = nullptr;
};

// The handle the stand-in host gives its plug-in.
constexpr QLP_HANDLE kPluginHandle = 0x51500001;

}  // namespace srtm::host
