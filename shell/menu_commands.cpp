#include "shell/menu_commands.h"

namespace srtm {

std::int32_t QLPAPI OpenCommand(std::int32_t, std::uint32_t, QLP_DATA) { return 0; }
std::int32_t QLPAPI SettingsCommand(std::int32_t, std::uint32_t, QLP_DATA) { return 0; }
std::int32_t QLPAPI RefreshCommand(std::int32_t, std::uint32_t, QLP_DATA) { return 0; }
std::int32_t QLPAPI CompressCommand(std::int32_t, std::uint32_t, QLP_DATA) { return 0; }

void ReleaseFinishedWizard() {}

}  // namespace srtm
