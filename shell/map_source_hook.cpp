#include "shell/map_source_hook.h"

namespace srtm {

std::int32_t QLPAPI MapSourceHook(std::int32_t, std::uint32_t, QLP_DATA) { return 0; }

std::int32_t QLPAPI OpenHook(std::int32_t, std::uint32_t, QLP_DATA) { return 0; }

void ReleaseAllTiles() {}

}  // namespace srtm
