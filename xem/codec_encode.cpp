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
  std::uint32_t fieldOf[16];   // category code already shifted left by k
  int lengthOf[16];            // code length + k

  DifferenceCoder() {
    for (int k = 1; k < 16; ++k) {
      fieldOf[k] = static_cast<std::uint32_t>(CATEGORY_CODE_VALUES[k]) << k;
      lengthOf[k] = CATEGORY_CODE_LENGTHS[k] + k;
    }
  }
};
const DifferenceCoder kCoder;

const std::uint32_t kZeroRunField = static_cast<std::uint32_t>(CATEGORY_CODE_VALUES[codec::ZERO_RUN_ESCAPE]) << 16;
const int kZeroRunFieldBits = CATEGORY_CODE_LENGTHS[codec::ZERO_RUN_ESCAPE] + 16;
const std::uint32_t kRawField = static_cast<std::uint32_t>(CATEGORY_CODE_VALUES[codec::RAW_ESCAPE]) << 16;
const int kRawFieldBits = CATEGORY_CODE_LENGTHS[codec::RAW_ESCAPE] + 16;

inline int SignificantBits(std::uint32_t v) { return 32 - __builtin_clz(v); }

inline void FlushRun(BitWriter& out, std::uint32_t run) {
  if (run == 0) return;
  if (run <= static_cast<std::uint32_t>(codec::kLongestInlineRun)) {
    out.Put(0, CATEGORY_CODE_LENGTHS[0] * static_cast<int>(run));  // run times the code 00
  } else {
    out.Put(kZeroRunField | run, kZeroRunFieldBits);
  }
}

// One visited sample: d = v - prev.
inline void Code(BitWriter& out, std::int32_t v, std::int32_t& prev, std::uint32_t& run) {
  const std::int32_t d = v - prev;
  prev = v;
  if (d == 0) {
    if (++run == static_cast<std::uint32_t>(codec::kMaxRunLength)) {
      out.Put(kZeroRunField | run, kZeroRunFieldBits);
      run = 0;
    }
    return;
  }
  FlushRun(out, run);
  run = 0;
  const std::uint32_t magnitude = static_cast<std::uint32_t>(d < 0 ? -d : d);
  if (magnitude > 32767) {
    out.Put(kRawField | static_cast<std::uint16_t>(v), kRawFieldBits);
    return;
  }
  const int k = SignificantBits(magnitude);
  const std::uint32_t extra = static_cast<std::uint32_t>(d > 0 ? d : d - 1) & ((1u << k) - 1);
  out.Put(kCoder.fieldOf[k] | extra, kCoder.lengthOf[k]);
}

}  // namespace

std::uint32_t TileCodec::EncodeDifferential(std::uint8_t* output, std::size_t capacity, const std::int16_t* input,
                                            std::uint32_t inputBytes, int blockWidth) {
  const std::size_t samples = inputBytes / 2;
  if (blockWidth <= 0 || samples % static_cast<std::size_t>(blockWidth) != 0 ||
      capacity < MaxCompressedBytes(samples)) {
    return 0;
  }
  if (samples == 0) return 0;
  const std::size_t width = static_cast<std::size_t>(blockWidth);
  const std::size_t rows = samples / width;

  std::int32_t prev = input[0];
  output[0] = static_cast<std::uint8_t>(static_cast<std::uint16_t>(prev));
  output[1] = static_cast<std::uint8_t>(static_cast<std::uint16_t>(prev) >> 8);
  BitWriter out;
  out.Init(output + 2, capacity - 2);
  std::uint32_t run = 0;

  for (std::size_t r = 0; r < rows; ++r) {
    const std::int16_t* row = input + r * width;
    if (r % 2 == 0) {
      for (std::size_t c = r == 0 ? 1 : 0; c < width; ++c) Code(out, row[c], prev, run);
    } else {
      for (std::size_t c = width; c-- > 0;) Code(out, row[c], prev, run);
    }
  }
  FlushRun(out, run);
  const std::uint8_t* end = out.Close();
  if (out.overflow) return 0;  // cannot happen with the capacity required above
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
