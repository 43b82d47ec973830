// How the host opens .hgt files as whole-globe elevation maps.
#pragma once

#include <cstdint>

#include "shell/pluginif.h"

namespace srtm {

// The map-source messages 2001 to 2021.
std::int32_t QLPAPI MapSourceHook(std::int32_t message, std::uint32_t param, QLP_DATA data);
// Message 1001: opens a dropped or named tile in the active view, centred on it.
std::int32_t QLPAPI OpenHook(std::int32_t message, std::uint32_t param, QLP_DATA data);
// Destroys every open tile and empties the registry (Release).
void ReleaseAllTiles();

}  // namespace srtm
