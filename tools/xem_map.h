// An XEM file as a map to draw: the geometry its header gives (south-west corner in whole
// degrees, grid and blocks) and the values the host decodes sea and voids to. srtm
// render and the demo draw XEM files through it.
#pragma once

#include <cmath>

#include "hgt/paths.h"
#include "picture/map_picture.h"
#include "xem/xem_format.h"

namespace srtm::cli {

// The map of an XEM file from its header (readBlock left for the caller to set).
inline picture::XemMap XemMapOf(const XemHeader& header) {
  picture::XemMap map;
  map.lat = static_cast<int>(std::lround(header.southEdge / 360000.0));
  map.lon = static_cast<int>(std::lround(header.westEdge / 360000.0));
  map.gridWidth = header.gridWidth;
  map.gridHeight = header.gridHeight;
  map.blockWidth = header.blockWidth;
  map.blockHeight = header.blockHeight;
  map.seaValue = static_cast<std::uint16_t>(kXemSeaValue);
  map.voidValue = static_cast<std::uint16_t>(VOID_SAMPLE);
  return map;
}

}  // namespace srtm::cli
