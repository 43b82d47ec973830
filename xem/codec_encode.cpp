// The block encoder: codecs 0 to 3.
#include <cstring>

#include "xem/codec.h"
#include "xem/codec_bits.h"

namespace srtm {
namespace {

using codec::BitWriter;
using codec::CATEGORY_CODE_LENGTHS;
using codec::CATEGORY_CODE_VALUES;

// Category code and extra bits of every non-zero difference with abs(d) <= 32767, as
// one field: code bits then the k extra bits.
struct DifferenceCoder {
  std::uint32_t fieldOf[16];   // category code already shifted left by k (entry 0: 0)
  int lengthOf[16];            // code length + k (entry 0: 0)

  DifferenceCoder() : fieldOf(), lengthOf() {
    for (int k = 1; k < 16; ++k) {
      fieldOf[k] = static_cast<std::uint32_t>(CATEGORY_CODE_VALUES[k]) << k;
      lengthOf[k] = CATEGORY_CODE_LENGTHS[k] + k;
    }
  }
};
const DifferenceCoder kCoder;

// The same for the small differences of ordinary terrain, looked up by d directly:
// the field and its length, both 0 for d = 0.
constexpr int kTableReach = 2047;  // |d| up to this
constexpr int kGentle = 15;        // |d| up to this codes in at most 7 bits
constexpr std::size_t kQuadFailureShare = 32;  // more than 1 failed try in this many samples: steep
constexpr int kQuadRetryRows = 16;             // rows coded without the four-sample path after that
struct SmallDifference {
  std::uint64_t top;       // the field in the top bits of a 64-bit word
  std::uint32_t length;    // its length in bits
  std::uint32_t nonZero;   // all ones for d != 0, 0 for d = 0
};
struct SmallDifferenceTable {
  SmallDifference entry[2 * kTableReach + 1];
  SmallDifferenceTable() : entry() {
    for (int d = -kTableReach; d <= kTableReach; ++d) {
      if (d == 0) continue;
      const int k = 32 - __builtin_clz(static_cast<std::uint32_t>(d < 0 ? -d : d));
      const std::uint32_t extra = static_cast<std::uint32_t>(d > 0 ? d : d - 1) & ((1u << k) - 1);
      const std::uint64_t field = kCoder.fieldOf[k] | extra;
      entry[d + kTableReach] = {field << (64 - kCoder.lengthOf[k]), static_cast<std::uint32_t>(kCoder.lengthOf[k]),
                                ~0u};
    }
  }
};
const SmallDifferenceTable kSmall;

const std::uint32_t kZeroRunField = static_cast<std::uint32_t>(CATEGORY_CODE_VALUES[codec::ZERO_RUN_ESCAPE]) << 16;
const int kZeroRunFieldBits = CATEGORY_CODE_LENGTHS[codec::ZERO_RUN_ESCAPE] + 16;
const std::uint32_t kRawField = static_cast<std::uint32_t>(CATEGORY_CODE_VALUES[codec::RAW_ESCAPE]) << 16;
const int kRawFieldBits = CATEGORY_CODE_LENGTHS[codec::RAW_ESCAPE] + 16;

inline void StoreBigEndian64(std::uint8_t* p, std::uint64_t w) {
  for (int i = 0; i < 8; ++i) p[i] = static_cast<std::uint8_t>(w >> (56 - 8 * i));
}

// Codes samples in the order given. Most differences of real terrain are small and zero
// about as often as not, so branches on them would be mispredicted at every other
// sample: the common case (a run of fewer than 15 zeros pending, |d| <= 2047) is coded
// without branches from a table, the pending zeros and the code going out as one
// field, and only long runs and large differences take the general path. The state
// lives in locals so that the compiler keeps it in registers.
class Encoder {
 public:
  Encoder(std::uint8_t* out, std::size_t capacity, std::int32_t first) : prev_(first) {
    writer_.Init(out, capacity);
  }

  // Codes `count` samples starting at `p`, `step` apart (1 or -1).
  void Samples(const std::int16_t* p, std::ptrdiff_t step, std::size_t count) {
    // The four-sample path pays on gentle land. On steep land its test goes either way
    // at random and costs more than it saves, so a row where it failed often is
    // followed by rows without it, and it is tried again a few rows later.
    if (quadOn_ || --rowsUntilRetry_ <= 0) {
      quadOn_ = Row<true>(p, step, count);
      if (!quadOn_) rowsUntilRetry_ = kQuadRetryRows;
    } else {
      Row<false>(p, step, count);
    }
  }

  // Flushes the last run and pads; returns the end of the output, or null on overflow.
  std::uint8_t* Close() {
    FlushRun(writer_, run_);
    std::uint8_t* end = writer_.Close();
    return writer_.overflow ? nullptr : end;
  }

 private:
  // Codes one row. With kQuad, answers false when the four-sample path failed too
  // often and the rest of the row went without it.
  template <bool kQuad>
  bool Row(const std::int16_t* p, std::ptrdiff_t step, std::size_t count) {
    std::size_t quadFailures = 0;
    // The branch-free path stores 8 bytes at every sample and advances only past the
    // whole ones, so it needs room for the row's worst case and a spare word.
    if (static_cast<std::size_t>(writer_.end - writer_.next) < (31 * count + 7) / 8 + 16) {
      General(p, step, count);
      return true;
    }
    writer_.FlushBytes();
    std::uint8_t* out = writer_.next;
    std::uint32_t bits = static_cast<std::uint32_t>(writer_.bits);  // pending, fewer than 8 between samples
    std::uint64_t acc = TopAligned(writer_.acc, writer_.bits);
    std::int32_t prev = prev_;
    std::uint32_t gap = 2 * run_;  // the pending run as the bits of its 00 codes
    const SmallDifference* const table = kSmall.entry + kTableReach;
    for (std::size_t i = 0; i < count; ++i, p += step) {
      const std::int32_t v = *p;
      const std::int32_t d = v - prev;
      if (kQuad && i + 3 < count) {
        // Four gentle samples (|d| <= 15, at most 7 bits each) after a short run go out
        // with one store: at most 7 pending + 22 gap + 4 x 7 = 57 bits.
        const std::int32_t v2 = p[step];
        const std::int32_t v3 = p[2 * step];
        const std::int32_t v4 = p[3 * step];
        const std::int32_t d2 = v2 - v;
        const std::int32_t d3 = v3 - v2;
        const std::int32_t d4 = v4 - v3;
        if ((gap <= 2 * static_cast<std::uint32_t>(codec::kLongestInlineRun - 4)) &
            (static_cast<std::uint32_t>(d + kGentle) <= 2 * kGentle) &
            (static_cast<std::uint32_t>(d2 + kGentle) <= 2 * kGentle) &
            (static_cast<std::uint32_t>(d3 + kGentle) <= 2 * kGentle) &
            (static_cast<std::uint32_t>(d4 + kGentle) <= 2 * kGentle)) {
          std::uint32_t at = bits;
          const SmallDifference* const entries[4] = {&table[d], &table[d2], &table[d3], &table[d4]};
          for (const SmallDifference* e : entries) {
            at += gap & e->nonZero;
            acc |= e->top >> at;
            at += e->length;
            gap = (gap + 2) & ~e->nonZero;
          }
          StoreBigEndian64(out, acc);
          out += at >> 3;
          acc <<= at & ~7u;
          bits = at & 7;
          prev = v4;
          i += 3;
          p += 3 * step;
          continue;
        }
        if (++quadFailures * kQuadFailureShare > count) {
          // Steep land: the rest of the row goes without the four-sample path.
          Store(out, acc, bits, prev, gap / 2);
          Row<false>(p, step, count - i);
          return false;
        }
      }
      if (i + 1 < count) {
        // Two ordinary samples go out with one store when their bits fit the word.
        const std::int32_t v2 = p[step];
        const std::int32_t d2 = v2 - v;
        if ((gap <= 2 * static_cast<std::uint32_t>(codec::kLongestInlineRun - 2)) &
            (static_cast<std::uint32_t>(d + kTableReach) <= 2 * kTableReach) &
            (static_cast<std::uint32_t>(d2 + kTableReach) <= 2 * kTableReach)) {
          const SmallDifference& e1 = table[d];
          const SmallDifference& e2 = table[d2];
          const std::uint32_t before1 = gap & e1.nonZero;
          const std::uint32_t gap1 = (gap + 2) & ~e1.nonZero;
          const std::uint32_t before2 = gap1 & e2.nonZero;
          const std::uint32_t at1 = bits + before1;
          const std::uint32_t at2 = at1 + e1.length + before2;
          const std::uint32_t total = at2 + e2.length;
          if (total < 64) {
            acc |= e1.top >> at1;
            acc |= e2.top >> at2;
            gap = (gap1 + 2) & ~e2.nonZero;
            StoreBigEndian64(out, acc);
            out += total >> 3;
            acc <<= total & ~7u;
            bits = total & 7;
            prev = v2;
            ++i;
            p += step;
            continue;
          }
        }
      }
      if ((gap >= 2 * static_cast<std::uint32_t>(codec::kLongestInlineRun)) |
          (static_cast<std::uint32_t>(d + kTableReach) > 2 * kTableReach)) {
        Store(out, acc, bits, prev, gap / 2);
        std::size_t n = 1;
        if (d == 0) {
          // A long run of zero differences (flat land, sea) is counted as far as it lasts.
          while (i + n < count && p[static_cast<std::ptrdiff_t>(n) * step] == v) ++n;
          AddZeros(n);
        } else {
          General(p, step, 1);
        }
        i += n - 1;
        p += static_cast<std::ptrdiff_t>(n - 1) * step;
        writer_.FlushBytes();
        out = writer_.next;
        bits = static_cast<std::uint32_t>(writer_.bits);
        acc = TopAligned(writer_.acc, writer_.bits);
        prev = prev_;
        gap = 2 * run_;
        continue;
      }
      prev = v;
      const SmallDifference& e = table[d];
      // A zero difference only lengthens the gap; any other closes it: the gap and the
      // code go out together, at most 28 + 20 bits.
      const std::uint32_t before = gap & e.nonZero;
      gap = (gap + 2) & ~e.nonZero;
      acc |= e.top >> (bits + before);
      bits += before + e.length;
      StoreBigEndian64(out, acc);
      out += bits >> 3;
      acc <<= bits & ~7u;
      bits &= 7;
    }
    const std::uint32_t run = gap / 2;
    Store(out, acc, bits, prev, run);
    return true;
  }

  // The writer keeps its pending bits in the low end of its word, the fast path at the top.
  static std::uint64_t TopAligned(std::uint64_t low, int bits) { return bits ? low << (64 - bits) : 0; }
  void Store(std::uint8_t* out, std::uint64_t top, std::uint32_t bits, std::int32_t prev, std::uint32_t run) {
    writer_.next = out;
    writer_.acc = bits ? top >> (64 - bits) : 0;
    writer_.bits = static_cast<int>(bits);
    prev_ = prev;
    run_ = run;
  }

  static void FlushRun(BitWriter& w, std::uint32_t run) {
    if (run == 0) return;
    if (run <= static_cast<std::uint32_t>(codec::kLongestInlineRun)) {
      w.Put(0, CATEGORY_CODE_LENGTHS[0] * static_cast<int>(run));  // run times the code 00
    } else {
      w.Put(kZeroRunField | run, kZeroRunFieldBits);
    }
  }

  // n more zero differences: the run grows, written out whenever it reaches 65535.
  void AddZeros(std::size_t n) {
    const auto limit = static_cast<std::uint32_t>(codec::kMaxRunLength);
    while (n > 0) {
      const std::size_t take = n < limit - run_ ? n : limit - run_;
      run_ += static_cast<std::uint32_t>(take);
      n -= take;
      if (run_ == limit) {
        writer_.Put(kZeroRunField | run_, kZeroRunFieldBits);
        run_ = 0;
      }
    }
  }

  // The general path, a sample at a time, through the checked writer.
  void General(const std::int16_t* p, std::ptrdiff_t step, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i, p += step) {
      const std::int32_t v = *p;
      const std::int32_t d = v - prev_;
      prev_ = v;
      if (d == 0) {
        if (++run_ == static_cast<std::uint32_t>(codec::kMaxRunLength)) {
          writer_.Put(kZeroRunField | run_, kZeroRunFieldBits);
          run_ = 0;
        }
        continue;
      }
      FlushRun(writer_, run_);
      run_ = 0;
      const std::uint32_t magnitude = static_cast<std::uint32_t>(d < 0 ? -d : d);
      if (magnitude > 32767) {
        writer_.Put(kRawField | static_cast<std::uint16_t>(v), kRawFieldBits);
        continue;
      }
      const int k = 32 - __builtin_clz(magnitude);
      const std::uint32_t extra = static_cast<std::uint32_t>(d > 0 ? d : d - 1) & ((1u << k) - 1);
      writer_.Put(kCoder.fieldOf[k] | extra, kCoder.lengthOf[k]);
    }
  }

  BitWriter writer_;
  std::int32_t prev_;
  std::uint32_t run_ = 0;
  bool quadOn_ = true;
  int rowsUntilRetry_ = 0;
};

}  // namespace

std::uint32_t TileCodec::EncodeDifferential(std::uint8_t* output, std::size_t capacity, const std::int16_t* input,
                                            std::uint32_t inputBytes, int blockWidth) {
  const std::size_t samples = inputBytes / 2;
  if (blockWidth <= 0 || samples == 0 || samples % static_cast<std::size_t>(blockWidth) != 0 ||
      capacity < MaxCompressedBytes(samples)) {
    return 0;
  }
  const std::size_t width = static_cast<std::size_t>(blockWidth);
  const std::size_t rows = samples / width;

  const auto first = static_cast<std::uint16_t>(input[0]);
  output[0] = static_cast<std::uint8_t>(first);
  output[1] = static_cast<std::uint8_t>(first >> 8);
  Encoder encoder(output + 2, capacity - 2, input[0]);
  // Serpentine order: even rows west to east, odd rows east to west.
  encoder.Samples(input + 1, 1, width - 1);
  for (std::size_t r = 1; r < rows; ++r) {
    const std::int16_t* row = input + r * width;
    if (r % 2 == 0) {
      encoder.Samples(row, 1, width);
    } else {
      encoder.Samples(row + width - 1, -1, width);
    }
  }
  const std::uint8_t* end = encoder.Close();
  if (!end) return 0;  // cannot happen with the capacity required above
  return static_cast<std::uint32_t>(end - output);
}

int TileCodec::CompressBlock(std::uint8_t* output, std::uint32_t* outputLength, const std::int16_t* input,
                             std::uint32_t inputBytes, int codecNumber, int blockWidth) {
  switch (codecNumber & 0xFF) {
    case kCodecCopy:
    case kCodecCopy2:
      if (*outputLength < inputBytes) return 0;
      std::memcpy(output, input, inputBytes);
      *outputLength = inputBytes;
      return 1;
    case kCodecEmpty:
      *outputLength = 0;
      return 1;
    case kCodecDifferential: {
      const std::uint32_t length = EncodeDifferential(output, *outputLength, input, inputBytes, blockWidth);
      if (length == 0) return 0;
      *outputLength = length;
      return 1;
    }
    default:
      return 0;
  }
}

}  // namespace srtm
