#include "xem/batch.h"

#include <cstdio>
#include <string>

#include "hgt/paths.h"
#include "hgt/settings.h"
#include "platform/platform.h"
#include "res/srtm_texts.h"
#include "xem/converter.h"
#include "xem/mapset_id.h"
#include "xem/progress.h"
#include "xem/xem_format.h"

namespace srtm {
namespace {

constexpr int kBlockSide = 120;

// What goes into the header of every file of one tile kind.
struct KindSettings {
  const char* description;
  std::int32_t idKind;
  std::int32_t seriesMajor;
  std::int32_t seriesMinor;
  int tileSide;
};
constexpr KindSettings kSrtm1Settings = {kTextDescriptionSrtm1, kSrtm1, 9, 4, 3601};
constexpr KindSettings kSrtm3Settings = {kTextDescriptionSrtm3, kSrtm3, 3, 5, 1201};

void SetUpConverter(HgtToXemConverter& converter, const KindSettings& kind) {
  converter.description = kind.description;
  converter.noticeText = kTextXemNotice;
  converter.publisherIdText = kXemPublisherId;
  converter.datumName = "WGS84";
  converter.idGroup = 0;
  converter.regionIndex = kRegionIndexUnspecified;
  converter.seriesMajor = kind.seriesMajor;
  converter.seriesMinor = kind.seriesMinor;
  converter.idFieldD = 1;
  converter.idFieldE = 1;
  converter.idKind = kind.idKind;
}

std::string Format(const char* format, const char* a, const char* b) {
  char text[3 * kPathBufferSize];
  std::snprintf(text, sizeof text, format, a, b);
  return text;
}

}  // namespace

int BatchCompressor::TileSide(std::int32_t kind) {
  return kind == kSrtm1 ? kSrtm1Settings.tileSide : kind == kSrtm3 ? kSrtm3Settings.tileSide : 0;
}

int BatchCompressor::ConvertTile(HgtToXemConverter& converter, std::int32_t kind, const std::string& path, int lat,
                                 int lon, const std::string& outputFolder, int overwrite) {
  const KindSettings& settings = kind == kSrtm1 ? kSrtm1Settings : kSrtm3Settings;
  const int side = settings.tileSide;
  SetUpConverter(converter, settings);
  const double h = 0.5 / (side - 1);
  return converter.ConvertFile(path, outputFolder, lat - h, lon - h, lat + 1 - h, lon + 1 - h, kBlockSide, kBlockSide,
                               side, side, overwrite);
}

std::int32_t BatchCompressor::CompressFolder(const std::string& referencePath, const std::string& outputFolder,
                                             std::vector<std::string>* outputList, int overwrite) {
  std::int32_t result = -1;
  bool allConverted = true;
  std::int32_t converted = 0;
  HgtToXemConverter converter;
  converter.fillVoids = g_pluginSettings.fillVoids;
  ProgressBegin(kTextCompressing, 1);

  std::string folder;
  const std::int32_t kind = ClassifyHgtFile(referencePath);
  if (kind != kNotTile && SplitPath(referencePath, &folder, nullptr)) {
    const int side = TileSide(kind);
    if (!converter.AllocateBuffers(side, side)) {
      allConverted = false;
    } else {
      std::vector<platform::DirEntry> found;
      platform::FindFiles(folder.c_str(), "*.hgt", &found);
      outputList->clear();
      outputList->reserve(found.size());
      const int count = static_cast<int>(found.size());
      int position = 1;
      for (const platform::DirEntry& entry : found) {
        char counter[64];
        std::snprintf(counter, sizeof counter, kTextFileCounter, position++, count);
        std::string xemName = entry.name;
        const std::size_t dot = xemName.rfind('.');
        if (dot != std::string::npos) xemName.resize(dot);
        xemName += ".xem";
        ProgressSetText(Format(kTextCompressingFile, entry.name.c_str(), xemName.c_str()).c_str(), counter);
        ProgressSetPercent(0);

        std::string path = folder;
        double lat = 0;
        double lon = 0;
        if (!AppendPath(path, entry.name.c_str()) || ClassifyHgtFile(path, &lat, &lon) != kind) continue;

        if (ConvertTile(converter, kind, path, static_cast<int>(lat), static_cast<int>(lon), outputFolder,
                        overwrite)) {
          outputList->push_back(converter.outputPath);
          ++converted;
        } else {
          allConverted = false;
          ProgressPump();
          if (ProgressIsCancelled()) break;
        }
      }
    }
  }
  ProgressEnd();
  if (!allConverted) result = converted;
  return result;
}

}  // namespace srtm
