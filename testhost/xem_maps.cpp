#include "testhost/xem_maps.h"

namespace srtm::host {

std::int32_t AppendDynamicXem(const char*, char*, std::int32_t) { return 0; }

bool OpenXemMap(QLP_HANDLE, const tagOPENMAPINFO*, std::int32_t*) { return false; }

}  // namespace srtm::host
