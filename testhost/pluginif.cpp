// The QLP_ operations of the stand-in PluginIf library.
#include <cstdio>
#include <cstring>

#include "testhost/host_state.h"
#include "testhost/maps.h"
#include "testhost/xem_maps.h"
#include "xem/mapset_id.h"

using srtm::host::Log;
using srtm::host::State;

namespace {
std::string Text(const char* text) { return text ? text : "(null)"; }
}  // namespace

extern "C" {

int32_t QLPAPI QLP_GetVersion(void) {
  Log("QLP_GetVersion");
  return State().version;
}

int32_t QLPAPI QLP_RegisterMap(tagHOOKENTRY* entry) {
  Log("QLP_RegisterMap size=%d", entry ? entry->size : -1);
  if (!entry || entry->size != sizeof(tagHOOKENTRY) || !entry->callback) return 0;
  State().hooks.push_back({0, *entry});
  return 1;
}

int32_t QLPAPI QLP_AddHook(int32_t kind, tagHOOKENTRY* entry) {
  Log("QLP_AddHook kind=%d", kind);
  if (!entry || entry->size != sizeof(tagHOOKENTRY) || !entry->callback || kind <= 0) return 0;
  State().hooks.push_back({kind, *entry});
  return 1;
}

// The host packs the record's seven values exactly as an XEM header's map-set ID does.
int32_t QLPAPI QLP_MakeMapSetID(uint8_t* id, tagMAPSETIDINFO* info) {
  if (!id || !info || info->size != sizeof(tagMAPSETIDINFO)) {
    Log("QLP_MakeMapSetID refused");
    return 0;
  }
  srtm::MapSetIdFields fields;
  fields.idGroup = static_cast<uint32_t>(info->idGroup);
  fields.regionCode = static_cast<uint32_t>(info->regionCode);
  fields.seriesCode = static_cast<uint32_t>(info->seriesCode);
  fields.idFieldD = static_cast<uint32_t>(info->idFieldD);
  fields.idFieldE = static_cast<uint32_t>(info->idFieldE);
  fields.idFieldF = static_cast<uint32_t>(info->idFieldF);
  fields.idKind = static_cast<uint32_t>(info->idKind);
  srtm::PackMapSetId(fields, id);
  srtm::host::MapSetIdRequest request;
  request.info = *info;
  std::memcpy(request.id, id, sizeof request.id);
  State().mapSetIdRequests.push_back(request);
  Log("QLP_MakeMapSetID %s", srtm::host::HexBytes(id, QLP_MAPSET_ID_BYTES).c_str());
  return 1;
}

int32_t QLPAPI QLP_AddXemHookEx(const uint8_t* mapSetId, const char* userId, int32_t count,
                                tagSECUREOPTIONSEX options, tagHOOKENTRY* entry) {
  if (!mapSetId || !userId || !entry || entry->size != sizeof(tagHOOKENTRY) || !entry->callback) {
    Log("QLP_AddXemHookEx refused");
    return 0;
  }
  srtm::host::XemHookRegistration registration;
  std::memcpy(registration.mapSetId, mapSetId, sizeof registration.mapSetId);
  registration.userId.assign(userId, QLP_USER_ID_BYTES);
  registration.count = count;
  registration.options = options;
  registration.entry = *entry;
  State().xemHooks.push_back(registration);
  Log("QLP_AddXemHookEx %s %.8s %d", srtm::host::HexBytes(mapSetId, QLP_MAPSET_ID_BYTES).c_str(), userId, count);
  return 1;
}

int32_t QLPAPI QLP_AddUserIDInfo(const char* userId, QLP_CALLBACK callback) {
  Log("QLP_AddUserIDInfo %.8s", userId ? userId : "");
  if (!userId || !callback) return 0;
  State().userIdInfos.push_back({std::string(userId, QLP_USER_ID_BYTES), callback});
  return 1;
}

int32_t QLPAPI QLP_SetMapsetDiskLimit(const char* userId, int32_t limit) {
  Log("QLP_SetMapsetDiskLimit %.8s %d", userId ? userId : "", limit);
  if (!userId) return 0;
  State().diskLimits.push_back({std::string(userId, QLP_USER_ID_BYTES), limit});
  return 1;
}

int32_t QLPAPI QLP_AddMenu(QLP_HANDLE plugin, int32_t selector, const char* text, QLP_CALLBACK callback) {
  Log("QLP_AddMenu %d %s", selector, Text(text).c_str());
  srtm::host::MenuItem item;
  item.kind = srtm::host::MenuItem::kEntry;
  item.plugin = plugin;
  item.selector = selector;
  item.text = Text(text);
  item.callback = callback;
  State().menuItems.push_back(item);
  return 1;
}

QLP_HANDLE QLPAPI QLP_AddPopupMenu(QLP_HANDLE plugin, int32_t selector, const char* text, int32_t flag) {
  Log("QLP_AddPopupMenu %d %s %d", selector, Text(text).c_str(), flag);
  srtm::host::MenuItem item;
  item.kind = srtm::host::MenuItem::kPopup;
  item.plugin = plugin;
  item.selector = selector;
  item.flag = flag;
  item.text = Text(text);
  item.handle = State().nextPopup++;
  State().menuItems.push_back(item);
  return item.handle;
}

int32_t QLPAPI QLP_AddChildMenu(QLP_HANDLE plugin, QLP_HANDLE popup, const char* text, QLP_CALLBACK callback) {
  const bool separator = text == nullptr && callback == nullptr;
  Log("QLP_AddChildMenu %u %s", popup, separator ? "(separator)" : Text(text).c_str());
  srtm::host::MenuItem item;
  item.kind = separator ? srtm::host::MenuItem::kSeparator : srtm::host::MenuItem::kChild;
  item.plugin = plugin;
  item.popup = popup;
  item.text = separator ? "" : Text(text);
  item.callback = callback;
  State().menuItems.push_back(item);
  return 1;
}

QLP_HANDLE QLPAPI QLP_GetActiveBaseMap(void) { return State().activeBaseMap; }
QLP_HANDLE QLPAPI QLP_GetActiveCoverMap(void) { return State().activeCoverMap; }
QLP_HANDLE QLPAPI QLP_GetActiveView(void) { return State().activeView; }

const char* QLPAPI QLP_GetMapFile(QLP_HANDLE map) {
  auto it = State().maps.find(map);
  return it == State().maps.end() ? "" : it->second.description.file.c_str();
}

int32_t QLPAPI QLP_GetMapSetID(QLP_HANDLE map, uint8_t* id) {
  auto it = State().maps.find(map);
  if (it == State().maps.end()) {
    std::memset(id, 0, QLP_MAPSET_ID_BYTES);
    return 0;
  }
  std::memcpy(id, it->second.description.mapSetId, QLP_MAPSET_ID_BYTES);
  return 1;
}

int32_t QLPAPI QLP_GetUserID(QLP_HANDLE map, char* id) {
  auto it = State().maps.find(map);
  if (it == State().maps.end()) {
    std::memset(id, 0, QLP_USER_ID_BYTES);
    return 0;
  }
  std::memcpy(id, it->second.description.userId, QLP_USER_ID_BYTES);
  return 1;
}

int32_t QLPAPI QLP_CompareID(const void* a, const void* b, int32_t n) {
  if (n <= 0) return 0;
  return std::memcmp(a, b, static_cast<size_t>(n)) == 0 ? 0 : 1;
}

int32_t QLPAPI QLP_OpenMap(QLP_HANDLE view, tagOPENMAPINFO* info) {
  if (!info) return 0;
  Log("QLP_OpenMap %u %s flag=%d %.6f %.6f", view, Text(info->path).c_str(), info->positionFlag, info->latitude,
      info->longitude);
  std::int32_t result = 0;
  if (srtm::host::OpenXemMap(view, info, &result)) return result;
  return srtm::host::OpenPluginMap(view, info);
}

int32_t QLPAPI QLP_GetViewCenter(QLP_HANDLE view, tagGEOPOS* center) {
  auto it = State().views.find(view);
  if (it == State().views.end() || !center) return 0;
  *center = it->second.center;
  return 1;
}

int32_t QLPAPI QLP_XEM_AppendDynamicXem(const char* xemPath, char* out, int32_t outSize) {
  Log("QLP_XEM_AppendDynamicXem %s", Text(xemPath).c_str());
  return srtm::host::AppendDynamicXem(xemPath, out, outSize);
}

int32_t QLPAPI QLP_ClearMapCache(QLP_HANDLE map) {
  Log("QLP_ClearMapCache %u", map);
  return 1;
}
int32_t QLPAPI QLP_ClearViewCache(QLP_HANDLE map) {
  Log("QLP_ClearViewCache %u", map);
  return 1;
}
int32_t QLPAPI QLP_ClearAllViewCache(void) {
  Log("QLP_ClearAllViewCache");
  return 1;
}
int32_t QLPAPI QLP_ClearAllLakeCache(void) {
  Log("QLP_ClearAllLakeCache");
  return 1;
}
int32_t QLPAPI QLP_UpdateAllViews(int32_t flag) {
  Log("QLP_UpdateAllViews %d", flag);
  return 1;
}

// QLP_GetMainWnd, QLP_ShellFolder and QLP_Pump belong to the desktop (testhost/desktop.cpp).

}  // extern "C"
