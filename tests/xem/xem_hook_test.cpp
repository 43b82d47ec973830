// The XEM hook as the host calls it: records built byte by byte at their binding offsets
// in the 32-bit world (natively, where pointers are wider, through the field names).
#include <cstring>
#include <vector>

#include "gtest/gtest.h"
#include "hgt/settings.h"
#include "shell/xem_hook.h"

namespace srtm {
namespace {

using Samples = std::vector<std::uint16_t>;

class XemHookTest : public ::testing::Test {
 protected:
  void SetUp() override { SetFlags(7); }
  void TearDown() override { g_pluginSettings = PluginSettings(); }

  void SetFlags(std::int32_t flags) {
    header_.assign(308, 0);
    std::memcpy(&header_[262], &flags, 4);  // little-endian in both worlds
  }

  // Calls 9103 on `samples` with `byteCount`; returns the hook's answer.
  std::int32_t Decode(Samples& samples, std::int32_t byteCount) {
#if defined(_WIN32) && !defined(_WIN64)
    alignas(4) std::uint8_t record[16];
    std::memset(record, 0xCD, sizeof record);
    const std::int32_t size = 16;
    const auto header = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(header_.data()));
    const auto data = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(samples.data()));
    std::memcpy(record + 0, &size, 4);
    std::memcpy(record + 4, &header, 4);
    std::memcpy(record + 8, &byteCount, 4);
    std::memcpy(record + 12, &data, 4);
    return XemHook(QLP_MSG_XEM_SAMPLES, 0, reinterpret_cast<QLP_DATA>(record));
#else
    XemSampleRecord record{};
    record.size = sizeof record;
    record.header = header_.data();
    record.byteCount = byteCount;
    record.samples = samples.data();
    return XemHook(QLP_MSG_XEM_SAMPLES, 0, reinterpret_cast<QLP_DATA>(&record));
#endif
  }
  std::int32_t DecodeAll(Samples& samples) { return Decode(samples, static_cast<std::int32_t>(2 * samples.size())); }

  std::vector<std::uint8_t> header_;
};

TEST_F(XemHookTest, HeaderBitClearChangesNothing) {
  SetFlags(6);
  Samples s = {0, 1, 100, 35536};
  EXPECT_EQ(DecodeAll(s), 8);
  EXPECT_EQ(s, (Samples{0, 1, 100, 35536}));
}

TEST_F(XemHookTest, SeaLevelAsUnsignedComparison) {
  g_pluginSettings.seaOn = 1;
  g_pluginSettings.seaLevel = 0;
  Samples s = {0, 1, 65535, 32768, 35536};
  EXPECT_EQ(DecodeAll(s), 10);
  EXPECT_EQ(s, (Samples{35536, 1, 65535, 32768, 35536}));

  g_pluginSettings.seaLevel = 100;  // read at every call
  s = {0, 50, 100, 101, 65535};
  DecodeAll(s);
  EXPECT_EQ(s, (Samples{35536, 35536, 35536, 101, 65535}));

  g_pluginSettings.seaLevel = -5;  // below every unsigned sample
  s = {0, 65535};
  DecodeAll(s);
  EXPECT_EQ(s, (Samples{0, 65535}));
}

TEST_F(XemHookTest, SeaOffChangesNothing) {
  g_pluginSettings.seaOn = 0;
  g_pluginSettings.seaLevel = 1000;
  Samples s = {0, 1, 999, 32768, 65535};
  DecodeAll(s);
  EXPECT_EQ(s, (Samples{0, 1, 999, 32768, 65535}));
}

TEST_F(XemHookTest, ByteCountsZeroOneAndOdd) {
  Samples s = {0, 0, 0};
  EXPECT_EQ(Decode(s, 0), 0);
  EXPECT_EQ(s, (Samples{0, 0, 0}));
  EXPECT_EQ(Decode(s, 1), 1);
  EXPECT_EQ(s, (Samples{0, 0, 0}));
  EXPECT_EQ(Decode(s, 5), 5);  // two whole samples; the fifth byte is left alone
  EXPECT_EQ(s, (Samples{35536, 35536, 0}));
  EXPECT_EQ(Decode(s, -4), -4);
  EXPECT_EQ(s, (Samples{35536, 35536, 0}));
}

TEST_F(XemHookTest, OptionsQueryWritesExactlyTwoIntegers) {
  std::vector<std::uint8_t> options(280, 0xCD);
  EXPECT_EQ(XemHook(QLP_MSG_XEM_OPTIONS, 0, reinterpret_cast<QLP_DATA>(options.data())), 0);
  std::int32_t v0, v268;
  std::memcpy(&v0, &options[0], 4);
  std::memcpy(&v268, &options[268], 4);
  EXPECT_EQ(v0, 1);
  EXPECT_EQ(v268, 0);
  for (std::size_t i = 4; i < options.size(); ++i) {
    if (i < 268 || i >= 272) {
      ASSERT_EQ(options[i], 0xCD) << "byte " << i;
    }
  }
  EXPECT_EQ(XemHook(1234, 0, 0), 0);  // other messages: 0, nothing touched
}

}  // namespace
}  // namespace srtm
