// The stand-in host opens maps as the host does: a path goes to the registered
// map-source hooks (2003, then 2004 under a fresh map handle, 2002, 2011), blocks are
// read with 2012 and the map is closed with 2021. Dropped files go to the kind-7 hooks.
#pragma once

#include "testhost/host.h"

namespace srtm::host {

// Called by QLP_OpenMap for a path that is not a registered XEM file: opens it through
// the map-source hooks in `view`. Returns 1 when a hook opened it.
std::int32_t OpenPluginMap(QLP_HANDLE view, const tagOPENMAPINFO* info);

}  // namespace srtm::host
