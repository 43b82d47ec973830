#include "xem/converter.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>

#include "hgt/paths.h"
#include "platform/platform.h"
#include "res/srtm_texts.h"
#include "xem/codec.h"
#include "xem/fill.h"
#include "xem/mapset_id.h"
#include "xem/progress.h"
#include "xem/xem_writer.h"

namespace srtm {
namespace {

constexpr std::int32_t kFlagsWritten = 7;  // bit 0: decoded samples take the sea level

// trunc(v + 0.00001) as a 32-bit integer; false when it does not fit one.
bool EdgeValue(double v, std::int32_t* out) {
  const double t = std::trunc(v + 0.00001);
  if (!std::isfinite(t) || t < std::numeric_limits<std::int32_t>::min() ||
      t > std::numeric_limits<std::int32_t>::max()) {
    return false;
  }
  *out = static_cast<std::int32_t>(t);
  return true;
}

// HGT samples are big-endian.
void SwapBytes(std::int16_t* samples, std::size_t n) {
  auto* p = reinterpret_cast<std::uint16_t*>(samples);
  for (std::size_t i = 0; i < n; ++i) p[i] = static_cast<std::uint16_t>(p[i] << 8 | p[i] >> 8);
}

void ShowError(const char* text) {
  platform::ShowMessageBox(nullptr, text, kTextMessageCaption, platform::kMbOk | platform::kMbIconError);
}

}  // namespace

bool XemPathForTile(const std::string& hgtPath, const std::string& outputFolder, std::string* xemPath) {
  std::string name;
  if (!SplitPath(hgtPath, nullptr, &name)) return false;
  // Only the file name's own extension goes: a dot in a folder name must not cut the
  // path, and a name without one still gets ".xem", never the tile's own name.
  const std::size_t dot = name.rfind('.');
  if (dot != std::string::npos) name.resize(dot);
  name += ".xem";
  std::string path = outputFolder;
  if (!AppendPath(path, name.c_str())) return false;
  *xemPath = path;
  return true;
}

int HgtToXemConverter::AllocateBuffers(int width, int height) {
  const std::size_t n = width > 0 && height > 0 ? static_cast<std::size_t>(width) * static_cast<std::size_t>(height) : 0;
  if (!raw_.Allocate(n) || !filled_.Allocate(n)) {
    raw_.Allocate(0);
    filled_.Allocate(0);
    ShowError(kTextNoMemory);
    return 0;
  }
  return 1;
}

int HgtToXemConverter::ConvertFile(const std::string& hgtPath, const std::string& outputFolder, double south,
                                   double west, double north, double east, int blockWidth, int blockHeight, int width,
                                   int height, int overwrite) {
  failure.clear();
  outputFailed = false;
  const int result =
      Convert(hgtPath, outputFolder, south, west, north, east, blockWidth, blockHeight, width, height, overwrite);
  ProgressSetPercent(100);
  return result;
}

int HgtToXemConverter::Convert(const std::string& hgtPath, const std::string& outputFolder, double south, double west,
                               double north, double east, int blockWidth, int blockHeight, int width, int height,
                               int overwrite) {
  // The grid must be whole blocks once the shared edge row and column are left out;
  // anything else would read past the tile.
  if (width < 2 || height < 2 || blockWidth < 1 || blockHeight < 1 || (width - 1) % blockWidth != 0 ||
      (height - 1) % blockHeight != 0 || raw_.size() < static_cast<std::size_t>(width) * static_cast<std::size_t>(height)) {
    failure = "the tile's size is not whole blocks";
    return 0;
  }
  const std::size_t samples = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  const int blockColumns = (width - 1) / blockWidth;
  const int blockRows = (height - 1) / blockHeight;
  const std::int32_t blockCount = blockColumns * blockRows;

  XemFileWriter writer;
  writer.Prepare(blockCount);
  XemHeader& h = writer.header();
  CopyTextField(h.description, sizeof h.description, description.c_str());
  CopyTextField(h.noticeText, sizeof h.noticeText, noticeText.c_str());
  MapSetIdFields id;
  id.idGroup = static_cast<std::uint32_t>(idGroup);
  id.regionCode = RegionCode(regionIndex);
  id.seriesCode = static_cast<std::uint32_t>(seriesMinor + seriesMajor * 8);
  id.idFieldD = static_cast<std::uint32_t>(idFieldD);
  id.idFieldE = static_cast<std::uint32_t>(idFieldE);
  id.idFieldF = 0;
  id.idKind = static_cast<std::uint32_t>(idKind);
  PackMapSetId(id, h.mapSetId);
  h.reserved177 = 0;
  CopyTextField(h.datum, sizeof h.datum, datumName.c_str());
  if (!(north > south) || !(east > west) || !EdgeValue(south * 360000, &h.southEdge) ||
      !EdgeValue(west * 360000, &h.westEdge) || !EdgeValue((height - 1) * 100 / (north - south), &h.resolutionY) ||
      !EdgeValue((width - 1) * 100 / (east - west), &h.resolutionX)) {
    failure = "the tile's edges do not fit the header";
    return 0;
  }

  const std::string tileName = platform::ToNativePath(hgtPath);
  {
    auto input = platform::OpenShared(hgtPath.c_str());
    if (!input) {
      failure = tileName + ": " + platform::LastErrorText();
      return 0;
    }
    // A tile that came up short or grew (it was truncated or replaced after it was
    // classified) is a read error, never a file compressed from what the buffer held
    // before or from the first samples of some other file.
    std::size_t got = 0;
    std::uint8_t beyond = 0;
    std::size_t extra = 0;
    if (!input->Read(raw_.data(), 2 * samples, &got) || got != 2 * samples || !input->Read(&beyond, 1, &extra) ||
        extra != 0) {
      failure = tileName + ": not " + std::to_string(2 * samples) + " bytes that can be read";
      ShowError(kTextCannotRead);
      return 0;
    }
  }
  SwapBytes(raw_.data(), samples);

  h.gridWidth = width - 1;
  h.gridHeight = height - 1;
  h.sectionSizeA = h.sectionSizeB = h.sectionSizeC = 0;
  CopyTextField(h.publisherId, 8, publisherIdText.c_str());
  h.publisherId[8] = '\0';
  h.blockWidth = blockWidth;
  h.blockHeight = blockHeight;
  h.seaValue = kXemSeaValue;
  h.constant257 = 1;
  h.constant258 = 0;
  h.sampleBytes = 2;
  h.constant260 = 1;
  h.codec = TileCodec::kCodecDifferential;
  h.flags = kFlagsWritten;
  h.headerChecksum = 0;

  if (!XemPathForTile(hgtPath, outputFolder, &outputPath)) {
    failure = "the output folder's path and the name are longer than " + std::to_string(kPathBufferSize - 1) + " bytes";
    outputFailed = true;
    return 0;
  }
  const std::string xemName = platform::ToNativePath(outputPath);
  if (!overwrite && platform::FileExists(outputPath.c_str())) return 0;  // no failure: left as asked

  // The block buffers come before the file: a failure here touches nothing on disk.
  const std::size_t blockSamples = static_cast<std::size_t>(blockWidth) * static_cast<std::size_t>(blockHeight);
  const std::size_t capacity = TileCodec::MaxCompressedBytes(blockSamples);
  auto block = platform::AllocateArray<std::int16_t>(blockSamples);
  auto compressed = platform::AllocateArray<std::uint8_t>(capacity);
  if (!block || !compressed || capacity > std::numeric_limits<std::uint32_t>::max()) {
    failure = "out of memory";
    return 0;
  }

  // The writer's failures are the output's: it tells why, and leaves no partial file.
  const auto writeFailed = [&] {
    failure = xemName + ": " + writer.error();
    outputFailed = true;
    return 0;
  };
  if (!writer.StartFile(outputPath, nullptr, nullptr, nullptr, hgtPath)) return writeFailed();

  const std::int16_t* source = raw_.data();
  if (fillVoids) {
    FillVoidsForCompression(raw_.data(), filled_.data(), width, height);
    source = filled_.data();
  }

  const std::size_t w = static_cast<std::size_t>(width);
  const std::int64_t total = blockCount;
  std::int64_t reported = 0;
  std::int64_t finished = 0;
  for (int y0 = 0; y0 < height - 1; y0 += blockHeight) {
    for (int x0 = 0; x0 < width - 1; x0 += blockWidth) {
      for (int j = 0; j < blockHeight; ++j) {
        const std::int16_t* row = source + static_cast<std::size_t>(height - 1 - y0 - j) * w + static_cast<std::size_t>(x0);
        std::memcpy(block.get() + static_cast<std::size_t>(j) * static_cast<std::size_t>(blockWidth), row,
                    static_cast<std::size_t>(blockWidth) * sizeof(std::int16_t));
      }
      auto length = static_cast<std::uint32_t>(capacity);
      if (!TileCodec::CompressBlock(compressed.get(), &length, block.get(),
                                    static_cast<std::uint32_t>(2 * blockSamples), h.codec, blockWidth)) {
        failure = "a block does not compress";
        return 0;  // the writer is destroyed with the file: it deletes it
      }
      if (!writer.AppendBlock(x0 / blockWidth, y0 / blockHeight, compressed.get(), static_cast<std::int32_t>(length))) {
        return writeFailed();
      }
      // Steps of two percentage points: with 50 or more blocks none is missed.
      if (finished * 100 / total == reported * 100 / total + 2) {
        ProgressSetPercent(static_cast<int>(finished * 100 / total));
        reported = finished;
      }
      ++finished;
      ProgressPump();
      if (ProgressIsCancelled()) {
        writer.Abandon();
        failure = "stopped";
        return 0;
      }
    }
  }
  // A final header or index that cannot be written fails the conversion; Finish has
  // deleted the file then.
  return writer.Finish() ? 1 : writeFailed();
}

}  // namespace srtm
