// The bit format of XEM blocks, shared by the block encoder and the block decoder.
//
// A codec-3 block is the first sample as two little-endian bytes, then a bit stream
// written most significant bit first. Each visited sample after the first is coded by
// its difference d from the previous one: a category code, then extra bits.
//
//   category 0        d = 0 (one code per zero difference, up to 15 in a row)
//   category k 1..15  abs(d) has k significant bits; k extra bits follow: the low k
//                     bits of d when d > 0, else of d - 1 (a leading 0 bit: negative)
//   ZERO_RUN_ESCAPE   a 16-bit count follows: that many zero differences
//   RAW_ESCAPE        the sample itself follows as 16 bits (|d| > 32767)
//
// The codes of categories 0 to 11 are the luminance DC prefix codes of JPEG
// (ITU-T T.81, Table K.3), extended by one more 1-bit per entry. A partly filled last
// byte is padded with 1-bits; a stream ending on a byte boundary gets no padding.
// Every 16-bit field inside the bit stream is most significant bit first, unlike the
// leading little-endian first sample.
#pragma once

#include <cstddef>
#include <cstdint>

namespace srtm::codec {

constexpr int kCategoryCount = 18;
constexpr int ZERO_RUN_ESCAPE = 16;
constexpr int RAW_ESCAPE = 17;
constexpr int kMaxRunLength = 65535;  // a run this long is written at once
constexpr int kLongestInlineRun = 15;  // longer runs use ZERO_RUN_ESCAPE

// CATEGORY_CODES as two parallel tables: code lengths in bits and code values.
constexpr std::int32_t CATEGORY_CODE_LENGTHS[kCategoryCount] = {2, 3, 3, 3, 3, 3, 4, 5, 6,
                                                                7, 8, 9, 10, 11, 12, 13, 14, 15};
constexpr std::int32_t CATEGORY_CODE_VALUES[kCategoryCount] = {0,   2,   3,    4,    5,    6,    14,    30,    62,
                                                               126, 254, 510, 1022, 2046, 4094, 8190, 16382, 32766};

// Writes fields of up to 32 bits, most significant bit first, into a buffer of known
// capacity. Bytes are stored four at a time from a 64-bit accumulator; a field that
// would pass the end of the buffer sets `overflow` and is dropped, so the writer never
// stores outside the buffer.
struct BitWriter {
  std::uint8_t* next = nullptr;
  std::uint8_t* end = nullptr;
  std::uint64_t acc = 0;  // pending bits in the low `bits` bits (higher bits are stale)
  int bits = 0;           // pending bits, always below 32 between calls
  bool overflow = false;

  void Init(std::uint8_t* begin, std::size_t capacity) {
    next = begin;
    end = begin + capacity;
    acc = 0;
    bits = 0;
    overflow = false;
  }

  // Appends the low n bits of value (1 <= n <= 32; higher bits of value must be 0).
  void Put(std::uint32_t value, int n) {
    acc = (acc << n) | value;
    bits += n;
    if (bits < 32) return;
    bits -= 32;
    const auto word = static_cast<std::uint32_t>(acc >> bits);
    if (end - next < 4) {
      overflow = true;
      return;
    }
    next[0] = static_cast<std::uint8_t>(word >> 24);
    next[1] = static_cast<std::uint8_t>(word >> 16);
    next[2] = static_cast<std::uint8_t>(word >> 8);
    next[3] = static_cast<std::uint8_t>(word);
    next += 4;
  }

  // Stores the whole pending bytes, leaving fewer than 8 bits pending.
  void FlushBytes() {
    while (bits >= 8) {
      bits -= 8;
      if (next == end) {
        overflow = true;
        return;
      }
      *next++ = static_cast<std::uint8_t>(acc >> bits);
    }
  }

  // Pads a partly filled last byte with 1-bits and stores the pending bytes. Returns
  // the position after the last byte written.
  std::uint8_t* Close() {
    const int partial = bits & 7;
    if (partial) Put((1u << (8 - partial)) - 1, 8 - partial);
    while (bits > 0) {
      bits -= 8;
      if (next == end) {
        overflow = true;
        break;
      }
      *next++ = static_cast<std::uint8_t>(acc >> bits);
    }
    return next;
  }
};

// Reads a bit stream most significant bit first. It always knows how many bytes are
// left: past the end it supplies 0-bits and counts them, so a caller learns that a
// code ran off the end (Overrun) without any read outside the buffer.
struct BitReader {
  const std::uint8_t* next = nullptr;
  const std::uint8_t* end = nullptr;
  std::uint64_t acc = 0;  // the next bits, most significant first; `bits` of them valid
  int bits = 0;
  std::uint64_t consumed = 0;  // bits taken so far
  std::uint64_t available = 0;  // bits in the buffer

  void Init(const std::uint8_t* begin, std::size_t size) {
    next = begin;
    end = begin + size;
    acc = 0;
    bits = 0;
    consumed = 0;
    available = static_cast<std::uint64_t>(size) * 8;
  }

  // Makes at least 57 bits valid (0-bits past the end of the buffer).
  void Refill() {
    if (end - next >= 8) {
      std::uint64_t word = 0;
      for (int i = 0; i < 8; ++i) word = (word << 8) | next[i];
      acc |= word >> bits;
      const int take = (63 - bits) >> 3;
      next += take;
      bits += take * 8;
      return;
    }
    while (bits <= 56) {
      const std::uint64_t byte = next < end ? *next++ : 0;
      acc |= byte << (56 - bits);
      bits += 8;
    }
  }

  // The next 32 bits without taking them; call Refill first when fewer than 32 are valid.
  std::uint32_t Peek32() const { return static_cast<std::uint32_t>(acc >> 32); }
  void Skip(int n) {
    acc <<= n;
    bits -= n;
    consumed += static_cast<std::uint64_t>(n);
  }
  // Takes n bits (1 <= n <= 32) as a number.
  std::uint32_t Read(int n) {
    if (bits < 32) Refill();
    const std::uint32_t value = static_cast<std::uint32_t>(acc >> (64 - n));
    Skip(n);
    return value;
  }
  // True once more bits were taken than the buffer holds.
  bool Overrun() const { return consumed > available; }
};

}  // namespace srtm::codec
