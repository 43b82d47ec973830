// The plug-in's menu commands: message 100 runs a command, 101 asks whether it is enabled.
#pragma once

#include <cstdint>

#include "shell/pluginif.h"

namespace srtm {

std::int32_t QLPAPI OpenCommand(std::int32_t message, std::uint32_t param, QLP_DATA data);
std::int32_t QLPAPI SettingsCommand(std::int32_t message, std::uint32_t param, QLP_DATA data);
std::int32_t QLPAPI RefreshCommand(std::int32_t message, std::uint32_t param, QLP_DATA data);
std::int32_t QLPAPI CompressCommand(std::int32_t message, std::uint32_t param, QLP_DATA data);

// Deletes the wizard object once its window is gone (Release).
void ReleaseFinishedWizard();

}  // namespace srtm
