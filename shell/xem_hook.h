// The callbacks the host calls while it decodes the plug-in's XEM map sets.
#pragma once

#include <cstdint>

#include "shell/pluginif.h"

namespace srtm {

// The 16-bit sample that stands for sea in XEM data (-30000 read as signed).
constexpr std::uint16_t SEA_SAMPLE = 35536;

// 9103: applies the sea level to decoded samples of a file whose header flags bit 0 is
// set, and answers the byte count; 9191: the options query (answers 0).
std::int32_t QLPAPI XemHook(std::int32_t message, std::uint32_t param, QLP_DATA data);
// 9301: the publisher's display texts (answers 0).
std::int32_t QLPAPI PublisherInfoCallback(std::int32_t message, std::uint32_t param, QLP_DATA data);

}  // namespace srtm
