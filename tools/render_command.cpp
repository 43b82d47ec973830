// srtm render: a shaded-relief picture of the map a tile opens, as the plug-in serves
// it, or of an XEM file's grid, as the host shows it.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "hgt/hgt_tile.h"
#include "hgt/paths.h"
#include "hgt/settings.h"
#include "platform/platform.h"
#include "tools/cli_util.h"
#include "tools/commands.h"
#include "picture/map_picture.h"
#include "picture/png.h"
#include "picture/relief.h"
#include "tools/xem_map.h"
#include "xem/xem_reader.h"

namespace srtm::cli {
namespace {

using picture::Lattice;
using picture::Region;
using picture::ReliefGrid;
using picture::Surface;

// Pictures of more samples than this (an SRTM-1 region of about 2 x 2 degrees) are refused.
constexpr std::int64_t kMaxSamples = std::int64_t{64} << 20;
constexpr int kMaxPictureSide = 2048;

int RenderUsage(FILE* out) {
  std::fprintf(out,
               "usage: srtm render (TILE.hgt | FILE.xem) -o OUT.png [--region S,W,N,E] [--sea on|off]\n"
               "                   [--level N] [--fill on|off] [--scale N]\n"
               "  Draws a shaded-relief PNG: land tinted by height and lit from the north-west,\n"
               "  sea blue, no data grey and hatched. -o - writes it to standard output.\n"
               "  TILE.hgt: the whole-globe map the tile opens, as the plug-in serves it to the\n"
               "  host (assembled from the tiles of its kind in its folder; tiles that are not\n"
               "  there are drawn as no data). --fill fills voids (default on); --sea on turns\n"
               "  everything at or below --level metres (default 0) into sea, --sea off shows\n"
               "  heights only. Default region: the tile itself.\n"
               "  FILE.xem: the stored grid, with the sea level applied as the plug-in's XEM hook\n"
               "  applies it in the host (heights compared unsigned: negative heights stay land).\n"
               "  Default region: the whole grid.\n"
               "  --region S,W,N,E  degrees, south and west negative, e.g. 56.5,10.5,58.5,12.5\n"
               "  --scale N         each pixel the mean of N x N samples (default: the smallest\n"
               "                    that keeps the picture within %d pixels a side)\n"
               "  Exit code 0, %d for wrong arguments or a region of no or too many samples,\n"
               "  %d for unreadable input, %d when the picture cannot be written.\n",
               kMaxPictureSide, kExitUsage, kExitInput, kExitOutput);
  return out == stdout ? kExitOk : kExitUsage;
}

struct RenderOptions {
  PluginSettings settings;
  bool fillGiven = false;
  bool regionGiven = false;
  Region region;
  std::int32_t scale = 0;  // 0: to fit
};

// The served map of a tile.
int ServedGrid(const std::string& input, const std::string& path, const RenderOptions& options, ReliefGrid* grid) {
  const std::int32_t kind = ClassifyHgtFile(path);
  if (kind == kNotTile) {
    std::fprintf(stderr, "srtm render: %s is neither an SRTM tile (see srtm classify) nor an XEM file\n",
                 input.c_str());
    return kExitInput;
  }
  HgtTile tile;
  if (!tile.Open(path, kind)) {
    std::fprintf(stderr, "srtm render: out of memory\n");
    return kExitFailed;
  }
  g_pluginSettings = options.settings;
  picture::ServedMap map;
  map.originLat = tile.originLat();
  map.originLon = tile.originLon();
  map.tileSpan = tile.tileSpanY();
  map.width = tile.width();
  map.height = tile.height();
  map.readBlock = [&tile](std::int32_t number, std::vector<std::int16_t>* samples) {
    samples->resize(BLOCK_SAMPLES);
    return tile.ReadBlock(number, samples->data()) != 0;
  };
  map.hasTile = [&tile, kind](int lat, int lon) { return ClassifyHgtFile(FormatTilePath(tile.folder(), lat, lon)) == kind; };

  const Region region = options.regionGiven ? options.region
                                            : Region{static_cast<double>(tile.tileLat()), static_cast<double>(tile.tileLon()),
                                                     tile.tileLat() + 1.0, tile.tileLon() + 1.0};
  Lattice lattice;
  if (!picture::RegionLattice(region, tile.samplesPerDegreeY(), kMaxSamples, &lattice)) {
    std::fprintf(stderr, "srtm render: the region holds no samples or more than %lld\n",
                 static_cast<long long>(kMaxSamples));
    return kExitUsage;
  }
  std::string error;
  if (!picture::ServedRelief(map, lattice, options.settings.seaOn != 0, grid, &error)) {
    std::fprintf(stderr, "srtm render: %s\n", error.c_str());
    return kExitInput;
  }
  return kExitOk;
}

// The grid of an XEM file, its samples passed through the sea rule of the XEM hook.
int XemGrid(const std::string& input, const std::string& path, const RenderOptions& options, ReliefGrid* grid) {
  if (options.fillGiven) {
    std::fprintf(stderr, "srtm render: --fill applies to tiles; an XEM file was filled when it was written\n");
    return kExitUsage;
  }
  XemReader reader;
  const Status status = reader.Open(path);
  if (!status.ok()) {
    std::fprintf(stderr, "srtm render: %s: %s\n", input.c_str(), status.ToString().c_str());
    return kExitInput;
  }
  const XemHeader& h = reader.header();
  picture::XemMap map = XemMapOf(h);
  const bool seaApplies = (h.flags & kXemFlagSeaLevel) != 0;
  const std::int32_t threshold = options.settings.seaOn ? options.settings.seaLevel : -32768;
  std::vector<std::int16_t> decoded;
  map.readBlock = [&](int column, int row, std::vector<std::uint16_t>* samples, std::string* error) {
    const Status read = reader.ReadBlock(column, row, &decoded);
    if (!read.ok()) {
      *error = read.ToString();
      return false;
    }
    samples->resize(decoded.size());
    for (std::size_t i = 0; i < decoded.size(); ++i) {
      const auto v = static_cast<std::uint16_t>(decoded[i]);
      (*samples)[i] = seaApplies && static_cast<std::int32_t>(v) <= threshold ? static_cast<std::uint16_t>(kXemSeaValue) : v;
    }
    return true;
  };

  const double spd = h.resolutionY / 100.0;
  Lattice lattice;
  bool fits;
  if (options.regionGiven) {
    fits = picture::RegionLattice(options.region, spd, kMaxSamples, &lattice);
  } else {
    lattice.firstRow = static_cast<std::int64_t>(map.lat) * h.gridHeight;
    lattice.firstColumn = static_cast<std::int64_t>(map.lon) * h.gridWidth;
    lattice.rows = h.gridHeight;
    lattice.columns = h.gridWidth;
    lattice.samplesPerDegree = spd;
    fits = static_cast<std::int64_t>(h.gridWidth) * h.gridHeight <= kMaxSamples;
  }
  if (!fits || spd <= 0) {
    std::fprintf(stderr, "srtm render: the region holds no samples or more than %lld\n",
                 static_cast<long long>(kMaxSamples));
    return kExitUsage;
  }
  std::string error;
  if (!picture::XemRelief(map, lattice, grid, &error)) {
    std::fprintf(stderr, "srtm render: %s: %s\n", input.c_str(), error.c_str());
    return kExitInput;
  }
  return kExitOk;
}

}  // namespace

int Render(int argc, char** argv) {
  std::string input, output;
  RenderOptions options;
  for (int i = 0; i < argc; ++i) {
    const char* arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (IsHelp(arg)) return RenderUsage(stdout);
    bool ok = true;
    if (std::strcmp(arg, "-o") == 0 && hasValue) {
      output = argv[++i];
    } else if (std::strcmp(arg, "--fill") == 0 && hasValue) {
      ok = ParseSwitch(argv[++i], &options.settings.fillVoids);
      options.fillGiven = true;
    } else if (std::strcmp(arg, "--sea") == 0 && hasValue) {
      ok = ParseSwitch(argv[++i], &options.settings.seaOn);
    } else if (std::strcmp(arg, "--level") == 0 && hasValue) {
      ok = ParseInt32(argv[++i], &options.settings.seaLevel);
    } else if (std::strcmp(arg, "--scale") == 0 && hasValue) {
      ok = ParseInt32(argv[++i], &options.scale) && options.scale >= 1 && options.scale <= 64;
    } else if (std::strcmp(arg, "--region") == 0 && hasValue) {
      ok = picture::ParseRegion(argv[++i], &options.region);
      options.regionGiven = true;
    } else if (!LooksLikeOption(arg) && input.empty()) {
      input = arg;
    } else {
      std::fprintf(stderr, "srtm render: unexpected argument '%s'\n", arg);
      return RenderUsage(stderr);
    }
    if (!ok) {
      std::fprintf(stderr, "srtm render: %s does not take '%s' (see srtm render --help)\n", arg, argv[i]);
      return kExitUsage;
    }
  }
  if (input.empty() || output.empty()) return RenderUsage(stderr);

  const std::string path = platform::FromUserPath(input);
  std::uint64_t size = 0;
  if (!platform::GetFileSize(path.c_str(), &size)) {
    std::fprintf(stderr, "srtm render: %s does not exist\n", input.c_str());
    return kExitInput;
  }
  // An XEM file is known by its magic, whatever its name.
  char magic[4] = {};
  std::size_t got = 0;
  auto file = platform::OpenShared(path.c_str());
  const bool isXem = file && file->Read(magic, sizeof magic, &got) && got == sizeof magic &&
                     std::memcmp(magic, kXemMagic, sizeof magic) == 0;
  file.reset();

  ReliefGrid grid;
  const int code = isXem ? XemGrid(input, path, options, &grid) : ServedGrid(input, path, options, &grid);
  if (code != kExitOk) return code;
  const int scale = options.scale ? options.scale : picture::ScaleToFit(grid, kMaxPictureSide);
  const std::vector<std::uint8_t> png = picture::EncodePng(picture::RenderRelief(grid, scale));
  if (png.empty()) {
    std::fprintf(stderr, "srtm render: the picture is empty\n");
    return kExitFailed;
  }
  const int written = WriteOutput("render", output, png.data(), png.size(),
                                  isXem ? std::vector<std::string>{path} : ServedMapInputs(path, output));
  if (written != kExitOk) return written;
  std::size_t counts[3] = {};
  for (Surface s : grid.surface) ++counts[static_cast<int>(s)];
  const double n = static_cast<double>(grid.surface.size());
  std::fprintf(InfoStream(output), "%s: %d x %d pixels from %d x %d samples (scale %d); land %.1f%%, sea %.1f%%, no data %.1f%%\n",
              output.c_str(), grid.width / scale, grid.height / scale, grid.width, grid.height, scale,
              100 * counts[0] / n, 100 * counts[1] / n, 100 * counts[2] / n);
  return kExitOk;
}

}  // namespace srtm::cli
