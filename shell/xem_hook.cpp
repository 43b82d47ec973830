#include "shell/xem_hook.h"

#include "hgt/settings.h"
#include "res/srtm_texts.h"

namespace srtm {
namespace {
constexpr int kHeaderFlagsOffset = 262;

std::int32_t ReadInt32LE(const std::uint8_t* p) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
                                   static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24);
}
}  // namespace

std::int32_t QLPAPI XemHook(std::int32_t message, std::uint32_t, QLP_DATA data) {
  if (message == QLP_MSG_XEM_OPTIONS) {
    auto* options = reinterpret_cast<XemOptionsRecord*>(data);
    options->option0 = 1;
    options->option268 = 0;
    return 0;
  }
  if (message != QLP_MSG_XEM_SAMPLES) return 0;

  auto* record = reinterpret_cast<XemSampleRecord*>(data);
  const std::int32_t byteCount = record->byteCount;
  if ((ReadInt32LE(record->header + kHeaderFlagsOffset) & 1) == 0) return byteCount;

  // Samples are compared as unsigned values, so negative heights (top bit set) are never
  // sea here, unlike samples served from .hgt files.
  const std::int32_t threshold = g_pluginSettings.seaOn ? g_pluginSettings.seaLevel : -32768;
  const std::int32_t count = byteCount / 2;
  std::uint16_t* samples = record->samples;
  for (std::int32_t i = 0; i < count; ++i) {
    if (static_cast<std::int32_t>(samples[i]) <= threshold) samples[i] = SEA_SAMPLE;
  }
  return byteCount;
}

std::int32_t QLPAPI PublisherInfoCallback(std::int32_t message, std::uint32_t, QLP_DATA data) {
  if (message == QLP_MSG_PUBLISHER_INFO) {
    auto* record = reinterpret_cast<PublisherInfoRecord*>(data);
    record->dataSetName = kTextDataSetName;
    record->publisherName = kTextPublisherName;
  }
  return 0;
}

}  // namespace srtm
