// XemReader: opens an XEM file, validates it, and decodes any block or the whole grid.
//
// Open checks everything a decode relies on before anything is decoded: the size, the
// magic, the header checksum, the sample and codec numbers, the block and grid sizes,
// the section sizes and firstBlockOffset, and every index entry (inside the block grid,
// inside the file, no block twice). A damaged file gets a Status naming the failed
// check; nothing is ever read outside the file or written outside a caller's buffer.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "xem/status.h"
#include "xem/xem_format.h"

namespace srtm {

// What decoding every block of a file found.
struct XemBlockCheck {
  std::int32_t blocks = 0;   // index entries decoded
  std::int32_t damaged = 0;  // entries that do not decode exactly, and grid blocks missing from the index
  std::int64_t voids = 0;    // void samples (-32768) inside the grid, in the blocks that decode
  Status firstDamage;        // the first damage in file order: the block, its bytes and offset, what is wrong
};

class XemReader {
 public:
  // Limits that keep a damaged header from asking for absurd buffers.
  static constexpr std::int32_t kMaxBlockSide = 4096;
  static constexpr std::int64_t kMaxGridSamples = std::int64_t{1} << 26;

  Status Open(const std::string& path);

  const std::string& path() const { return path_; }
  std::uint64_t fileSize() const { return fileSize_; }
  const XemHeader& header() const { return header_; }
  // The header as stored (what the host hands to XEM hooks).
  const std::uint8_t* headerBytes() const { return headerBytes_; }
  const std::vector<XemIndexEntry>& index() const { return index_; }
  // The index entry of a block, or null when the index has none.
  const XemIndexEntry* FindBlock(std::int32_t column, std::int32_t row) const;

  // Decodes block (column, row) into blockWidth x blockHeight samples, row 0 south.
  Status ReadBlock(std::int32_t column, std::int32_t row, std::vector<std::int16_t>* samples) const;
  // Decodes the stored grid: gridWidth x gridHeight samples, row 0 south. Every block
  // the grid touches must be in the index.
  Status ReadGrid(std::vector<std::int16_t>* grid) const;
  // Decodes every block of the index in file order, each from exactly its stored bytes
  // (TileCodec::DecodeBlockExactly), and looks up every block the grid needs: what a
  // power cut or a flipped byte inside the block data did, Open cannot see. An error
  // only when the file cannot be read; damage is reported in `check`.
  Status CheckEveryBlock(XemBlockCheck* check) const;

 private:
  Status Check(const std::uint8_t* indexBytes);

  std::string path_;
  std::uint64_t fileSize_ = 0;
  XemHeader header_;
  std::uint8_t headerBytes_[kXemHeaderBytes] = {};
  std::vector<XemIndexEntry> index_;
  // (column + row * blockColumns, index entry) sorted by block: memory in proportion to
  // the index the file holds, not to the block grid its header claims.
  std::vector<std::pair<std::int64_t, std::int32_t>> slots_;
  bool open_ = false;
};

}  // namespace srtm
