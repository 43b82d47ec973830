// The three user settings that shape the samples coming out of the plug-in.
//
// One process-wide instance: the settings command is its only writer; block reads, the
// XEM hook and the converter read it at every call, so a change applies from the next
// read, decode or conversion. It lives here, below every reader, because hgt and xem
// must not depend on the shell that edits it. Nothing is saved between runs.
#pragma once

#include <cstdint>

namespace srtm {

struct PluginSettings {
  std::int32_t fillVoids = 1;  // non-zero: fill data voids
  std::int32_t seaOn = 1;      // non-zero: apply the sea level
  std::int32_t seaLevel = 0;   // sea level in whole metres
};

// The process-wide settings, at the values above when the module is loaded.
extern PluginSettings g_pluginSettings;

}  // namespace srtm
