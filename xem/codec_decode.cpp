// The block decoder: codecs 0, 2 and 3, safe on any input.
#include <algorithm>
#include <string>

#include "xem/codec.h"
#include "xem/codec_bits.h"

namespace srtm {
namespace {

using codec::BitReader;

std::string At(std::size_t sample, const char* what) {
  return std::string(what) + " at sample " + std::to_string(sample);
}

// Writes samples in serpentine order: even rows west to east, odd rows east to west.
class SerpentineCursor {
 public:
  SerpentineCursor(std::int16_t* block, int width) : block_(block), width_(width) {}
  void Put(std::int16_t v) {
    block_[row_ * static_cast<std::size_t>(width_) + static_cast<std::size_t>(column_)] = v;
    column_ += step_;
    if (column_ == width_ || column_ < 0) {
      ++row_;
      step_ = -step_;
      column_ += step_;
    }
  }
  // Writes v n times.
  void Repeat(std::int16_t v, std::size_t n) {
    while (n > 0) {
      const std::size_t inRow = static_cast<std::size_t>(step_ > 0 ? width_ - column_ : column_ + 1);
      const std::size_t take = n < inRow ? n : inRow;
      std::int16_t* rowStart = block_ + row_ * static_cast<std::size_t>(width_);
      if (step_ > 0) {
        std::fill(rowStart + column_, rowStart + column_ + take, v);
      } else {
        std::fill(rowStart + column_ + 1 - static_cast<std::ptrdiff_t>(take), rowStart + column_ + 1, v);
      }
      n -= take;
      if (take == inRow) {
        ++row_;
        step_ = -step_;
        column_ = step_ > 0 ? 0 : width_ - 1;
      } else {
        column_ += step_ * static_cast<int>(take);
      }
    }
  }

 private:
  std::int16_t* block_;
  int width_;
  std::size_t row_ = 0;
  int column_ = 0;
  int step_ = 1;
};

// The category code at the top of a 32-bit word: its category and length in bits, or
// category -1 for fifteen 1-bits (no such code).
void MatchCode(std::uint32_t word, int* category, int* length) {
  const int ones = word == 0xFFFFFFFFu ? 32 : __builtin_clz(~word);
  if (ones == 0) {
    *category = (word & 0x40000000u) == 0 ? 0 : 1 + static_cast<int>((word >> 29) & 1);
    *length = *category == 0 ? 2 : 3;
  } else if (ones == 1) {
    *category = 3 + static_cast<int>((word >> 29) & 1);
    *length = 3;
  } else if (ones == 2) {
    *category = 5;
    *length = 3;
  } else if (ones <= 14) {
    *category = ones + 3;
    *length = ones + 1;
  } else {
    *category = -1;
    *length = 0;
  }
}

// The difference coded by k extra bits m.
inline std::int32_t Difference(std::uint32_t m, int k) {
  return (m >> (k - 1)) ? static_cast<std::int32_t>(m) : static_cast<std::int32_t>(m) - (1 << k) + 1;
}

// Every code with its extra bits that fits in the next 12 bits, decoded at once: most
// differences of terrain are small, and one lookup replaces the code match and the
// extra-bit read.
constexpr int kLookupBits = 12;
struct Lookup {
  std::int16_t difference = 0;
  std::uint8_t length = 0;  // bits taken; 0: not decided by 12 bits
};
struct LookupTable {
  Lookup entry[1 << kLookupBits];
  LookupTable() {
    for (std::uint32_t top = 0; top < (1u << kLookupBits); ++top) {
      const std::uint32_t word = top << (32 - kLookupBits);
      int category, length;
      MatchCode(word, &category, &length);
      if (category < 0 || category > 15 || length + category > kLookupBits) continue;
      const std::uint32_t m = category == 0 ? 0 : (word << length) >> (32 - category);
      entry[top].difference = static_cast<std::int16_t>(category == 0 ? 0 : Difference(m, category));
      entry[top].length = static_cast<std::uint8_t>(length + category);
    }
  }
};
const LookupTable kLookup;

// `bitsUsed` receives the bits the codes took after the first sample.
Status DecodeDifferential(const std::uint8_t* data, std::size_t size, int width, std::size_t total,
                          std::int16_t* output, std::uint64_t* bitsUsed) {
  if (size < 2) return Status::Corrupt("block of " + std::to_string(size) + " bytes has no first sample");
  std::int32_t prev = static_cast<std::int16_t>(static_cast<std::uint16_t>(data[0] | data[1] << 8));
  SerpentineCursor cursor(output, width);
  cursor.Put(static_cast<std::int16_t>(prev));
  std::size_t done = 1;

  BitReader in;
  in.Init(data + 2, size - 2);
  while (done < total) {
    if (in.bits < 32) in.Refill();
    const Lookup& fast = kLookup.entry[in.acc >> (64 - kLookupBits)];
    if (fast.length != 0) {
      in.Skip(fast.length);
      prev += fast.difference;
      if (prev < -32768 || prev > 32767) return Status::Corrupt(At(done, "difference leaves the 16-bit range"));
      cursor.Put(static_cast<std::int16_t>(prev));
      ++done;
      if (in.Overrun()) return Status::Corrupt(At(done, "stream ends"));
      continue;
    }
    int category;
    int length;
    MatchCode(in.Peek32(), &category, &length);
    if (category < 0) return Status::Corrupt(At(done, "unknown category code"));
    in.Skip(length);

    if (category == 0) {
      cursor.Put(static_cast<std::int16_t>(prev));
      ++done;
    } else if (category == codec::ZERO_RUN_ESCAPE) {
      const std::size_t run = in.Read(16);
      if (run > total - done) return Status::Corrupt(At(done, "zero run passes the end of the block"));
      cursor.Repeat(static_cast<std::int16_t>(prev), run);
      done += run;
    } else if (category == codec::RAW_ESCAPE) {
      prev = static_cast<std::int16_t>(static_cast<std::uint16_t>(in.Read(16)));
      cursor.Put(static_cast<std::int16_t>(prev));
      ++done;
    } else {
      prev += Difference(in.Read(category), category);
      if (prev < -32768 || prev > 32767) return Status::Corrupt(At(done, "difference leaves the 16-bit range"));
      cursor.Put(static_cast<std::int16_t>(prev));
      ++done;
    }
    if (in.Overrun()) return Status::Corrupt(At(done, "stream ends"));
  }
  *bitsUsed = in.consumed;
  return Status::Ok();
}

}  // namespace

Status TileCodec::DecodeBlock(const std::uint8_t* data, std::size_t size, int codecNumber, int blockWidth,
                              int blockHeight, std::int16_t* output) {
  if (blockWidth <= 0 || blockHeight <= 0) {
    return Status::InvalidArgument("block of " + std::to_string(blockWidth) + " x " + std::to_string(blockHeight));
  }
  const std::size_t total = static_cast<std::size_t>(blockWidth) * static_cast<std::size_t>(blockHeight);
  switch (codecNumber & 0xFF) {
    case kCodecCopy:
    case kCodecCopy2:
      if (size != 2 * total) {
        return Status::Corrupt("stored block of " + std::to_string(size) + " bytes, expected " +
                               std::to_string(2 * total));
      }
      for (std::size_t i = 0; i < total; ++i) {
        output[i] = static_cast<std::int16_t>(static_cast<std::uint16_t>(data[2 * i] | data[2 * i + 1] << 8));
      }
      return Status::Ok();
    case kCodecDifferential: {
      std::uint64_t bits = 0;
      return DecodeDifferential(data, size, blockWidth, total, output, &bits);
    }
    default:
      return Status::InvalidArgument("codec " + std::to_string(codecNumber & 0xFF) + " cannot be decoded");
  }
}

Status TileCodec::DecodeBlockExactly(const std::uint8_t* data, std::size_t size, int codecNumber, int blockWidth,
                                     int blockHeight, std::int16_t* output) {
  if ((codecNumber & 0xFF) != kCodecDifferential || blockWidth <= 0 || blockHeight <= 0) {
    return DecodeBlock(data, size, codecNumber, blockWidth, blockHeight, output);
  }
  const std::size_t total = static_cast<std::size_t>(blockWidth) * static_cast<std::size_t>(blockHeight);
  std::uint64_t bits = 0;
  const Status s = DecodeDifferential(data, size, blockWidth, total, output, &bits);
  if (!s.ok()) return s;
  const std::size_t used = 2 + static_cast<std::size_t>((bits + 7) / 8);
  if (used != size) {
    return Status::Corrupt("the codes of all " + std::to_string(total) + " samples end after " +
                           std::to_string(used) + " of the " + std::to_string(size) + " bytes stored");
  }
  const int padding = static_cast<int>((8 - bits % 8) % 8);
  const unsigned mask = (1u << padding) - 1;
  if ((data[size - 1] & mask) != mask) {
    return Status::Corrupt("the last byte's " + std::to_string(padding) + " padding bits are not all 1");
  }
  return Status::Ok();
}

}  // namespace srtm
