#include "xem/xem_format.h"

#include <cstring>

namespace srtm {
namespace {

// The header's fields with their offsets, walked by both EncodeTo and DecodeFrom so the
// two can never disagree.
template <typename Header, typename Visitor>
void VisitHeader(Header& h, Visitor&& v) {
  v.Bytes(0, h.magic, 4);
  v.Int32(4, h.formatNumber);
  v.Int32(8, h.firstBlockOffset);
  v.Bytes(12, h.description, 80);
  v.Bytes(92, h.noticeText, 80);
  v.Bytes(172, h.mapSetId, kMapSetIdBytes);
  v.Int32(177, h.reserved177);
  v.Int32(181, h.southEdge);
  v.Int32(185, h.westEdge);
  v.Bytes(189, h.datum, 20);
  v.Int32(209, h.resolutionX);
  v.Int32(213, h.resolutionY);
  v.Int32(217, h.gridWidth);
  v.Int32(221, h.gridHeight);
  v.Int32(225, h.blockWidth);
  v.Int32(229, h.blockHeight);
  v.Int32(233, h.blockCount);
  v.Int32(237, h.blockColumns);
  v.Int32(241, h.blockRows);
  v.Int16(245, h.seaValue);
  v.Bytes(247, h.reserved247, 10);
  v.Bytes(257, &h.constant257, 1);
  v.Bytes(258, &h.constant258, 1);
  v.Bytes(259, &h.sampleBytes, 1);
  v.Bytes(260, &h.constant260, 1);
  v.Bytes(261, &h.codec, 1);
  v.Int32(262, h.flags);
  v.Bytes(266, &h.headerChecksum, 1);
  v.Bytes(267, h.reserved267, 20);
  v.Int32(287, h.sectionSizeC);
  v.Int32(291, h.sectionSizeA);
  v.Bytes(295, h.publisherId, 9);
  v.Int32(304, h.sectionSizeB);
}

struct Encoder {
  std::uint8_t* out;
  void Bytes(std::size_t at, const void* field, std::size_t n) { std::memcpy(out + at, field, n); }
  void Int32(std::size_t at, std::int32_t v) { PutInt32LE(out + at, v); }
  void Int16(std::size_t at, std::int16_t v) { PutInt16LE(out + at, v); }
};

struct Decoder {
  const std::uint8_t* in;
  void Bytes(std::size_t at, void* field, std::size_t n) { std::memcpy(field, in + at, n); }
  void Int32(std::size_t at, std::int32_t& v) { v = GetInt32LE(in + at); }
  void Int16(std::size_t at, std::int16_t& v) { v = GetInt16LE(in + at); }
};

}  // namespace

void XemHeader::EncodeTo(std::uint8_t out[kXemHeaderBytes]) const { VisitHeader(*this, Encoder{out}); }

void XemHeader::DecodeFrom(const std::uint8_t in[kXemHeaderBytes]) { VisitHeader(*this, Decoder{in}); }

std::uint8_t XemHeader::ComputeChecksum() const {
  std::uint8_t bytes[kXemHeaderBytes];
  EncodeTo(bytes);
  bytes[266] = 0;
  unsigned sum = 0;
  for (std::uint8_t b : bytes) sum += b;
  return static_cast<std::uint8_t>((256 - sum % 256) % 256);
}

void XemIndexEntry::EncodeTo(std::uint8_t out[kXemIndexEntryBytes]) const {
  PutInt32LE(out, column);
  PutInt32LE(out + 4, row);
  PutInt32LE(out + 8, offset);
  PutInt32LE(out + 12, length);
}

void XemIndexEntry::DecodeFrom(const std::uint8_t in[kXemIndexEntryBytes]) {
  column = GetInt32LE(in);
  row = GetInt32LE(in + 4);
  offset = GetInt32LE(in + 8);
  length = GetInt32LE(in + 12);
}

void CopyTextField(char* field, std::size_t size, const char* text) {
  std::size_t n = 0;
  if (text) {
    while (n < size && text[n] != '\0') ++n;
    std::memcpy(field, text, n);
  }
  std::memset(field + n, 0, size - n);
}

}  // namespace srtm
