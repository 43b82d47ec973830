// The stand-in host's XEM maps: files registered with QLP_XEM_AppendDynamicXem are
// validated, opened and decoded by the host itself, and decoded samples of map sets that
// have a registered XEM hook pass through that hook (9103) before the host uses them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "testhost/host.h"
#include "xem/xem_format.h"

namespace srtm::host {

// ---- Host side (tests, qlphost) ----

// The XEM files registered so far, in order.
QLP_HOST_API std::vector<std::string> DynamicXemFiles();
// True when `map` was opened from a registered XEM file.
QLP_HOST_API bool IsXemMap(QLP_HANDLE map);
// The header of an XEM map; false for any other map.
QLP_HOST_API bool GetXemHeader(QLP_HANDLE map, XemHeader* header);
// Decodes block (column, row) of an XEM map as the host does before it draws it: the
// samples (blockWidth x blockHeight, row 0 south) go through the XEM hook registered
// for the file's map-set and user IDs, when there is one. False, with the reason in
// `error`, for an unknown map, a block not in the index or a block that does not decode.
QLP_HOST_API bool ReadXemBlock(QLP_HANDLE map, std::int32_t column, std::int32_t row,
                               std::vector<std::uint16_t>* samples, std::string* error = nullptr);

// ---- Inside the stand-in library ----

// QLP_XEM_AppendDynamicXem: validates the file; non-zero when it was registered, with
// the path to open in `out` (outSize bytes with the terminator).
std::int32_t AppendDynamicXem(const char* xemPath, char* out, std::int32_t outSize);
// Called first by QLP_OpenMap: opens a registered XEM file in `view` as its active
// cover map and returns true, or returns false when the path is not a registered XEM file.
bool OpenXemMap(QLP_HANDLE view, const tagOPENMAPINFO* info, std::int32_t* result);

}  // namespace srtm::host
