// Batch compression: every .hgt tile of the reference tile's kind in its folder becomes
// an .xem file in the output folder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace srtm {

class HgtToXemConverter;

class BatchCompressor {
 public:
  // Samples per side of a tile of `kind` (1: 3601, 3: 1201); 0 for any other kind.
  static int TileSide(std::int32_t kind);

  // Converts one tile exactly as CompressFolder does: the converter (its buffers
  // allocated for at least TileSide(kind) samples a side, its fillVoids set by the
  // caller) gets the header fields of the kind, and the tile at `path` with south-west
  // corner (lat, lon) becomes outputFolder\<name>.xem. Returns ConvertFile's answer (1
  // written, 0 not); the path written is converter.outputPath. Reads no process-wide
  // state: safe on several threads at once, each with its own converter.
  static int ConvertTile(HgtToXemConverter& converter, std::int32_t kind, const std::string& path, int lat, int lon,
                         const std::string& outputFolder, int overwrite);

  // Converts the tiles of the kind of `referencePath` found in its folder, one after
  // another, with the voids filled when the fill-voids setting is on as it begins,
  // reporting through the progress interface. `outputList` is emptied and gets
  // one full XEM path per file written. `overwrite` 0 leaves existing XEM files alone
  // (and counts them as failures).
  // Returns -1 when no conversion failed (or there was nothing to do, or the reference
  // is not a tile), 0 when the sample buffers could not be allocated, and otherwise the
  // number of files converted before the end (a failure or a cancel).
  static std::int32_t CompressFolder(const std::string& referencePath, const std::string& outputFolder,
                                     std::vector<std::string>* outputList, int overwrite);
};

}  // namespace srtm
