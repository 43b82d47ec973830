#include "testhost/maps.h"

#include <algorithm>
#include <cstring>

#include "testhost/host_state.h"

namespace srtm::host {
namespace {

constexpr int kBlockSamples = QLP_BLOCK_SIDE * QLP_BLOCK_SIDE;

QLP_DATA DataOf(const void* p) { return reinterpret_cast<QLP_DATA>(p); }

// Reads the 2011 record the host handed out, into what the host keeps of the map.
void TakeMapInfo(const MapInfoRecord& record, OpenedMap* opened) {
  opened->displayName = record.displayName ? record.displayName : "";
  opened->south = record.south;
  opened->west = record.west;
  opened->north = record.north;
  opened->east = record.east;
  opened->samplesPerDegreeY = record.samplesPerDegreeY;
  opened->samplesPerDegreeX = record.samplesPerDegreeX;
  opened->width = record.width;
  opened->height = record.height;
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(&record);
  opened->infoRecord.assign(bytes, bytes + sizeof record);
}

// Offers `path` to one map source; on success the map is registered and described.
QLP_HANDLE OpenWith(const HookRegistration& hook, QLP_HANDLE view, const char* path) {
  QLP_CALLBACK source = hook.entry.callback;
  if (source(QLP_MSG_CAN_OPEN, 0, DataOf(path)) == 0) return 0;

  HostState& state = State();
  const QLP_HANDLE map = state.nextMap++;
  MapState& entry = state.maps[map];
  entry.description.file = path;  // what QLP_GetMapFile answers from now on
  entry.source = source;
  if (source(QLP_MSG_OPEN, map, DataOf(path)) == 0) {
    state.maps.erase(map);
    return 0;
  }

  const char* typeName = nullptr;
  if (source(QLP_MSG_TYPE_NAME, map, DataOf(&typeName)) != 0 && typeName) entry.opened.typeName = typeName;

  MapInfoRecord record;
  std::memset(&record, kHostFill, sizeof record);
  if (source(QLP_MSG_MAP_INFO, map, DataOf(&record)) == 0) {
    source(QLP_MSG_CLOSE, map, 0);
    state.maps.erase(map);
    return 0;
  }
  TakeMapInfo(record, &entry.opened);
  entry.block.assign(kBlockSamples, 0);
  return map;
}

QLP_HANDLE OpenInView(QLP_HANDLE view, const tagOPENMAPINFO* info) {
  if (!info || !info->path || State().views.count(view) == 0) return 0;
  for (const HookRegistration& hook : MapSourceHooks()) {
    if (QLP_HANDLE map = OpenWith(hook, view, info->path)) {
      ShowInView(view, map, info);
      return map;
    }
  }
  return 0;
}

}  // namespace

void ShowInView(QLP_HANDLE view, QLP_HANDLE map, const tagOPENMAPINFO* info) {
  HostState& state = State();
  ViewState& shown = state.views[view];
  shown.maps.push_back(map);
  shown.baseMap = map;
  if (view == state.activeView) state.activeBaseMap = map;
  auto it = state.maps.find(map);
  if (it != state.maps.end()) {
    it->second.opened.view = view;
    if (info) {
      const auto* bytes = reinterpret_cast<const std::uint8_t*>(info);
      it->second.opened.openRecord.assign(bytes, bytes + sizeof *info);
    }
  }
  if (info && info->positionFlag == 1) shown.center = tagGEOPOS{info->latitude, info->longitude};
}

std::int32_t OpenPluginMap(QLP_HANDLE view, const tagOPENMAPINFO* info) { return OpenInView(view, info) ? 1 : 0; }

QLP_HANDLE OpenFile(const std::string& path) {
  tagOPENMAPINFO info{};
  info.size = sizeof info;
  info.path = path.c_str();
  return OpenInView(State().activeView, &info);
}

QLP_HANDLE DropFile(const std::string& path) {
  const QLP_HANDLE before = State().nextMap;
  for (const HookRegistration& hook : Hooks(QLP_HOOK_KIND_OPEN)) {
    if (hook.entry.callback(QLP_MSG_OPEN_FILE, 0, DataOf(path.c_str())) != 0) {
      // The hook took the file; whatever it opened is the newest map.
      const QLP_HANDLE newest = State().nextMap - 1;
      return State().nextMap != before && State().maps.count(newest) ? newest : 0;
    }
  }
  return OpenFile(path);
}

std::int32_t ReadMapBlock(QLP_HANDLE map, std::int32_t blockNumber, std::vector<std::int16_t>* samples) {
  auto it = State().maps.find(map);
  if (it == State().maps.end() || !it->second.source) return 0;
  MapState& entry = it->second;
  std::fill(entry.block.begin(), entry.block.end(), kUnwrittenSample);
  BlockRequest request{};
  request.size = sizeof request;
  request.blockNumber = blockNumber;
  request.buffer = entry.block.data();
  const std::int32_t answer = entry.source(QLP_MSG_READ_BLOCK, map, DataOf(&request));
  if (samples) *samples = entry.block;
  return answer;
}

bool GetOpenedMap(QLP_HANDLE map, OpenedMap* out) {
  auto it = State().maps.find(map);
  if (it == State().maps.end()) return false;
  if (out) *out = it->second.opened;
  return true;
}

std::int32_t CloseMap(QLP_HANDLE map) {
  HostState& state = State();
  auto it = state.maps.find(map);
  if (it == state.maps.end()) return 0;
  const std::int32_t answer = it->second.source ? it->second.source(QLP_MSG_CLOSE, map, 0) : 1;
  state.maps.erase(it);
  for (auto& [handle, view] : state.views) {
    view.maps.erase(std::remove(view.maps.begin(), view.maps.end(), map), view.maps.end());
    if (view.baseMap == map) view.baseMap = view.maps.empty() ? 0 : view.maps.back();
    if (handle == state.activeView) state.activeBaseMap = view.baseMap;
  }
  if (state.activeBaseMap == map) state.activeBaseMap = 0;
  return answer;
}

std::vector<QLP_HANDLE> ViewMaps(QLP_HANDLE view) {
  auto it = State().views.find(view);
  return it == State().views.end() ? std::vector<QLP_HANDLE>{} : it->second.maps;
}

QLP_HANDLE ViewBaseMap(QLP_HANDLE view) {
  auto it = State().views.find(view);
  return it == State().views.end() ? 0 : it->second.baseMap;
}

std::vector<FileFilter> FileFilters() {
  std::vector<FileFilter> filters;
  for (const HookRegistration& hook : MapSourceHooks()) {
    FileFilterRecord record;
    std::memset(&record, kHostFill, sizeof record);
    record.size = sizeof record;
    FileFilter filter;
    filter.answer = hook.entry.callback(QLP_MSG_FILE_FILTER, 0, DataOf(&record));
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(&record);
    filter.record.assign(bytes, bytes + sizeof record);
    // Pointers still holding the fill pattern were not set; do not follow them.
    const auto untouched = [](const char* p) {
      std::uintptr_t fill;
      std::memset(&fill, kHostFill, sizeof fill);
      return reinterpret_cast<std::uintptr_t>(p) == fill;
    };
    if (record.description && !untouched(record.description)) filter.description = record.description;
    if (record.pattern && !untouched(record.pattern)) filter.pattern = record.pattern;
    filters.push_back(filter);
  }
  return filters;
}

}  // namespace srtm::host
