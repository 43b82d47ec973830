// The plug-in's identity and its five entry points (forwarded from the exports).
#pragma once

#include <cstdint>

#include "shell/pluginif.h"

namespace srtm {

constexpr std::int32_t HOST_VERSION_MIN = QLP_HOST_VERSION_MIN;

// The publisher (user) ID of the plug-in's map sets: 8 bytes and a zero byte.
extern const char PUBLISHER_ID[9];
// The IDs of the plug-in's two XEM map sets, made by the host during Create; zero before.
extern std::uint8_t SRTM1_MAPSET_ID[QLP_MAPSET_ID_BYTES];
extern std::uint8_t SRTM3_MAPSET_ID[QLP_MAPSET_ID_BYTES];
// The handle the host gave in Create; passed back in every registration.
extern QLP_HANDLE g_pluginHandle;

// Registers the plug-in with a host of interface version 8040 or later (1), or refuses
// an older host with a message and leaves `info` untouched (0).
std::int32_t Create(PluginInfo* info, QLP_HANDLE plugin);
// Adds the menu entries; 1.
std::int32_t Load();
// Does nothing; 1.
std::int32_t Close();
// Destroys every open tile, and the wizard object once its window is gone.
void Release();
// Shows the about box and returns its answer.
std::int32_t About();

}  // namespace srtm
