// The block codec: golden bytes, category and run boundaries, padding, the worst case,
// round trips, and a decoder that refuses damaged streams.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "xem/codec.h"

namespace srtm {
namespace {

using Bytes = std::vector<std::uint8_t>;

// The bytes of a first sample (little-endian) followed by a bit stream written as '0'
// and '1' characters (blanks ignored), padded with 1-bits to a whole byte.
Bytes Stream(std::int16_t first, const std::string& bits) {
  Bytes out = {static_cast<std::uint8_t>(static_cast<std::uint16_t>(first)),
               static_cast<std::uint8_t>(static_cast<std::uint16_t>(first) >> 8)};
  int filled = 8;
  for (char b : bits) {
    if (b == ' ') continue;
    if (filled == 8) {
      out.push_back(0);
      filled = 0;
    }
    out.back() = static_cast<std::uint8_t>(out.back() | (b == '1') << (7 - filled));
    ++filled;
  }
  if (filled < 8) out.back() = static_cast<std::uint8_t>(out.back() | ((1 << (8 - filled)) - 1));
  return out;
}

// n bits of v, most significant first.
std::string Field(std::uint32_t v, int n) {
  std::string s;
  for (int i = n - 1; i >= 0; --i) s += (v >> i & 1) ? '1' : '0';
  return s;
}

const std::string kZeroRunCode = "11111111111110";
const std::string kRawCode = "111111111111110";

Bytes Encode(const std::vector<std::int16_t>& block, int width) {
  Bytes out(TileCodec::MaxCompressedBytes(block.size()));
  auto length = static_cast<std::uint32_t>(out.size());
  EXPECT_EQ(TileCodec::CompressBlock(out.data(), &length, block.data(),
                                     static_cast<std::uint32_t>(2 * block.size()), 3, width),
            1);
  out.resize(length);
  return out;
}

std::vector<std::int16_t> Decode(const Bytes& data, int width, int height, Status* status = nullptr) {
  std::vector<std::int16_t> block(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0x5555);
  Status s = TileCodec::DecodeBlock(data.data(), data.size(), 3, width, height, block.data());
  if (status) {
    *status = s;
  } else {
    EXPECT_TRUE(s.ok()) << s.ToString();
  }
  return block;
}

void ExpectRoundTrip(const std::vector<std::int16_t>& block, int width) {
  const int height = static_cast<int>(block.size()) / width;
  const Bytes stream = Encode(block, width);
  EXPECT_LE(stream.size(), TileCodec::MaxCompressedBytes(block.size()));
  EXPECT_EQ(Decode(stream, width, height), block) << "width " << width << ", height " << height;
}

TEST(CodecGolden, WorkedExamples) {
  // Serpentine order 100, 101, 101, 99: +1, a zero run of one, -2.
  EXPECT_EQ(Encode({100, 101, 99, 101}, 2), (Bytes{0x64, 0x00, 0x51, 0xBF}));
  EXPECT_EQ(Stream(100, "010 1 00 011 01"), (Bytes{0x64, 0x00, 0x51, 0xBF}));
  // 14399 equal samples after the first: ZERO_RUN_ESCAPE and the run length.
  EXPECT_EQ(Encode(std::vector<std::int16_t>(120 * 120, 500), 120), (Bytes{0xF4, 0x01, 0xFF, 0xF8, 0xE0, 0xFF}));
}

TEST(CodecGolden, CategoryBoundaries) {
  struct Case {
    std::int16_t from, to;
    std::string bits;
  } cases[] = {
      {0, 1, "010 1"},
      {0, -1, "010 0"},
      {0, 2, "011 10"},
      {0, -3, "011 00"},
      {0, 31, "110 11111"},
      {0, 32, "1110 100000"},
      {0, 2047, "111111110 " + Field(2047, 11)},
      {0, 2048, "1111111110 " + Field(2048, 12)},
      {0, 32767, "1111111111110 " + Field(32767, 15)},
      {0, -32767, "1111111111110 " + Field(0, 15)},
      {0, -32768, kRawCode + Field(0x8000, 16)},     // d = -32768: the raw sample
      {-32768, 0, kRawCode + Field(0, 16)},          // d = +32768
      {-32768, 100, kRawCode + Field(100, 16)},      // a void next to a height
      {100, -32768, kRawCode + Field(0x8000, 16)},
      {32767, -32768, kRawCode + Field(0x8000, 16)}, // d = -65535
      {-32768, -32768, "00"},                        // two voids: no difference
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.from) + " -> " + std::to_string(c.to));
    const std::vector<std::int16_t> block = {c.from, c.to};
    EXPECT_EQ(Encode(block, 2), Stream(c.from, c.bits));
    EXPECT_EQ(Decode(Stream(c.from, c.bits), 2, 1), block);
  }
}

TEST(CodecGolden, ZeroRuns) {
  auto runOf = [](std::size_t n) { return std::vector<std::int16_t>(n + 1, 7); };
  EXPECT_EQ(Encode(runOf(15), 16), Stream(7, std::string(30, '0')));
  EXPECT_EQ(Encode(runOf(16), 17), Stream(7, kZeroRunCode + Field(16, 16)));
  // A run reaching 65535 is written at once and counting starts again.
  EXPECT_EQ(Encode(runOf(65535), 65536), Stream(7, kZeroRunCode + Field(65535, 16)));
  EXPECT_EQ(Encode(runOf(65536), 65537), Stream(7, kZeroRunCode + Field(65535, 16) + "00"));
  EXPECT_EQ(Encode(runOf(65535 + 16), 65552),
            Stream(7, kZeroRunCode + Field(65535, 16) + kZeroRunCode + Field(16, 16)));
  // A run is flushed before the next difference.
  EXPECT_EQ(Encode({7, 7, 7, 8}, 4), Stream(7, "00 00 010 1"));
}

TEST(CodecGolden, PaddingOnlyForAPartialLastByte) {
  // Four zero differences fill exactly one byte: no padding byte.
  EXPECT_EQ(Encode({7, 7, 7, 7, 7}, 5), (Bytes{0x07, 0x00, 0x00}));
  // Three leave two bits: padded with 1-bits.
  EXPECT_EQ(Encode({7, 7, 7, 7}, 4), (Bytes{0x07, 0x00, 0x03}));
  // A single sample is its two bytes and nothing else.
  EXPECT_EQ(Encode({-2}, 1), (Bytes{0xFE, 0xFF}));
}

TEST(CodecGolden, SerpentineOrder) {
  // 3 x 3: 1 2 3 / 4 5 6 / 7 8 9 is visited 1 2 3 6 5 4 7 8 9.
  const Bytes stream = Encode({1, 2, 3, 4, 5, 6, 7, 8, 9}, 3);
  EXPECT_EQ(stream, Stream(1, "0101 0101 011 11 0100 0100 011 11 0101 0101"));
}

TEST(CodecNumbers, CopyEmptyAndUnsupported) {
  const std::vector<std::int16_t> block = {1, -2, 300, 4};
  Bytes out(64, 0xAA);
  std::uint32_t length = 64;
  for (int codec : {0, 2, 256 + 2}) {
    length = 64;
    EXPECT_EQ(TileCodec::CompressBlock(out.data(), &length, block.data(), 8, codec, 2), 1);
    EXPECT_EQ(length, 8u);
    EXPECT_EQ(Bytes(out.begin(), out.begin() + 8), (Bytes{1, 0, 0xFE, 0xFF, 0x2C, 0x01, 4, 0}));
  }
  length = 64;
  EXPECT_EQ(TileCodec::CompressBlock(out.data(), &length, block.data(), 8, 1, 2), 1);
  EXPECT_EQ(length, 0u);
  length = 64;
  EXPECT_EQ(TileCodec::CompressBlock(out.data(), &length, block.data(), 8, 256 + 3, 2), 1);  // low 8 bits
  EXPECT_EQ(Bytes(out.begin(), out.begin() + length), Encode(block, 2));
  for (int codec : {4, 200, 255}) {
    length = 64;
    EXPECT_EQ(TileCodec::CompressBlock(out.data(), &length, block.data(), 8, codec, 2), 0);
    EXPECT_EQ(length, 64u);
  }
}

TEST(CodecWorstCase, AlternatingVoidsFitTheBoundAndNothingLess) {
  // Voids alternating with heights: nearly every sample is a RAW_ESCAPE of 31 bits, far
  // over 2 bytes a sample. Each buffer is exactly the bound, so AddressSanitizer sees any
  // overflow. Alternating by index, a row change meets an equal sample (a zero
  // difference); alternating in the serpentine order reaches the bound itself.
  const std::size_t bound = TileCodec::MaxCompressedBytes(120 * 120);
  EXPECT_EQ(bound, 55799u);
  std::vector<std::int16_t> byIndex(120 * 120);
  std::vector<std::int16_t> byVisit(120 * 120);
  for (std::size_t i = 0; i < byIndex.size(); ++i) {
    byIndex[i] = (i % 2) ? 100 : -32768;
    const std::size_t row = i / 120;
    const std::size_t visit = row * 120 + (row % 2 ? 119 - i % 120 : i % 120);
    byVisit[i] = (visit % 2) ? 100 : -32768;
  }
  for (const auto* block : {&byIndex, &byVisit}) {
    auto out = std::make_unique<std::uint8_t[]>(bound);
    auto length = static_cast<std::uint32_t>(bound);
    ASSERT_EQ(TileCodec::CompressBlock(out.get(), &length, block->data(), 28800, 3, 120), 1);
    EXPECT_GT(length, 28800u);
    EXPECT_EQ(Decode(Bytes(out.get(), out.get() + length), 120, 120), *block);
    if (block == &byVisit) {
      EXPECT_EQ(length, bound);
    }
  }

  // A buffer of the raw size is refused, not overrun.
  auto small = std::make_unique<std::uint8_t[]>(28800);
  std::uint32_t length = 28800;
  EXPECT_EQ(TileCodec::CompressBlock(small.get(), &length, byIndex.data(), 28800, 3, 120), 0);
  EXPECT_EQ(length, 28800u);
}

TEST(CodecRoundTrip, RandomAndAdversarialBlocks) {
  std::mt19937 random(12345);
  auto any = [&] { return static_cast<std::int16_t>(random()); };
  for (int width : {1, 2, 3, 7, 120}) {
    for (int height : {1, 2, 5, 120}) {
      const std::size_t n = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
      std::vector<std::int16_t> block(n);
      for (auto& v : block) v = any();
      ExpectRoundTrip(block, width);
      // A random walk with small steps and flat stretches, like terrain.
      std::int32_t h = 500;
      for (auto& v : block) {
        if (random() % 4) h += static_cast<std::int32_t>(random() % 41) - 20;
        v = static_cast<std::int16_t>(h);
      }
      ExpectRoundTrip(block, width);
    }
  }
  std::vector<std::int16_t> block(120 * 120);
  for (std::size_t i = 0; i < block.size(); ++i) block[i] = (i % 2) ? 32767 : -32768;
  ExpectRoundTrip(block, 120);
  for (std::size_t i = 0; i < block.size(); ++i) block[i] = (i % 2) ? 16383 : -16384;  // d = +-32767
  ExpectRoundTrip(block, 120);
  ExpectRoundTrip(std::vector<std::int16_t>(120 * 120, -32768), 120);
  ExpectRoundTrip(std::vector<std::int16_t>(256 * 300, 0), 256);  // runs past 65535
  for (std::size_t i = 0; i < block.size(); ++i) block[i] = (i / 16 % 2) ? -32768 : 12;  // voids in runs of 16
  ExpectRoundTrip(block, 120);
}

// The encoding as described, one sample at a time into a string of bits.
Bytes ReferenceEncode(const std::vector<std::int16_t>& block, int width) {
  std::vector<std::int16_t> order;
  const int rows = static_cast<int>(block.size()) / width;
  for (int r = 0; r < rows; ++r) {
    for (int i = 0; i < width; ++i) order.push_back(block[static_cast<std::size_t>(r * width + (r % 2 ? width - 1 - i : i))]);
  }
  const std::string codes[16] = {"00", "010", "011", "100", "101", "110", "1110", "11110", "111110", "1111110",
                                 "11111110", "111111110", "1111111110", "11111111110", "111111111110", "1111111111110"};
  std::string bits;
  std::uint32_t run = 0;
  auto flush = [&] {
    if (run >= 16) bits += kZeroRunCode + Field(run, 16);
    else for (std::uint32_t i = 0; i < run; ++i) bits += codes[0];
    run = 0;
  };
  for (std::size_t i = 1; i < order.size(); ++i) {
    const int d = order[i] - order[i - 1];
    if (d == 0) {
      if (++run == 65535) {
        bits += kZeroRunCode + Field(65535, 16);
        run = 0;
      }
      continue;
    }
    flush();
    if (d > 32767 || d < -32767) {
      bits += kRawCode + Field(static_cast<std::uint16_t>(order[i]), 16);
      continue;
    }
    int k = 0;
    while ((std::abs(d) >> k) != 0) ++k;
    bits += codes[k] + Field(static_cast<std::uint32_t>(d > 0 ? d : d - 1), k);
  }
  flush();
  return Stream(order[0], bits);
}

TEST(CodecRoundTrip, SameBytesAsThePlainEncoding) {
  std::mt19937 random(4321);
  for (int trial = 0; trial < 40; ++trial) {
    const int width = 1 + static_cast<int>(random() % 130);
    const int height = 1 + static_cast<int>(random() % 130);
    std::vector<std::int16_t> block(static_cast<std::size_t>(width) * height);
    std::int32_t h = static_cast<std::int32_t>(random() % 2000);
    for (std::size_t i = 0; i < block.size(); ++i) {
      const unsigned pick = random() % 100;
      if (pick < 40) {
        // unchanged: zero runs of every length
      } else if (pick < 90) {
        h += static_cast<std::int32_t>(random() % 9) - 4;
      } else if (pick < 97) {
        h += static_cast<std::int32_t>(random() % 8001) - 4000;
      } else {
        h = (random() % 2) ? -32768 : static_cast<std::int32_t>(random() % 65536) - 32768;
      }
      h = std::max(-32768, std::min(32767, h));
      if (pick < 40 && random() % 50 == 0) {  // now and then a long flat stretch
        const std::size_t n = std::min<std::size_t>(block.size() - i, random() % 300);
        for (std::size_t j = 0; j < n; ++j) block[i + j] = static_cast<std::int16_t>(h);
        i += n;
        if (i >= block.size()) break;
      }
      block[i] = static_cast<std::int16_t>(h);
    }
    ASSERT_EQ(Encode(block, width), ReferenceEncode(block, width)) << width << " x " << height;
  }
  // Gentle stretches (steps up to +-16, zero runs up to 16) and steep ones, alternating
  // within and between rows: the encoder changes its paths by the land it meets.
  for (int trial = 0; trial < 30; ++trial) {
    const int width = 4 + static_cast<int>(random() % 200);
    std::vector<std::int16_t> block(static_cast<std::size_t>(width) * (40 + random() % 40));
    std::int32_t h = 1000;
    std::size_t stretch = 0;
    bool steep = false;
    for (std::size_t i = 0; i < block.size(); ++i) {
      if (stretch-- == 0) {
        stretch = random() % (3 * static_cast<std::size_t>(width));
        steep = random() % 3 == 0;
      }
      if (steep) {
        h += static_cast<std::int32_t>(random() % 201) - 100;
      } else if (random() % 8 == 0) {
        const std::size_t run = std::min<std::size_t>(block.size() - i, 9 + random() % 9);
        for (std::size_t j = 0; j + 1 < run; ++j) block[i++] = static_cast<std::int16_t>(h);
      } else {
        h += static_cast<std::int32_t>(random() % 33) - 16;
      }
      h = std::max(-32768, std::min(32767, h));
      block[i] = static_cast<std::int16_t>(h);
    }
    ASSERT_EQ(Encode(block, width), ReferenceEncode(block, width)) << "mixed land, width " << width;
  }
  // Zero runs of every inline length, each followed by four equal steps at the edges of
  // the code lengths: the longest fields that may share one store with their run.
  for (int step : {1, -1, 15, -15, 16, -16, 63, -64, 2047, -2048, 32767}) {
    std::vector<std::int16_t> block;
    std::int32_t h = 0;
    for (int run = 0; run <= 17 * 8; ++run) {
      // Up to 7 single steps before each run, so that it meets the encoder at every
      // position of its groups and with every number of bits pending.
      for (int i = 0; i < run % 8; ++i) block.push_back(static_cast<std::int16_t>(h += i % 2 ? 1 : -1));
      for (int i = 0; i < run / 8; ++i) block.push_back(static_cast<std::int16_t>(h));
      for (int i = 0; i < 4; ++i) {
        h = h + step > 32767 || h + step < -32768 ? 0 : h + step;
        block.push_back(static_cast<std::int16_t>(h));
      }
    }
    block.resize(block.size() / 8 * 8);
    ASSERT_EQ(Encode(block, 8), ReferenceEncode(block, 8)) << "step " << step;
    ASSERT_EQ(Encode(block, static_cast<int>(block.size())), ReferenceEncode(block, static_cast<int>(block.size())))
        << "step " << step << ", one row";
  }
  // Runs around the escape and its 65535 limit, crossing rows.
  for (std::size_t run : {14u, 15u, 16u, 17u, 65534u, 65535u, 65536u, 70000u}) {
    std::vector<std::int16_t> block(120 * (run / 120 + 3), 9);
    for (std::size_t i = 0; i < 60; ++i) block[i] = static_cast<std::int16_t>(i % 7);
    for (std::size_t i = 60 + run + 1; i < block.size(); ++i) block[i] = static_cast<std::int16_t>(i % 5);
    ASSERT_EQ(Encode(block, 120), ReferenceEncode(block, 120)) << "run " << run;
  }
}

TEST(CodecDecoder, RefusesEveryTruncationAndBadInput) {
  std::mt19937 random(99);
  std::vector<std::int16_t> block(40 * 40);
  std::int32_t h = 0;
  for (auto& v : block) v = static_cast<std::int16_t>(h += static_cast<std::int32_t>(random() % 301) - 150);
  const Bytes stream = Encode(block, 40);
  for (std::size_t size = 0; size < stream.size(); ++size) {
    Status s;
    Decode(Bytes(stream.begin(), stream.begin() + static_cast<std::ptrdiff_t>(size)), 40, 40, &s);
    ASSERT_FALSE(s.ok()) << "truncated to " << size << " bytes";
    EXPECT_EQ(s.code(), Status::kCorrupt);
  }
  // Extra bytes after the padding are ignored.
  Bytes longer = stream;
  longer.insert(longer.end(), 8, 0x00);
  EXPECT_EQ(Decode(longer, 40, 40), block);
  // ... but not by the exact reading srtm info checks files with: exactly the bytes the
  // encoder writes, padded with 1-bits.
  std::vector<std::int16_t> exact(block.size());
  EXPECT_TRUE(TileCodec::DecodeBlockExactly(stream.data(), stream.size(), 3, 40, 40, exact.data()).ok());
  EXPECT_EQ(exact, block);
  EXPECT_EQ(TileCodec::DecodeBlockExactly(longer.data(), stream.size() + 1, 3, 40, 40, exact.data()).code(),
            Status::kCorrupt);
  for (const Bytes& bytes : {Stream(5, "00"), Stream(5, "000 11111")}) {  // the second: a 0 in the padding
    const Status padding = TileCodec::DecodeBlockExactly(bytes.data(), bytes.size(), 3, 2, 1, exact.data());
    EXPECT_EQ(padding.ok(), bytes == Stream(5, "00")) << padding.ToString();
  }

  Status s;
  Decode(Stream(0, kZeroRunCode + Field(4, 16)), 2, 2, &s);  // a run past the block
  EXPECT_FALSE(s.ok());
  Decode(Stream(0, std::string(15, '1') + "0000000000000000"), 2, 1, &s);  // no such code
  EXPECT_FALSE(s.ok());
  Decode(Stream(32767, "010 1"), 2, 1, &s);  // 32767 + 1 leaves the 16-bit range
  EXPECT_FALSE(s.ok());
  // The same range on the slower path (a difference of 12 extra bits, beyond the lookup):
  // the last sample in the range on either side passes, the first outside it does not.
  const std::string plus2048 = "1111111110 " + Field(2048, 12), minus2048 = "1111111110 " + Field(2047, 12);
  EXPECT_EQ(Decode(Stream(30719, plus2048), 2, 1), (std::vector<std::int16_t>{30719, 32767}));
  EXPECT_EQ(Decode(Stream(-30720, minus2048), 2, 1), (std::vector<std::int16_t>{-30720, -32768}));
  for (const std::int16_t from : {30720, -30721}) {
    Decode(Stream(from, from > 0 ? plus2048 : minus2048), 2, 1, &s);
    EXPECT_EQ(s.code(), Status::kCorrupt) << from;
    EXPECT_NE(s.ToString().find("difference leaves the 16-bit range at sample 1"), std::string::npos) << s.ToString();
  }
  std::vector<std::int16_t> out(4);
  EXPECT_FALSE(TileCodec::DecodeBlock(stream.data(), stream.size(), 4, 2, 2, out.data()).ok());
  EXPECT_FALSE(TileCodec::DecodeBlock(stream.data(), 7, 0, 2, 2, out.data()).ok());  // copy of the wrong size
  EXPECT_FALSE(TileCodec::DecodeBlock(stream.data(), stream.size(), 3, 0, 2, out.data()).ok());
}

}  // namespace
}  // namespace srtm
