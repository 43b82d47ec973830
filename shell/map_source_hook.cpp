#include "shell/map_source_hook.h"

#include <memory>
#include <new>
#include <string>

#include "hgt/hgt_tile.h"
#include "hgt/paths.h"
#include "platform/platform.h"
#include "res/srtm_texts.h"
#include "shell/tile_registry.h"

namespace srtm {
namespace {

// The name given with the last map information; the host keeps the pointer until it
// asks again.
std::string& DisplayName() {
  static std::string name;
  return name;
}

// True when the path holds ".HGT" in any letter case. Only single-byte characters are
// upper-cased: a trail byte in 'a'..'z' belongs to a Japanese character and must not
// change it.
bool MentionsHgt(const char* path) {
  std::string upper = path;
  for (std::size_t i = 0; i < upper.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(upper[i]);
    if (platform::IsPathLeadByte(c, platform::kPathCodePage)) {
      ++i;
    } else if (c >= 'a' && c <= 'z') {
      upper[i] = static_cast<char>(c - 'a' + 'A');
    }
  }
  return upper.find(".HGT") != std::string::npos;
}

// A tile opened on `path`, or null when the path is not a tile or memory runs out.
std::unique_ptr<HgtTile> OpenTile(const char* path) {
  if (!path) return nullptr;
  const std::int32_t kind = ClassifyHgtFile(path);
  if (kind == kNotTile) return nullptr;
  std::unique_ptr<HgtTile> tile(new (std::nothrow) HgtTile);
  if (!tile || !tile->Open(path, kind)) return nullptr;
  return tile;
}

// Opens `path` under `map`; a tile the handle already had is destroyed.
bool OpenUnder(QLP_HANDLE map, const char* path) {
  std::unique_ptr<HgtTile> tile = OpenTile(path);
  return tile && OpenTiles().Set(map, std::move(tile));
}

std::int32_t FileFilter(FileFilterRecord* record) {
  record->flag4 = 1;
  record->flag5 = 1;
  record->description = kTextFilterDescription;
  record->pattern = kTextFilterPattern;
  return 0;  // the record is filled, yet the answer is 0
}

std::int32_t MapInfo(QLP_HANDLE map, MapInfoRecord* record) {
  HgtTile* tile = OpenTiles().Find(map);
  if (!tile) {
    // A map the host restored by itself: open it from the host's own record of the file.
    if (!OpenUnder(map, QLP_GetMapFile(map))) return 0;
    tile = OpenTiles().Find(map);
  }
  DisplayName() = (tile->kind() == kSrtm1 ? "SRTM-1 " : "SRTM-3 ") + tile->fileName();
  // Bytes 9 to 11 are the host's and stay as they are.
  record->size = sizeof(MapInfoRecord);
  record->displayName = DisplayName().c_str();
  record->flag8 = 1;
  record->zero12 = 0;
  record->south = tile->south();
  record->west = tile->west();
  record->north = tile->north();
  record->east = tile->east();
  record->samplesPerDegreeY = tile->samplesPerDegreeY();
  record->samplesPerDegreeX = tile->samplesPerDegreeX();
  record->width = tile->width();
  record->height = tile->height();
  return 1;
}

std::int32_t HandleMapSource(std::int32_t message, QLP_HANDLE map, QLP_DATA data) {
  // Only the close message comes without a record or path.
  if (data == 0 && message != QLP_MSG_CLOSE) return 0;
  switch (message) {
    case QLP_MSG_FILE_FILTER:
      return FileFilter(reinterpret_cast<FileFilterRecord*>(data));
    case QLP_MSG_TYPE_NAME: {
      HgtTile* tile = OpenTiles().Find(map);
      if (!tile) return 0;
      *reinterpret_cast<const char**>(data) = tile->kind() == kSrtm1 ? kTextTypeSrtm1 : kTextTypeSrtm3;
      return 1;
    }
    case QLP_MSG_CAN_OPEN: {
      // The file name decides, tested on the path as given: on a case-sensitive file
      // system an upper-cased copy would name another file.
      const char* path = reinterpret_cast<const char*>(data);
      return MentionsHgt(path) && ClassifyHgtFile(path) != kNotTile ? 1 : 0;
    }
    case QLP_MSG_OPEN:
      return OpenUnder(map, reinterpret_cast<const char*>(data)) ? 1 : 0;
    case QLP_MSG_MAP_INFO:
      return MapInfo(map, reinterpret_cast<MapInfoRecord*>(data));
    case QLP_MSG_READ_BLOCK: {
      HgtTile* tile = OpenTiles().Find(map);
      auto* request = reinterpret_cast<BlockRequest*>(data);
      if (!tile || !request->buffer) return 0;
      return tile->ReadBlock(request->blockNumber, request->buffer);
    }
    case QLP_MSG_CLOSE: {
      HgtTile* tile = OpenTiles().Find(map);
      if (!tile) return 0;
      tile->Close();
      OpenTiles().Remove(map);
      return 1;
    }
    default:
      return 0;
  }
}

}  // namespace

std::int32_t QLPAPI MapSourceHook(std::int32_t message, std::uint32_t param, QLP_DATA data) {
  if (message < QLP_MSG_FILE_FILTER || message > QLP_MSG_CLOSE) return 0;
  try {
    return HandleMapSource(message, param, data);
  } catch (...) {
    return 0;  // memory ran out: the host sees a refusal, never an exception
  }
}

std::int32_t QLPAPI OpenHook(std::int32_t message, std::uint32_t, QLP_DATA data) {
  if (message != QLP_MSG_OPEN_FILE || data == 0) return 0;
  try {
    const char* path = reinterpret_cast<const char*>(data);
    double lat = 0, lon = 0;
    if (ClassifyHgtFile(path, &lat, &lon) == kNotTile) return 0;  // the host's to open
    tagOPENMAPINFO info{};
    info.size = sizeof(tagOPENMAPINFO);
    info.path = path;
    info.positionFlag = 1;
    info.latitude = lat + 0.5;  // the centre of the one-degree tile
    info.longitude = lon + 0.5;
    info.zero32 = 0;
    info.zero40 = 0;
    QLP_OpenMap(QLP_GetActiveView(), &info);
    return 1;
  } catch (...) {
    return 0;
  }
}

bool IsOurTileMap(QLP_HANDLE map) { return OpenTiles().Find(map) != nullptr; }

void ReleaseAllTiles() { OpenTiles().RemoveAll(); }

}  // namespace srtm
