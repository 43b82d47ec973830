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
#include "tools/args.h"
#include "tools/cli_util.h"
#include "tools/commands.h"
#include "tools/tile_check.h"
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

// The side in degrees of the largest square region drawn at `samplesPerDegree`.
double MaxDegrees(double samplesPerDegree) { return std::sqrt(static_cast<double>(kMaxSamples)) / samplesPerDegree; }

void RenderDetails(FILE* out) {
  std::fprintf(out,
               "Draws a shaded-relief PNG: land tinted by height and lit from the north-west, sea\n"
               "blue, no data grey and hatched.\n"
               "\n"
               "TILE.hgt: the whole-globe map the tile opens, as the plug-in serves it to the host\n"
               "(assembled from the tiles of its kind in its folder; where a tile is not there the\n"
               "map has no data). Default region: the tile itself.\n"
               "\n"
               "FILE.xem: the stored grid, with the sea level applied as the plug-in's XEM hook\n"
               "applies it in the host (heights compared unsigned: negative heights stay land).\n"
               "Default region: the whole grid.\n"
               "\n"
               "Options:\n"
               "  -o OUT.png                the picture; - for standard output\n"
               "  --region S,W,N,E          the region in degrees, south and west negative, in this\n"
               "                            order: southern latitude, western longitude, northern\n"
               "                            latitude, eastern longitude: --region 57.5,11.5,58,12\n"
               "  --te XMIN YMIN XMAX YMAX  the region in GDAL's order (gdalwarp -te): western\n"
               "                            longitude, southern latitude, eastern longitude,\n"
               "                            northern latitude: --te 11.5 57.5 12 58 (or with\n"
               "                            commas; -te works too)\n"
               "  --fill on|off             fill voids (tiles only; default on)\n"
               "  --sea on|off              make heights at or below the sea level sea (default on;\n"
               "                            off shows heights only)\n"
               "  --level M                 the sea level in whole metres (default 0)\n"
               "  --scale N                 each pixel the mean of N x N samples, 1 to 64 (default:\n"
               "                            the smallest that keeps the picture within %d pixels\n"
               "                            a side)\n"
               "\n"
               "A picture is drawn from at most %lld samples (about %.1f x %.1f degrees of\n"
               "SRTM-3, %.1f x %.1f of SRTM-1), whatever --scale. A region without any data is\n"
               "drawn all hatched, with a warning.\n"
               "\n"
               "Exit status: 0 done, 2 for wrong arguments or a region of no or too many samples,\n"
               "3 for unreadable input, 4 when the picture cannot be written.\n",
               kMaxPictureSide, static_cast<long long>(kMaxSamples), MaxDegrees(1200), MaxDegrees(1200),
               MaxDegrees(3600), MaxDegrees(3600));
}
const CommandHelp kRenderHelp = {"render", "TILE.hgt -o OUT.png [OPTION]...\nFILE.xem -o OUT.png [OPTION]...",
                                 RenderDetails};

struct RenderOptions {
  PluginSettings settings;
  bool fillGiven = false;
  const char* regionOption = nullptr;  // "--region" or "--te" when a region was given
  Region region;
  std::int32_t scale = 0;  // 0: to fit
};

// The region from four numbers in the order of `option`: S,W,N,E (--region) or
// W,S,E,N (--te). False when they do not make a region of the globe.
bool MakeRegion(const std::vector<std::string>& parts, bool gdalOrder, Region* region) {
  double v[4];
  for (int i = 0; i < 4; ++i) {
    if (!ParseDouble(parts[static_cast<std::size_t>(i)], &v[i])) return false;
  }
  const Region r = gdalOrder ? Region{v[1], v[0], v[3], v[2]} : Region{v[0], v[1], v[2], v[3]};
  if (!(r.south < r.north) || !(r.west < r.east) || r.south < -90 || r.north > 90 || r.west < -180 || r.east > 180) {
    return false;
  }
  *region = r;
  return true;
}

// Takes the region of --region (S,W,N,E) or --te (W,S,E,N, as GDAL's tools take it).
void TakeRegion(Args& args, const std::vector<std::string>& parts, const char* option, RenderOptions* options) {
  if (args.stopped()) return;
  const bool gdalOrder = std::strcmp(option, "--te") == 0;
  options->regionOption = option;
  if (MakeRegion(parts, gdalOrder, &options->region)) return;
  args.Fail(gdalOrder ? "--te wants XMIN YMIN XMAX YMAX: western longitude, southern latitude, eastern longitude, "
                        "northern latitude, in degrees within the globe"
                      : "--region wants S,W,N,E: southern latitude, western longitude, northern latitude, eastern "
                        "longitude, in degrees within the globe (in GDAL's order W,S,E,N: --te)");
}

// The samples of `region` at `samplesPerDegree`; false after saying why there are none
// or too many.
bool RegionSamples(const Region& region, double samplesPerDegree, Lattice* lattice) {
  if (!picture::RegionLattice(region, samplesPerDegree, INT64_MAX, lattice)) {
    std::fprintf(stderr, "srtm render: the region holds no sample (they are %g arc-seconds apart)\n",
                 3600 / samplesPerDegree);
    return false;
  }
  const std::int64_t samples = std::int64_t{lattice->rows} * lattice->columns;
  if (samples > kMaxSamples) {
    std::fprintf(stderr,
                 "srtm render: the region holds %d x %d = %lld samples, more than the %lld a picture is drawn from "
                 "(whatever --scale); at %g arc-seconds apart, a region of about %.1f x %.1f degrees\n",
                 lattice->columns, lattice->rows, static_cast<long long>(samples), static_cast<long long>(kMaxSamples),
                 3600 / samplesPerDegree, MaxDegrees(samplesPerDegree), MaxDegrees(samplesPerDegree));
    return false;
  }
  return true;
}

bool Overlaps(const Region& a, const Region& b) {
  return a.south < b.north && b.south < a.north && a.west < b.east && b.west < a.east;
}

// Warns when the picture holds no data; when the numbers in the other order would
// have met the data, says which order each option takes.
void WarnWithoutData(const ReliefGrid& grid, const RenderOptions& options, const Region& data) {
  for (Surface s : grid.surface) {
    if (s != Surface::kMissing) return;
  }
  std::fprintf(stderr, "srtm render: warning: the region holds no data (%s to %s, %s to %s)", 
               Degrees(options.region.south, true).c_str(), Degrees(options.region.north, true).c_str(),
               Degrees(options.region.west, false).c_str(), Degrees(options.region.east, false).c_str());
  const Region& r = options.region;
  const Region swapped{r.west, r.south, r.east, r.north};
  if (options.regionOption && Overlaps(swapped, data)) {
    std::fprintf(stderr, "; --region takes S,W,N,E and --te W,S,E,N (GDAL's order)");
  }
  std::fprintf(stderr, "\n");
}

// The served map of a tile.
int ServedGrid(const std::string& input, const std::string& path, RenderOptions& options, ReliefGrid* grid) {
  const TileCheck check = CheckTile(input);
  if (check.kind == kNotTile) {
    std::fprintf(stderr, "srtm render: %s is neither an XEM file nor a tile: %s (see srtm classify)\n", input.c_str(),
                 check.problem.c_str());
    return kExitInput;
  }
  HgtTile tile;
  if (!tile.Open(path, check.kind)) {
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
  const std::int32_t kind = check.kind;
  map.hasTile = [&tile, kind](int lat, int lon) { return ClassifyHgtFile(FormatTilePath(tile.folder(), lat, lon)) == kind; };

  const Region own{static_cast<double>(tile.tileLat()), static_cast<double>(tile.tileLon()), tile.tileLat() + 1.0,
                   tile.tileLon() + 1.0};
  if (!options.regionOption) options.region = own;
  Lattice lattice;
  if (!RegionSamples(options.region, tile.samplesPerDegreeY(), &lattice)) return kExitUsage;
  std::string error;
  if (!picture::ServedRelief(map, lattice, options.settings.seaOn != 0, grid, &error)) {
    std::fprintf(stderr, "srtm render: %s\n", error.c_str());
    return kExitInput;
  }
  WarnWithoutData(*grid, options, own);
  return kExitOk;
}

// The grid of an XEM file, its samples passed through the sea rule of the XEM hook.
int XemGrid(const std::string& input, const std::string& path, RenderOptions& options, ReliefGrid* grid) {
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
  if (spd <= 0) {
    std::fprintf(stderr, "srtm render: %s: the header gives no sample spacing\n", input.c_str());
    return kExitInput;
  }
  const Region own{static_cast<double>(map.lat), static_cast<double>(map.lon), map.lat + h.gridHeight / spd,
                   map.lon + h.gridWidth / spd};
  Lattice lattice;
  if (options.regionOption) {
    if (!RegionSamples(options.region, spd, &lattice)) return kExitUsage;
  } else {
    options.region = own;
    lattice.firstRow = static_cast<std::int64_t>(map.lat) * h.gridHeight;
    lattice.firstColumn = static_cast<std::int64_t>(map.lon) * h.gridWidth;
    lattice.rows = h.gridHeight;
    lattice.columns = h.gridWidth;
    lattice.samplesPerDegree = spd;
  }
  std::string error;
  if (!picture::XemRelief(map, lattice, grid, &error)) {
    std::fprintf(stderr, "srtm render: %s: %s\n", input.c_str(), error.c_str());
    return kExitInput;
  }
  WarnWithoutData(*grid, options, own);
  return kExitOk;
}

}  // namespace

int Render(int argc, char** argv) {
  Args args(kRenderHelp, argc, argv);
  std::string input, output, operand;
  RenderOptions options;
  std::vector<std::string> parts;
  while (args.Next()) {
    if (args.Value("-o|--output", &output) || args.Switch("--sea", &options.settings.seaOn) ||
        args.Integer("--level", &options.settings.seaLevel, -32768, 32767) ||
        args.Integer("--scale", &options.scale, 1, 64)) {
      continue;
    }
    if (args.Switch("--fill", &options.settings.fillVoids)) {
      options.fillGiven = true;
    } else if (args.Values("--region", 4, &parts)) {
      TakeRegion(args, parts, "--region", &options);
    } else if (args.Values("--te|-te", 4, &parts)) {
      TakeRegion(args, parts, "--te", &options);
    } else if (input.empty() && args.Operand(&operand)) {
      input = operand;
    } else {
      args.Unknown();
    }
  }
  if (args.stopped()) return args.exitCode();
  if (input.empty()) return args.Fail("no TILE.hgt or FILE.xem given");
  if (output.empty()) return args.Fail("no output given (-o OUT.png, or -o - for standard output)");

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
