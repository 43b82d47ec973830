// The stand-in host opens maps as the host does: a path goes to the registered
// map-source hooks (2003, then 2004 under a fresh map handle, 2002, 2011), blocks are
// read with 2012 into the host's own 320 x 320 buffer and the map is closed with 2021.
// Dropped files go to the kind-7 hooks (1001) first. An opened map becomes the base map
// of its view (and the active base map when that view is the active one), and its file
// is what QLP_GetMapFile answers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "testhost/host.h"

namespace srtm::host {

// What the host learnt about a map when it opened it.
struct OpenedMap {
  QLP_HANDLE view = 0;
  std::string typeName;     // 2002's answer (code page 932)
  std::string displayName;  // 2011's name, copied before the plug-in can change it
  double south = 0, west = 0, north = 0, east = 0;
  double samplesPerDegreeY = 0, samplesPerDegreeX = 0;
  std::int32_t width = 0, height = 0;
  // The 2011 record as the plug-in left it: the host fills it with kHostFill first, so
  // bytes the plug-in did not write still hold that pattern.
  std::vector<std::uint8_t> infoRecord;
  // The open record (tagOPENMAPINFO) the map was opened with, byte for byte.
  std::vector<std::uint8_t> openRecord;
};

// What a map source's 2001 answer put into the host's file filter record.
struct FileFilter {
  std::int32_t answer = 0;
  std::string description;
  std::string pattern;
  std::vector<std::uint8_t> record;  // filled with kHostFill before the call
};

constexpr std::uint8_t kHostFill = 0xCD;
// What the host's block buffer holds before each 2012, so unwritten samples show.
constexpr std::int16_t kUnwrittenSample = 0x7E7E;

// The host's own open command on `path` (a plug-in path), into the active view. Returns
// the new map's handle, or 0 when no map source opened it.
QLP_HOST_API QLP_HANDLE OpenFile(const std::string& path);
// A file dropped on the host: the kind-7 hooks are asked first (1001); when none takes
// it, the host opens it itself. Returns the map opened in consequence, or 0.
QLP_HOST_API QLP_HANDLE DropFile(const std::string& path);
// Reads block `blockNumber` of `map` with 2012 into the host's buffer and copies it to
// `samples` (320 x 320, row 0 south). Returns the map source's answer; 0 for a map no
// map source serves.
QLP_HOST_API std::int32_t ReadMapBlock(QLP_HANDLE map, std::int32_t blockNumber, std::vector<std::int16_t>* samples);
// The information gathered when `map` was opened; false for an unknown map.
QLP_HOST_API bool GetOpenedMap(QLP_HANDLE map, OpenedMap* out);
// Closes `map` (2021 to its map source) and forgets it. Returns the map source's answer,
// 1 for a map of the host's own, 0 for an unknown handle.
QLP_HOST_API std::int32_t CloseMap(QLP_HANDLE map);
// The maps a view shows, in the order they were opened, and its base map.
QLP_HOST_API std::vector<QLP_HANDLE> ViewMaps(QLP_HANDLE view);
QLP_HOST_API QLP_HANDLE ViewBaseMap(QLP_HANDLE view);
// Asks every map source for its file filter (2001), as the host's open dialog does.
QLP_HOST_API std::vector<FileFilter> FileFilters();

// ---- Inside the stand-in library ----

// Called by QLP_OpenMap for a path that is not a registered XEM file: opens it through
// the map-source hooks in `view`. Returns 1 when a hook opened it.
std::int32_t OpenPluginMap(QLP_HANDLE view, const tagOPENMAPINFO* info);
// Shows an opened map in `view` as its base map and applies the open record's position.
void ShowInView(QLP_HANDLE view, QLP_HANDLE map, const tagOPENMAPINFO* info);

}  // namespace srtm::host
