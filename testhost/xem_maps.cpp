#include "testhost/xem_maps.h"

#include <cctype>
#include <cstring>
#include <memory>

#include "testhost/host_state.h"
#include "xem/xem_reader.h"

namespace srtm::host {

struct XemMap {
  XemReader reader;
};

namespace {

bool SamePath(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto x = static_cast<unsigned char>(a[i]);
    const auto y = static_cast<unsigned char>(b[i]);
    if (x != y && !(x < 0x80 && y < 0x80 && std::tolower(x) == std::tolower(y))) return false;
  }
  return true;
}

bool IsRegistered(const std::string& path) {
  for (const std::string& registered : State().dynamicXems) {
    if (SamePath(registered, path)) return true;
  }
  return false;
}

const XemMap* FindXemMap(QLP_HANDLE map) {
  auto it = State().maps.find(map);
  return it == State().maps.end() ? nullptr : it->second.xem.get();
}

// The XEM hook registered for a file's map-set ID and user ID, or null.
const XemHookRegistration* HookFor(const XemHeader& header) {
  for (const XemHookRegistration& hook : State().xemHooks) {
    if (std::memcmp(hook.mapSetId, header.mapSetId, QLP_MAPSET_ID_BYTES) == 0 &&
        hook.userId.compare(0, QLP_USER_ID_BYTES, header.publisherId, QLP_USER_ID_BYTES) == 0) {
      return &hook;
    }
  }
  return nullptr;
}

}  // namespace

std::int32_t AppendDynamicXem(const char* xemPath, char* out, std::int32_t outSize) {
  if (!xemPath || !out || outSize <= 0) return 0;
  XemReader reader;
  const Status status = reader.Open(xemPath);
  if (!status.ok()) {
    Log("  refused: %s", status.ToString().c_str());
    return 0;
  }
  const std::size_t length = std::strlen(xemPath);
  if (length + 1 > static_cast<std::size_t>(outSize)) return 0;
  if (!IsRegistered(xemPath)) State().dynamicXems.push_back(xemPath);
  std::memcpy(out, xemPath, length + 1);
  return 1;
}

bool OpenXemMap(QLP_HANDLE view, const tagOPENMAPINFO* info, std::int32_t* result) {
  if (!info || !info->path || !IsRegistered(info->path)) return false;
  *result = 0;
  auto xem = std::make_shared<XemMap>();
  const Status status = xem->reader.Open(info->path);
  if (!status.ok()) {
    Log("  cannot open: %s", status.ToString().c_str());
    return true;
  }
  HostState& state = State();
  MapDescription description;
  description.file = info->path;
  const XemHeader& h = xem->reader.header();
  std::memcpy(description.mapSetId, h.mapSetId, QLP_MAPSET_ID_BYTES);
  std::memcpy(description.userId, h.publisherId, QLP_USER_ID_BYTES);
  const QLP_HANDLE map = AddMap(description);
  state.maps[map].xem = xem;
  state.maps[map].opened.view = view;
  ViewState& shown = state.views[view];
  shown.maps.push_back(map);
  state.activeCoverMap = map;
  if (info->positionFlag == 1) shown.center = tagGEOPOS{info->latitude, info->longitude};
  Log("  XEM map %u in view %u", map, view);
  *result = 1;
  return true;
}

std::vector<std::string> DynamicXemFiles() { return State().dynamicXems; }

bool IsXemMap(QLP_HANDLE map) { return FindXemMap(map) != nullptr; }

bool GetXemHeader(QLP_HANDLE map, XemHeader* header) {
  const XemMap* xem = FindXemMap(map);
  if (!xem) return false;
  *header = xem->reader.header();
  return true;
}

bool ReadXemBlock(QLP_HANDLE map, std::int32_t column, std::int32_t row, std::vector<std::uint16_t>* samples,
                  std::string* error) {
  const XemMap* xem = FindXemMap(map);
  if (!xem) {
    if (error) *error = "not an XEM map";
    return false;
  }
  std::vector<std::int16_t> decoded;
  const Status status = xem->reader.ReadBlock(column, row, &decoded);
  if (!status.ok()) {
    if (error) *error = status.ToString();
    return false;
  }
  samples->resize(decoded.size());
  std::memcpy(samples->data(), decoded.data(), decoded.size() * sizeof decoded[0]);
  if (const XemHookRegistration* hook = HookFor(xem->reader.header())) {
    XemSampleRecord record{};
    record.size = sizeof record;
    record.header = xem->reader.headerBytes();
    record.byteCount = static_cast<std::int32_t>(samples->size() * 2);
    record.samples = samples->data();
    const std::int32_t answer =
        hook->entry.callback(QLP_MSG_XEM_SAMPLES, hook->entry.context, reinterpret_cast<QLP_DATA>(&record));
    Log("XEM hook 9103 %d -> %d", record.byteCount, answer);
  }
  return true;
}

}  // namespace srtm::host
