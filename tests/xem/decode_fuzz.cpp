// The block decoder under arbitrary input: a libFuzzer entry point, and a replay driver
// that feeds it generated inputs under CTest. The entry point needs the decoder alone:
//   clang++ -DSRTM_LIBFUZZER -fsanitize=fuzzer,address -I. tests/xem/decode_fuzz.cpp xem/codec_decode.cpp
#include <cstddef>
#include <cstdint>
#include <vector>

#include "xem/codec.h"

// The first two bytes choose the block size (1 to 128 each way), the rest is the block.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const int width = data[0] % 128 + 1;
  const int height = data[1] % 128 + 1;
  std::vector<std::int16_t> block(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  for (int codec : {0, 3}) {
    srtm::TileCodec::DecodeBlock(data + 2, size - 2, codec, width, height, block.data());
  }
  return 0;
}

#if !defined(SRTM_LIBFUZZER)
#include <cstdio>
#include <random>

// Random bytes, and valid streams (all escapes, long runs) with bytes flipped, cut and
// appended: the decoder must survive all of them (under ASan, without a single stray read).
int main() {
  std::mt19937 random(20240601);
  std::vector<std::uint8_t> input;
  int runs = 0;
  for (int i = 0; i < 20000; ++i, ++runs) {
    const std::size_t size = random() % 300;
    input.resize(size);
    for (auto& b : input) {
      const unsigned r = random();
      b = static_cast<std::uint8_t>(r % 3 == 0 ? 0xFF : r % 3 == 1 ? 0x00 : r >> 8);
    }
    LLVMFuzzerTestOneInput(input.data(), input.size());
  }
  std::vector<std::int16_t> block(64 * 64);
  for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<std::int16_t>(i % 3 ? i * 37 : -32768);
  std::vector<std::uint8_t> stream(srtm::TileCodec::MaxCompressedBytes(block.size()));
  auto length = static_cast<std::uint32_t>(stream.size());
  srtm::TileCodec::CompressBlock(stream.data(), &length, block.data(), 2 * 64 * 64, 3, 64);
  stream.resize(length);
  for (int i = 0; i < 5000; ++i, ++runs) {
    input = {63, 63};
    input.insert(input.end(), stream.begin(), stream.end());
    for (int flips = static_cast<int>(random() % 4); flips > 0; --flips) {
      input[2 + random() % stream.size()] ^= static_cast<std::uint8_t>(1u << (random() % 8));
    }
    input.resize(2 + random() % (stream.size() + 16));
    LLVMFuzzerTestOneInput(input.data(), input.size());
  }
  std::printf("decoder survived %d inputs\n", runs);
  return 0;
}
#endif
