// The XEM file: one grid of 16-bit elevation samples cut into equal blocks, each block
// compressed on its own (xem/codec.h), behind a fixed header and an index.
//
//   offset 0                     XemHeader, 308 bytes
//   308                          blockCount XemIndexEntry records, 16 bytes each
//   308 + 16 * blockCount        sections A, B and C (sizes in the header; may be 0)
//   firstBlockOffset             the compressed blocks, back to back
//
// Integers are little-endian; texts are Shift-JIS, zero-padded, with no terminator when
// they fill their field. Grid column x (0 = west) and row y (0 = south) lie in block
// (x / blockWidth, y / blockHeight); a block's row 0 is its southern row. The edges are
// those of the sample cells, in units of 1/360000 degree.
#pragma once

#include <cstddef>
#include <cstdint>

#include "xem/mapset_id.h"

namespace srtm {

constexpr std::size_t kXemHeaderBytes = 308;
constexpr std::size_t kXemIndexEntryBytes = 16;
constexpr std::int32_t kXemFormatNumber = 1000;
constexpr char kXemMagic[4] = {'X', 'E', 'M', '0'};
// The publisher (user) ID the plug-in writes into its files: 8 characters.
constexpr char kXemPublisherId[] = "ZOZORUDO";
// The sample that stands for sea in XEM data (-30000 as a signed 16-bit value).
constexpr std::int16_t kXemSeaValue = -30000;
// Bit 0 of `flags`: decoded samples take part in the plug-in's sea level.
constexpr std::int32_t kXemFlagSeaLevel = 1;

struct XemHeader {
  char magic[4] = {};                    // 0   "XEM0"
  std::int32_t formatNumber = 0;         // 4   1000
  std::int32_t firstBlockOffset = 0;     // 8
  char description[80] = {};             // 12
  char noticeText[80] = {};              // 92
  std::uint8_t mapSetId[kMapSetIdBytes] = {};  // 172
  std::int32_t reserved177 = 0;          // 177
  std::int32_t southEdge = 0;            // 181 1/360000 degree
  std::int32_t westEdge = 0;             // 185
  char datum[20] = {};                   // 189 "WGS84"
  std::int32_t resolutionX = 0;          // 209 samples per degree x 100
  std::int32_t resolutionY = 0;          // 213
  std::int32_t gridWidth = 0;            // 217 stored samples
  std::int32_t gridHeight = 0;           // 221
  std::int32_t blockWidth = 0;           // 225
  std::int32_t blockHeight = 0;          // 229
  std::int32_t blockCount = 0;           // 233 index entries
  std::int32_t blockColumns = 0;         // 237 1 + largest block column in the index
  std::int32_t blockRows = 0;            // 241 1 + largest block row
  std::int16_t seaValue = 0;             // 245
  std::uint8_t reserved247[10] = {};     // 247
  std::uint8_t constant257 = 0;          // 257 1
  std::uint8_t constant258 = 0;          // 258 0
  std::uint8_t sampleBytes = 0;          // 259 2
  std::uint8_t constant260 = 0;          // 260 1
  std::uint8_t codec = 0;                // 261 3
  std::int32_t flags = 0;                // 262 7
  std::uint8_t headerChecksum = 0;       // 266 header bytes sum to 0 modulo 256
  std::uint8_t reserved267[20] = {};     // 267
  std::int32_t sectionSizeC = 0;         // 287
  std::int32_t sectionSizeA = 0;         // 291
  char publisherId[9] = {};              // 295 8 characters and a zero byte
  std::int32_t sectionSizeB = 0;         // 304

  void EncodeTo(std::uint8_t out[kXemHeaderBytes]) const;
  void DecodeFrom(const std::uint8_t in[kXemHeaderBytes]);
  // The checksum byte that makes the encoded header sum to 0 modulo 256 (computed with
  // the checksum byte taken as 0).
  std::uint8_t ComputeChecksum() const;
};

struct XemIndexEntry {
  std::int32_t column = 0;  // block column, 0 = westernmost
  std::int32_t row = 0;     // block row, 0 = southernmost
  std::int32_t offset = 0;  // absolute file offset of the compressed data
  std::int32_t length = 0;  // bytes of compressed data

  void EncodeTo(std::uint8_t out[kXemIndexEntryBytes]) const;
  void DecodeFrom(const std::uint8_t in[kXemIndexEntryBytes]);
};

// Little-endian integers in byte buffers.
inline void PutInt32LE(std::uint8_t* p, std::int32_t v) {
  const auto u = static_cast<std::uint32_t>(v);
  p[0] = static_cast<std::uint8_t>(u);
  p[1] = static_cast<std::uint8_t>(u >> 8);
  p[2] = static_cast<std::uint8_t>(u >> 16);
  p[3] = static_cast<std::uint8_t>(u >> 24);
}
inline std::int32_t GetInt32LE(const std::uint8_t* p) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
                                   static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24);
}
inline void PutInt16LE(std::uint8_t* p, std::int16_t v) {
  const auto u = static_cast<std::uint16_t>(v);
  p[0] = static_cast<std::uint8_t>(u);
  p[1] = static_cast<std::uint8_t>(u >> 8);
}
inline std::int16_t GetInt16LE(const std::uint8_t* p) {
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(p[0] | p[1] << 8));
}

// Copies text into a fixed field with strncpy semantics: at most `size` bytes, the rest
// zero; no terminator when the text fills the field.
void CopyTextField(char* field, std::size_t size, const char* text);

}  // namespace srtm
