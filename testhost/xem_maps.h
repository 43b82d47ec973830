// The stand-in host's XEM maps: files registered with QLP_XEM_AppendDynamicXem are
// validated, opened and decoded by the host itself, and decoded samples of map sets that
// have a registered XEM hook pass through that hook (9103).
#pragma once

#include "testhost/host.h"

namespace srtm::host {

// QLP_XEM_AppendDynamicXem: non-zero when the file was registered; `out` gets the path to open.
std::int32_t AppendDynamicXem(const char* xemPath, char* out, std::int32_t outSize);
// Called first by QLP_OpenMap: opens a registered XEM file in `view` and returns true,
// or returns false when the path is not a registered XEM file.
bool OpenXemMap(QLP_HANDLE view, const tagOPENMAPINFO* info, std::int32_t* result);

}  // namespace srtm::host
