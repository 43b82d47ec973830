#include "hgt/settings.h"

namespace srtm {

PluginSettings g_pluginSettings;

}  // namespace srtm
