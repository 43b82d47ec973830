// Batch compression: every .hgt tile of the reference tile's kind in its folder becomes
// an .xem file in the output folder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace srtm {

class BatchCompressor {
 public:
  // Converts the tiles of the kind of `referencePath` found in its folder, one after
  // another, reporting through the progress interface. `outputList` is emptied and gets
  // one full XEM path per file written. `overwrite` 0 leaves existing XEM files alone
  // (and counts them as failures).
  // Returns -1 when no conversion failed (or there was nothing to do, or the reference
  // is not a tile), 0 when the sample buffers could not be allocated, and otherwise the
  // number of files converted before the end (a failure or a cancel).
  static std::int32_t CompressFolder(const std::string& referencePath, const std::string& outputFolder,
                                     std::vector<std::string>* outputList, int overwrite);
};

}  // namespace srtm
