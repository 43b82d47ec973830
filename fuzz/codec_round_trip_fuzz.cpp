// The block codec round trip: for any block of any width, decoding what the encoder
// wrote gives the block back exactly, from exactly the bytes written (the check srtm
// info makes of every block), and the encoder never writes past the bound it
// promises (the output buffer is exactly that large, so ASan sees any overrun).
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "xem/codec.h"

namespace {

void RoundTrip(const std::vector<std::int16_t>& block, int codec, int width, int height) {
  const std::size_t samples = block.size();
  const std::size_t capacity =
      codec == srtm::TileCodec::kCodecDifferential ? srtm::TileCodec::MaxCompressedBytes(samples) : 2 * samples;
  auto stream = std::make_unique<std::uint8_t[]>(capacity);
  auto length = static_cast<std::uint32_t>(capacity);
  if (!srtm::TileCodec::CompressBlock(stream.get(), &length, block.data(), static_cast<std::uint32_t>(2 * samples),
                                      codec, width)) {
    std::abort();  // a whole block into a buffer of the promised size must encode
  }
  if (length > capacity) std::abort();
  std::vector<std::int16_t> decoded(samples);
  const srtm::Status s = srtm::TileCodec::DecodeBlockExactly(stream.get(), length, codec, width, height, decoded.data());
  if (!s.ok() || std::memcmp(decoded.data(), block.data(), 2 * samples) != 0) std::abort();
}

}  // namespace

// Input: width (2 bytes), a shaping byte, then the samples. The shaping byte turns the
// raw samples into differences from the previous one for part of the inputs, so that
// long runs and small steps (the codec's short codes) come up as often as wild values.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  srtm::fuzz::InputReader in(data, size);
  const int width = in.U16() % 512 + 1;
  const std::uint8_t shaping = in.Byte();
  const std::vector<std::uint8_t> rest = in.Rest();
  const std::size_t available = rest.size() / 2;
  const int height = static_cast<int>(available / static_cast<std::size_t>(width));
  if (height == 0) return 0;
  std::vector<std::int16_t> block(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  std::int16_t previous = 0;
  for (std::size_t i = 0; i < block.size(); ++i) {
    const auto raw = static_cast<std::int16_t>(rest[2 * i] | rest[2 * i + 1] << 8);
    if (shaping & 1) {
      // Small signed steps, with the high byte kept only now and then.
      const int step = static_cast<std::int8_t>(rest[2 * i]) >> (shaping >> 5);
      previous = rest[2 * i + 1] == 0xFF ? raw : static_cast<std::int16_t>(previous + step);
      block[i] = previous;
    } else {
      block[i] = raw;
    }
  }
  RoundTrip(block, srtm::TileCodec::kCodecDifferential, width, height);
  RoundTrip(block, (shaping & 2) ? srtm::TileCodec::kCodecCopy2 : srtm::TileCodec::kCodecCopy, width, height);
  return 0;
}
