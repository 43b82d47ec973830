// TileCodec: one block of 16-bit elevation samples to the bytes stored for it in an XEM
// file, and back. The bit format is described in xem/codec_bits.h.
//
// Blocks are `blockWidth` samples wide, row-major, row 0 the southern row, in machine
// byte order. Codec 3 visits them in serpentine order: row 0 west to east, row 1 east to
// west, row 2 west to east, and so on.
//
// The encoder (codec_encode.cpp) and the decoder (codec_decode.cpp) are separate, so a
// reader of XEM files links the decoder alone.
#pragma once

#include <cstddef>
#include <cstdint>

#include "xem/status.h"

namespace srtm {

struct TileCodec {
  enum : int { kCodecCopy = 0, kCodecEmpty = 1, kCodecCopy2 = 2, kCodecDifferential = 3 };

  // The most bytes codec 3 can produce for `sampleCount` samples: the 2-byte first
  // sample, then at most 31 bits for every further sample (RAW_ESCAPE and 16 bits), the
  // last byte padded. Twice the raw size is not enough in the worst case, this is.
  static std::size_t MaxCompressedBytes(std::size_t sampleCount) {
    return sampleCount == 0 ? 2 : 2 + (31 * (sampleCount - 1) + 7) / 8;
  }

  // Compresses one block. `outputLength` is in/out: the capacity of `output` in, the
  // number of bytes produced out. Only the low 8 bits of `codec` count:
  //   0, 2   the input bytes copied unchanged;
  //   1      nothing (length 0);
  //   3      EncodeDifferential.
  // Returns 1; returns 0 and leaves `outputLength` unchanged for a codec this encoder
  // does not write (4 to 255), a block that is not whole rows of blockWidth samples, or
  // an output buffer too small for the worst case of the codec (MaxCompressedBytes for
  // codec 3, the input size for 0 and 2), so no block can ever overflow it.
  static int CompressBlock(std::uint8_t* output, std::uint32_t* outputLength, const std::int16_t* input,
                           std::uint32_t inputBytes, int codec, int blockWidth);

  // Codec 3 into `output`; bytes after the result are left as they were. REQUIRES: inputBytes/2
  // a multiple of blockWidth > 0 and capacity >= MaxCompressedBytes(inputBytes / 2).
  // Returns the number of bytes produced, or 0 when a requirement does not hold.
  static std::uint32_t EncodeDifferential(std::uint8_t* output, std::size_t capacity, const std::int16_t* input,
                                          std::uint32_t inputBytes, int blockWidth);

  // Decodes a block stored with `codec` (0, 2 or 3) into blockWidth x blockHeight
  // samples. Any bytes may come in: a stream that ends before the block is complete, a
  // code that does not exist, a run longer than the block or a difference leaving the
  // 16-bit range is reported as corrupt, and nothing is read outside `data`. Bytes after
  // the last sample's code are ignored (they are the padding).
  static Status DecodeBlock(const std::uint8_t* data, std::size_t size, int codec, int blockWidth, int blockHeight,
                            std::int16_t* output);
  // DecodeBlock, and for codec 3 the bytes must be exactly what the encoder writes: the
  // codes end in the last byte and its remaining bits are 1 (damage that still decodes,
  // a flipped byte or a zeroed tail, mostly moves where the codes end).
  static Status DecodeBlockExactly(const std::uint8_t* data, std::size_t size, int codec, int blockWidth,
                                   int blockHeight, std::int16_t* output);
};

}  // namespace srtm
