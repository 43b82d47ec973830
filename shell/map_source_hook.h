// How the host opens .hgt files as whole-globe elevation maps.
//
// The map-source hook answers the host's messages 2001 to 2021 (file filter, type name,
// can-open test, open, map information, block read, close); every map it opens is an
// HgtTile kept in the registry (shell/tile_registry.h) under the host's map handle. The
// open hook answers 1001 for a dropped or named tile by opening it in the active view,
// centred on the tile. Failures reach the host only as the answer 0; nothing is shown.
#pragma once

#include <cstdint>

#include "shell/pluginif.h"

namespace srtm {

// The map-source messages 2001 to 2021.
std::int32_t QLPAPI MapSourceHook(std::int32_t message, std::uint32_t param, QLP_DATA data);
// Message 1001: opens a dropped or named tile in the active view, centred on it.
std::int32_t QLPAPI OpenHook(std::int32_t message, std::uint32_t param, QLP_DATA data);
// True when `map` is a map this plug-in serves (it has a tile in the registry).
bool IsOurTileMap(QLP_HANDLE map);
// Destroys every open tile and empties the registry (Release).
void ReleaseAllTiles();

}  // namespace srtm
