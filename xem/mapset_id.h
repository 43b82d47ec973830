// The 5-byte map-set ID of XEM files: seven unsigned values packed most significant bit
// first into 40 bits.
//
//   idGroup 4 | regionCode 10 | seriesCode 8 | idFieldD 4 | idFieldE 3 | idFieldF 3 | idKind 8
#pragma once

#include <cstdint>

namespace srtm {

struct MapSetIdFields {
  std::uint32_t idGroup = 0;
  std::uint32_t regionCode = 0;
  std::uint32_t seriesCode = 0;
  std::uint32_t idFieldD = 0;
  std::uint32_t idFieldE = 0;
  std::uint32_t idFieldF = 0;
  std::uint32_t idKind = 0;
};

constexpr int kMapSetIdBytes = 5;

// Packs the fields (each cut to its width) into out[0..4].
void PackMapSetId(const MapSetIdFields& fields, std::uint8_t out[kMapSetIdBytes]);
MapSetIdFields UnpackMapSetId(const std::uint8_t id[kMapSetIdBytes]);

// The two-letter region codes; entry 0 is empty (no region), entries 1 to 249 follow.
constexpr int kRegionCodeCount = 250;
extern const char* const REGION_CODES[kRegionCodeCount];
// The region code of entry `index`: (c0 - 'a') * 26 + (c1 - 'a') + 1, or 0 for entry 0
// and for indexes outside the table.
std::uint32_t RegionCode(int index);
// The entry the converter uses: "xx", region code 622.
constexpr int kRegionIndexUnspecified = 249;

}  // namespace srtm
