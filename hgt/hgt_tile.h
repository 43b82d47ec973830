// One elevation map that the host opened from a .hgt file.
//
// Opening any tile gives a map of the whole globe in that tile's kind: 361 x 181 tiles
// from 180 W / 90 S, each sample at the centre of its cell. Every block the host asks
// for is assembled from the one to four tile files of the same folder that it overlaps,
// read afresh each time (no cache); tiles that are missing, of the wrong size or that
// cannot be opened are served as zeros. Then voids are filled (when the setting is on)
// and the sea level applied.
//
// Served encoding: 0 is sea (at or below the sea level, sea on) or no data; h + 1 a
// height h >= 0 m; h itself a height h < 0 m.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "hgt/fill_on_read.h"

namespace srtm {

// Where a block of the host's numbering starts in the map's sample grid.
struct BlockOrigin {
  std::int32_t row = 0;         // block row R, 0 at the southern edge
  std::int32_t column = 0;      // block column C, 1 at the western edge
  std::int64_t firstRow = 0;    // map row of the block's row 0: 320 x R
  std::int64_t firstColumn = 0; // map column of the block's column 0: 320 x (C - 1)
};

// Decodes the host's block number: its decimal digits interleave the block row and
// column (hundreds of each) with sub-digits 0 to 9, of which 8 and 9 step one block on.
// Every 32-bit value decodes without overflow; R and C may come out negative.
BlockOrigin DecodeBlockNumber(std::int32_t blockNumber);

// The read step of one row segment: `count` big-endian heights from the file become
// samples as read, voids staying void and every other height h becoming h + 1 (16-bit,
// so 32767 wraps to the void value). Eight at a time in SSE2 lanes, the last 0 to 7 one
// by one.
void ConvertRow(const unsigned char* bytes, int count, std::int16_t* out);

// Turns a block as read (height + 1, voids, zeros) into the served encoding: with the
// sea on, everything at or below seaLevel becomes 0; with it off, only voids do. Other
// negative heights drop the +1 of the read step.
void ApplySeaLevel(std::int16_t* block, std::int32_t seaOn, std::int32_t seaLevel);

class HgtTile {
 public:
  HgtTile();
  ~HgtTile();
  HgtTile(const HgtTile&) = delete;
  HgtTile& operator=(const HgtTile&) = delete;

  // Opens the map of `path`, a tile file that ClassifyHgtFile accepted as `kind` (1 or
  // 3). Reads no file. 1 on success; 0 when a buffer cannot be allocated or the path or
  // kind is not a tile's (the tile is then closed).
  std::int32_t Open(const std::string& path, std::int32_t kind);
  // Fills `buffer` (BLOCK_SIDE x BLOCK_SIDE, row 0 south) with block `blockNumber` under
  // the current settings, read once for the whole block. 1; or 0 with an all-zero
  // buffer when the tile is not open. Blocks outside the map's grid (block column 0 or
  // less, negative block row, or beyond its northern or eastern edge) are served as
  // missing tiles are.
  std::int32_t ReadBlock(std::int32_t blockNumber, std::int16_t* buffer);
  // Frees the buffers and forgets the file; 1, also on a tile that was never opened.
  std::int32_t Close();
  void ReleaseBuffers();
  void Reset();

  bool opened() const { return opened_ != 0; }
  std::int32_t kind() const { return kind_; }
  // Edges of the whole-globe map in degrees, shifted half a sample south-west.
  double south() const { return south_; }
  double west() const { return west_; }
  double north() const { return north_; }
  double east() const { return east_; }
  double samplesPerDegreeX() const { return samplesPerDegreeX_; }
  double samplesPerDegreeY() const { return samplesPerDegreeY_; }
  std::int32_t tileSpanX() const { return tileSpanX_; }
  std::int32_t tileSpanY() const { return tileSpanY_; }
  std::int32_t marginX() const { return marginX_; }
  std::int32_t marginY() const { return marginY_; }
  // Map size in samples.
  std::int32_t width() const { return tileSpanX_ + 2 * marginX_; }
  std::int32_t height() const { return tileSpanY_ + 2 * marginY_; }
  std::int32_t originLat() const { return originLat_; }
  std::int32_t originLon() const { return originLon_; }
  std::int32_t tileLat() const { return tileLat_; }
  std::int32_t tileLon() const { return tileLon_; }
  std::int32_t fileSize() const { return fileSize_; }
  // The opened file's folder (no trailing backslash) and name as the host gave it.
  const std::string& folder() const { return folder_; }
  const std::string& fileName() const { return fileName_; }

 private:
  // Copies rows [rowStart, rowStart + rows) and columns [colStart, colStart + cols) of
  // the tile with south-west corner (lat, lon), counted from that corner, to `target`
  // at (outRow, outCol); zeros when the tile is not usable.
  void ReadTileSegment(int lat, int lon, int rowStart, int rows, int colStart, int cols, std::int16_t* target,
                       int outRow, int outCol);
  // Bytes of one row of a tile file.
  std::size_t RowBytes() const { return 2 * static_cast<std::size_t>(tileSpanX_ + 1); }

  double south_ = 0, west_ = 0, north_ = 0, east_ = 0;
  double samplesPerDegreeX_ = 0, samplesPerDegreeY_ = 0;
  std::int32_t tileSpanX_ = 0, tileSpanY_ = 0;
  std::int32_t tileLat_ = 0, tileLon_ = 0;
  std::int32_t originLat_ = 0, originLon_ = 0;
  std::int32_t degreesPerTile_ = 1;
  std::int32_t marginX_ = 0, marginY_ = 0;
  std::int32_t fileSize_ = 0;
  std::string folder_;
  std::string fileName_;
  std::int32_t kind_ = 1;
  std::int32_t opened_ = 0;
  int rowsPerRead_ = 1;                          // file rows fetched by one read
  std::unique_ptr<std::int16_t[]> rowBuffer_;    // row segments in file byte order
  std::unique_ptr<std::int16_t[]> blockBuffer_;  // the block before filling
};

}  // namespace srtm
