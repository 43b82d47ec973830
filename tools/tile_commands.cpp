// srtm classify and srtm block: the tile side of the plug-in, run outside the host.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "hgt/hgt_tile.h"
#include "hgt/paths.h"
#include "hgt/settings.h"
#include "platform/platform.h"
#include "tools/cli_util.h"
#include "picture/raw_samples.h"
#include "tools/commands.h"

namespace srtm::cli {
namespace {

const char* KindName(std::int32_t kind) {
  return kind == kSrtm1 ? "SRTM-1" : kind == kSrtm3 ? "SRTM-3" : "not a tile";
}

int ClassifyUsage(FILE* out) {
  std::fprintf(out,
               "usage: srtm classify PATH\n"
               "  Tells whether PATH is an SRTM tile (name NsddEwddd.hgt, any letter case, and\n"
               "  a size of %llu bytes for SRTM-1 or %llu bytes for SRTM-3), its kind and\n"
               "  the south-west corner its name gives. Exit code 0 for a tile, %d otherwise.\n",
               static_cast<unsigned long long>(kSrtm1FileSize), static_cast<unsigned long long>(kSrtm3FileSize),
               kExitInput);
  return out == stdout ? kExitOk : kExitUsage;
}

int BlockUsage(FILE* out) {
  std::fprintf(out,
               "usage: srtm block TILE.hgt BLOCK_NUMBER [--fill on|off] [--sea on|off] [--level N] -o OUT.raw\n"
               "  Serves one 320 x 320 block of the whole-globe map opened from TILE.hgt, as the\n"
               "  plug-in serves it to the host: assembled from the tiles of the same kind in\n"
               "  TILE.hgt's folder, voids filled (--fill, default on), sea level applied (--sea,\n"
               "  default on; --level, metres, default 0). Writes the block to OUT.raw as\n"
               "  320 x 320 little-endian signed 16-bit samples, row 0 south (-o -: to standard\n"
               "  output, the map information then on standard error), and prints the map\n"
               "  information. BLOCK_NUMBER is the host's block number.\n");
  return out == stdout ? kExitOk : kExitUsage;
}

}  // namespace

int Classify(int argc, char** argv) {
  if (argc == 1 && IsHelp(argv[0])) return ClassifyUsage(stdout);
  if (argc != 1) return ClassifyUsage(stderr);
  const std::string path = platform::FromUserPath(argv[0]);
  double lat = 0, lon = 0;
  const std::int32_t kind = ClassifyHgtFile(path, &lat, &lon);
  std::string name;
  int nameLat = 0, nameLon = 0;
  const bool named = SplitPath(path, nullptr, &name) && ParseTileName(name, &nameLat, &nameLon);
  std::printf("%s: kind %d (%s)\n", argv[0], kind, KindName(kind));
  if (named) std::printf("south-west corner: latitude %d, longitude %d\n", nameLat, nameLon);
  if (kind != kNotTile) return kExitOk;
  std::uint64_t size = 0;
  if (!named) {
    std::fprintf(stderr, "srtm classify: the name is not NsddEwddd.hgt\n");
  } else if (!platform::GetFileSize(path.c_str(), &size)) {
    std::fprintf(stderr, "srtm classify: %s: %s\n", argv[0], platform::LastErrorText().c_str());
  } else {
    std::fprintf(stderr, "srtm classify: %llu bytes is the size of no tile\n", static_cast<unsigned long long>(size));
  }
  return kExitInput;
}

int Block(int argc, char** argv) {
  if (argc == 1 && IsHelp(argv[0])) return BlockUsage(stdout);
  std::vector<const char*> positional;
  const char* output = nullptr;
  PluginSettings settings;  // the values at load
  for (int i = 0; i < argc; ++i) {
    const char* arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (IsHelp(arg)) return BlockUsage(stdout);
    if (std::strcmp(arg, "-o") == 0 && hasValue) {
      output = argv[++i];
    } else if (std::strcmp(arg, "--fill") == 0 && hasValue) {
      if (!ParseSwitch(argv[++i], &settings.fillVoids)) return BlockUsage(stderr);
    } else if (std::strcmp(arg, "--sea") == 0 && hasValue) {
      if (!ParseSwitch(argv[++i], &settings.seaOn)) return BlockUsage(stderr);
    } else if (std::strcmp(arg, "--level") == 0 && hasValue) {
      if (!ParseInt32(argv[++i], &settings.seaLevel)) {
        std::fprintf(stderr, "srtm block: --level wants whole metres, not '%s'\n", argv[i]);
        return kExitUsage;
      }
    } else if (LooksLikeOption(arg)) {
      std::fprintf(stderr, "srtm block: unknown or incomplete option '%s'\n", arg);
      return BlockUsage(stderr);
    } else {
      positional.push_back(arg);
    }
  }
  if (positional.size() != 2 || !output) return BlockUsage(stderr);
  std::int32_t blockNumber = 0;
  if (!ParseInt32(positional[1], &blockNumber)) {
    std::fprintf(stderr, "srtm block: '%s' is not a 32-bit block number\n", positional[1]);
    return kExitUsage;
  }

  const std::string tilePath = platform::FromUserPath(positional[0]);
  const std::int32_t kind = ClassifyHgtFile(tilePath);
  if (kind == kNotTile) {
    std::fprintf(stderr, "srtm block: %s is not an SRTM tile (see srtm classify)\n", positional[0]);
    return kExitInput;
  }
  HgtTile tile;
  if (!tile.Open(tilePath, kind)) {
    std::fprintf(stderr, "srtm block: out of memory\n");
    return kExitFailed;
  }
  g_pluginSettings = settings;
  std::vector<std::int16_t> block(BLOCK_SAMPLES);
  tile.ReadBlock(blockNumber, block.data());
  const std::vector<std::uint8_t> bytes = picture::EncodeRawSamples(block);
  const int written = WriteOutput("block", output, bytes.data(), bytes.size(), ServedMapInputs(tilePath, output));
  if (written != kExitOk) return written;

  FILE* info = InfoStream(output);
  const BlockOrigin origin = DecodeBlockNumber(blockNumber);
  std::fprintf(info, "map: %s %s\n", KindName(kind), tile.fileName().c_str());
  std::fprintf(info, "edges: south %.9f, west %.9f, north %.9f, east %.9f\n", tile.south(), tile.west(), tile.north(),
               tile.east());
  std::fprintf(info, "samples per degree: %g (latitude), %g (longitude)\n", tile.samplesPerDegreeY(),
               tile.samplesPerDegreeX());
  std::fprintf(info, "size: %d x %d samples (width x height)\n", tile.width(), tile.height());
  std::fprintf(info, "block %d: block row %d, block column %d, first map row %lld, first map column %lld\n",
               blockNumber, origin.row, origin.column, static_cast<long long>(origin.firstRow),
               static_cast<long long>(origin.firstColumn));
  std::fprintf(info, "settings: fill %s, sea %s, level %d\n", settings.fillVoids ? "on" : "off",
               settings.seaOn ? "on" : "off", settings.seaLevel);
  return kExitOk;
}

}  // namespace srtm::cli
