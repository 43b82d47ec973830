// The plug-in's menu commands: message 100 runs a command, 101 asks whether it is enabled
// (the answer is written to the 32-bit integer `data` points to).
#pragma once

#include <cstdint>

#include "shell/pluginif.h"

namespace srtm {

namespace ui {
class CompressWizard;
}

// Opens a .hgt file chosen in the file dialog in the active view. Always enabled.
std::int32_t QLPAPI OpenCommand(std::int32_t message, std::uint32_t param, QLP_DATA data);
// Edits the settings; when a value changed, clears the host's caches and redraws.
// Enabled while the active base map is ours or the active cover map is one of our XEM maps.
std::int32_t QLPAPI SettingsCommand(std::int32_t message, std::uint32_t param, QLP_DATA data);
// Makes the host read and redraw the terrain again. Enabled while the base map is ours.
std::int32_t QLPAPI RefreshCommand(std::int32_t message, std::uint32_t param, QLP_DATA data);
// Opens the compression wizard (answers 1 when one is already open). Enabled while the
// base map is ours.
std::int32_t QLPAPI CompressCommand(std::int32_t message, std::uint32_t param, QLP_DATA data);

// 1 when the host's active cover map belongs to one of the plug-in's XEM map sets.
std::int32_t IsActiveMapOurs();

// The sea level a text stands for: leading blanks skipped, an optional sign, the decimal
// digits up to the first other character; 0 without digits. Values beyond 32 bits are
// held at the nearest 32-bit limit.
std::int32_t SeaLevelFromText(const char* text);

// Deletes the wizard object once its window is gone and none of its handlers runs (Release).
void ReleaseFinishedWizard();
// The wizard in the slot, or null.
ui::CompressWizard* CurrentWizard();

}  // namespace srtm
