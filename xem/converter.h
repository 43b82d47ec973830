// HgtToXemConverter: one .hgt tile to one .xem file in an output folder.
//
// The tile is read whole, swapped to machine byte order, filled (when the caller asks
// for it), cut into blocks from the south-west corner (the northern edge row and
// the eastern edge column, shared with the neighbours, are not stored), and each block
// is compressed and appended. Progress goes to the progress interface in steps of two
// percentage points, and a stop request is honoured after every block. Whatever goes
// wrong, no partial XEM file is left and an existing one that is not to be overwritten
// is not touched.
#pragma once

#include <cstdint>
#include <string>

#include "xem/sample_buffer.h"

namespace srtm {

class HgtToXemConverter {
 public:
  // Set by the caller before ConvertFile.
  std::string publisherIdText;  // first 8 characters go into publisherId
  std::string description;      // first 80 bytes
  std::string noticeText;       // first 80 bytes
  std::string datumName;        // first 20 bytes
  std::int32_t idGroup = 0;
  std::int32_t regionIndex = 0;  // into REGION_CODES; 0 = no region
  std::int32_t seriesMajor = 0;
  std::int32_t seriesMinor = 0;
  std::int32_t idFieldD = 0;
  std::int32_t idFieldE = 0;
  std::int32_t idKind = 0;
  std::int32_t fillVoids = 1;  // non-zero: voids filled before compression

  // The path of the XEM file of the last ConvertFile (set before the existence test).
  std::string outputPath;
  // Why the last ConvertFile returned 0, naming the file in the system's form
  // ("/out/N57E011.xem: No space left on device"); empty after a success and for an
  // existing file left alone. outputFailed: it was the XEM file that could not be written.
  std::string failure;
  bool outputFailed = false;

  // Allocates the raw and filled sample buffers of width x height samples. 1, or 0
  // after the message "memory cannot be allocated".
  int AllocateBuffers(int width, int height);

  // Converts the tile at `hgtPath` (width x height samples; edges of the sample cells in
  // degrees) into `outputFolder`\<name>.xem with blocks of blockWidth x blockHeight.
  // Returns 1 when the file was written completely, 0 otherwise: the tile cannot be
  // opened, is not exactly width x height samples long (message "the file cannot be read"),
  // the output exists and `overwrite` is 0 (left untouched), the output path does not
  // fit, the arguments do not describe whole blocks, a write fails, or the user stops.
  // Always ends with ProgressSetPercent(100).
  int ConvertFile(const std::string& hgtPath, const std::string& outputFolder, double south, double west,
                  double north, double east, int blockWidth, int blockHeight, int width, int height, int overwrite);

 private:
  int Convert(const std::string& hgtPath, const std::string& outputFolder, double south, double west, double north,
              double east, int blockWidth, int blockHeight, int width, int height, int overwrite);

  SampleBuffer raw_;
  SampleBuffer filled_;
};

// The XEM path for a tile: its file name with the extension replaced by ".xem" (or
// ".xem" added when it has none), in `outputFolder`. False when it would not fit.
bool XemPathForTile(const std::string& hgtPath, const std::string& outputFolder, std::string* xemPath);

}  // namespace srtm
