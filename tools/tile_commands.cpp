// srtm classify and srtm block: the tile side of the plug-in, run outside the host.
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "hgt/hgt_tile.h"
#include "hgt/paths.h"
#include "hgt/settings.h"
#include "picture/map_picture.h"
#include "picture/raw_samples.h"
#include "platform/platform.h"
#include "tools/args.h"
#include "tools/cli_util.h"
#include "tools/commands.h"
#include "tools/json.h"
#include "tools/tile_check.h"

namespace srtm::cli {
namespace {

void ClassifyDetails(FILE* out) {
  std::fprintf(out,
               "Tells for each FILE whether it is an SRTM tile that the plug-in serves and compresses,\n"
               "of which kind, and the area it covers. A tile is named after its south-west corner,\n"
               "NddEddd.hgt in any letter case (N or S and two digits of latitude, E or W and three\n"
               "of longitude: N57E011.hgt covers 57 N to 58 N, 11 E to 12 E), and has the size of\n"
               "its kind: SRTM-1, 3601 x 3601 samples 1 arc-second apart (%llu bytes), or\n"
               "SRTM-3, 1201 x 1201 samples 3 arc-seconds apart (%llu bytes). Downloads (archives,\n"
               "names such as N57E011.SRTMGL1.hgt) are not tiles yet: srtm import makes tiles of\n"
               "them.\n"
               "\n"
               "Options:\n"
               "  --json  one JSON object a line per FILE: file, tile (true or false); for a tile\n"
               "          kind, south, west (the corner's latitude and longitude), samples,\n"
               "          spacing_arcsec; for any other file problem, and import (true when srtm\n"
               "          import makes tiles of it)\n"
               "\n"
               "Exit status: 0 when every FILE is a tile, 3 when one is not (named on standard\n"
               "error with the reason, or in its JSON object).\n",
               static_cast<unsigned long long>(kSrtm1FileSize), static_cast<unsigned long long>(kSrtm3FileSize));
}
const CommandHelp kClassifyHelp = {"classify", "[--json] FILE...", ClassifyDetails};

void BlockDetails(FILE* out) {
  std::fprintf(out,
               "Serves one block of the whole-globe map that TILE.hgt opens, exactly as the plug-in\n"
               "serves it to the host, writes its samples to OUT.raw and prints where it lies. The\n"
               "map covers the globe in the kind of TILE.hgt (SRTM-1 or SRTM-3) from the tiles of\n"
               "that kind in its folder; where a tile is not there, the map has no data.\n"
               "\n"
               "A block is 320 x 320 samples. Block rows R count from 0 at 90 S, block columns C\n"
               "from 1 at 180 W; a block spans 320 samples (0.2667 degrees of SRTM-3, 0.0889 of\n"
               "SRTM-1). Its number, as the host numbers it, interleaves the digits of R and C:\n"
               "  BLOCK = (R / 100) x 100000000 + (C / 100) x 1000000\n"
               "          + (R %% 100) x 10000 + (C %% 100) x 100\n"
               "so block row 553, block column 720 is block 507532000 (the last two digits,\n"
               "0 to 9 each, are the host's finer steps: 8 and 9 move one block on). --at finds\n"
               "the block holding a point and prints its number.\n"
               "\n"
               "OUT.raw gets 320 x 320 signed 16-bit little-endian samples, row 0 the southern,\n"
               "each row west to east, in the host's encoding: height + 1 for a height of 0 m or\n"
               "more, a negative height as it is, 0 for sea (at or below the sea level, with the\n"
               "sea on) and for no data (a void with the fill off, a tile that is not there). The\n"
               "settings below apply, as the plug-in's settings do in the host.\n"
               "\n"
               "Options:\n"
               "  -o OUT.raw      the output file; - for standard output (the lines about the\n"
               "                  block then go to standard error)\n"
               "  --at LAT,LON    the block holding this point, in degrees (south and west\n"
               "                  negative): --at 57.7,11.9\n"
               "  --fill on|off   fill voids as the plug-in does (default on)\n"
               "  --sea on|off    make heights at or below the sea level sea (default on)\n"
               "  --level M       the sea level in whole metres (default 0)\n"
               "\n"
               "Exit status: 0 when the block was written (a block outside the map or without a\n"
               "tile is written as no data and said so on standard error), 2 for wrong\n"
               "arguments, 3 when TILE.hgt is not a tile, 4 when OUT.raw cannot be written.\n");
}
const CommandHelp kBlockHelp = {"block", "TILE.hgt BLOCK -o OUT.raw [OPTION]...\nTILE.hgt --at LAT,LON -o OUT.raw [OPTION]...",
                                BlockDetails};

// "; srtm import FILE -o FOLDER makes tiles of it", for a download.
std::string ImportHint(const std::string& file) { return "; srtm import " + file + " -o FOLDER makes tiles of it"; }

// One line about the tile in `check`: kind, samples, area.
std::string DescribeTile(const TileCheck& check) {
  const int samples = check.kind == kSrtm1 ? 3601 : 1201;
  char text[160];
  std::snprintf(text, sizeof text, "%s tile, %d x %d samples %s apart, %s to %s, %s to %s", KindName(check.kind),
                samples, samples, check.kind == kSrtm1 ? "1 arc-second" : "3 arc-seconds",
                Degrees(check.lat, true).c_str(), Degrees(check.lat + 1, true).c_str(),
                Degrees(check.lon, false).c_str(), Degrees(check.lon + 1, false).c_str());
  return text;
}

// The tiles of the map (lat, lon of their corners) that block `origin` overlaps.
std::vector<std::pair<int, int>> TilesUnder(const HgtTile& tile, const BlockOrigin& origin) {
  std::vector<std::pair<int, int>> tiles;
  const std::int64_t span = tile.tileSpanY();
  for (std::int64_t r = origin.firstRow / span; r <= (origin.firstRow + BLOCK_SIDE - 1) / span; ++r) {
    for (std::int64_t c = origin.firstColumn / span; c <= (origin.firstColumn + BLOCK_SIDE - 1) / span; ++c) {
      tiles.emplace_back(tile.originLat() + static_cast<int>(r), tile.originLon() + static_cast<int>(c));
    }
  }
  return tiles;
}

// Says on stderr when block `number` lies outside the map or has tiles missing behind it.
void ReportNoData(const HgtTile& tile, std::int32_t number, const BlockOrigin& origin) {
  const std::int64_t lastRow = (tile.height() - 1) / BLOCK_SIDE, lastColumn = (tile.width() - 1) / BLOCK_SIDE + 1;
  if (origin.row < 0 || origin.column < 1 || origin.row > lastRow || origin.column > lastColumn) {
    std::fprintf(stderr,
                 "srtm block: block %d (block row %d, block column %d) lies outside the map (block rows 0 to %lld, "
                 "block columns 1 to %lld): it is all no data\n",
                 number, origin.row, origin.column, static_cast<long long>(lastRow), static_cast<long long>(lastColumn));
    return;
  }
  std::string missing;
  std::size_t count = 0;
  const std::vector<std::pair<int, int>> tiles = TilesUnder(tile, origin);
  for (const auto& t : tiles) {
    const std::string path = FormatTilePath(tile.folder(), t.first, t.second);
    if (ClassifyHgtFile(path) == tile.kind()) continue;
    std::string name;
    SplitPath(path, nullptr, &name);
    missing += (count++ ? ", " : "") + name;
  }
  if (count == 0) return;
  const std::string folder = platform::ToNativePath(tile.folder());
  if (count == tiles.size()) {
    std::fprintf(stderr, "srtm block: no tile behind block %d (%s not in %s as %s tiles): it is all no data\n",
                 number, missing.c_str(), folder.c_str(), KindName(tile.kind()));
  } else {
    std::fprintf(stderr, "srtm block: part of block %d has no tile behind it (%s not in %s): no data there\n", number,
                 missing.c_str(), folder.c_str());
  }
}

// A served sample in words.
std::string ServedMeaning(std::int16_t v) {
  if (v == 0) return "sea or no data";
  return "height " + std::to_string(v > 0 ? v - 1 : v) + " m";
}

}  // namespace

int Classify(int argc, char** argv) {
  Args args(kClassifyHelp, argc, argv);
  std::vector<std::string> files;
  bool json = false;
  while (args.Next()) {
    if (args.Flag("--json")) {
      json = true;
    } else {
      args.MoreOperands(&files);
    }
  }
  if (args.stopped()) return args.exitCode();
  if (files.empty()) return args.Fail("no FILE given");

  int code = kExitOk;
  for (const std::string& f : files) {
    const TileCheck check = CheckTile(f);
    if (check.kind == kNotTile) code = kExitInput;
    if (json) {
      JsonObject o;
      o.Text("file", SystemTextToUtf8(f)).Bool("tile", check.kind != kNotTile);
      if (check.kind != kNotTile) {
        o.Text("kind", KindName(check.kind)).Integer("south", check.lat).Integer("west", check.lon);
        o.Integer("samples", check.kind == kSrtm1 ? 3601 : 1201).Integer("spacing_arcsec", check.kind == kSrtm1 ? 1 : 3);
      } else {
        o.Text("problem", SystemTextToUtf8(check.problem)).Bool("import", check.download);
      }
      std::printf("%s\n", o.ToString().c_str());
    } else if (check.kind != kNotTile) {
      std::printf("%s: %s\n", f.c_str(), DescribeTile(check).c_str());
    } else {
      std::fprintf(stderr, "srtm classify: %s: not a tile: %s%s\n", f.c_str(), check.problem.c_str(),
                   check.download ? ImportHint(f).c_str() : "");
    }
  }
  return code;
}

int Block(int argc, char** argv) {
  Args args(kBlockHelp, argc, argv);
  std::vector<std::string> positional;
  std::string output, at;
  PluginSettings settings;  // the values at load
  while (args.Next()) {
    if (args.Value("-o|--output", &output) || args.Value("--at", &at) || args.Switch("--fill", &settings.fillVoids) ||
        args.Switch("--sea", &settings.seaOn) || args.Integer("--level", &settings.seaLevel, -32768, 32767)) {
      continue;
    }
    args.MoreOperands(&positional);
  }
  if (args.stopped()) return args.exitCode();
  if (positional.empty()) return args.Fail("no TILE.hgt given");
  if (positional.size() > 2) return args.Fail("unexpected argument '" + positional[2] + "'");
  if (positional.size() == 2 && !at.empty()) return args.Fail("give BLOCK or --at, not both");
  if (positional.size() == 1 && at.empty()) return args.Fail("no BLOCK (or --at LAT,LON) given");
  if (output.empty()) return args.Fail("no output given (-o OUT.raw, or -o - for standard output)");
  std::int32_t blockNumber = 0;
  if (positional.size() == 2 && !ParseInt32(positional[1].c_str(), &blockNumber)) {
    return args.Fail("BLOCK is a whole 32-bit number, not '" + positional[1] + "'");
  }
  double lat = 0, lon = 0;
  if (!at.empty()) {
    const std::size_t comma = at.find(',');
    if (comma == std::string::npos || !ParseDouble(at.substr(0, comma), &lat) ||
        !ParseDouble(at.substr(comma + 1), &lon) || lat < -90 || lat > 90 || lon < -180 || lon > 180) {
      return args.Fail("--at wants LAT,LON in degrees (latitude -90 to 90, longitude -180 to 180), not '" + at + "'");
    }
  }

  const TileCheck check = CheckTile(positional[0]);
  if (check.kind == kNotTile) {
    std::fprintf(stderr, "srtm block: %s: not a tile: %s (see srtm classify)\n", positional[0].c_str(),
                 check.problem.c_str());
    return kExitInput;
  }
  HgtTile tile;
  if (!tile.Open(platform::FromUserPath(positional[0]), check.kind)) {
    std::fprintf(stderr, "srtm block: out of memory\n");
    return kExitFailed;
  }
  // The sample nearest the point: samples sit at the centres of their cells.
  const double spd = tile.samplesPerDegreeY();
  const auto mapRow = static_cast<std::int64_t>(std::floor((lat - tile.originLat()) * spd + 0.5));
  const auto mapColumn = static_cast<std::int64_t>(std::floor((lon - tile.originLon()) * spd + 0.5));
  if (!at.empty()) blockNumber = picture::BlockNumber(mapRow / BLOCK_SIDE, mapColumn / BLOCK_SIDE + 1);

  g_pluginSettings = settings;
  std::vector<std::int16_t> block(BLOCK_SAMPLES);
  tile.ReadBlock(blockNumber, block.data());
  const std::vector<std::uint8_t> bytes = picture::EncodeRawSamples(block);
  const int written = WriteOutput("block", output, bytes.data(), bytes.size(),
                                  ServedMapInputs(platform::FromUserPath(positional[0]), output));
  if (written != kExitOk) return written;

  FILE* info = InfoStream(output);
  const BlockOrigin origin = DecodeBlockNumber(blockNumber);
  std::fprintf(info, "map: %s %s\n", KindName(tile.kind()), tile.fileName().c_str());
  std::fprintf(info, "edges: south %.9f, west %.9f, north %.9f, east %.9f\n", tile.south(), tile.west(), tile.north(),
               tile.east());
  std::fprintf(info, "samples per degree: %g (latitude), %g (longitude)\n", tile.samplesPerDegreeY(),
               tile.samplesPerDegreeX());
  std::fprintf(info, "size: %d x %d samples (width x height)\n", tile.width(), tile.height());
  std::fprintf(info, "block %d: block row %d, block column %d, first map row %lld, first map column %lld\n",
               blockNumber, origin.row, origin.column, static_cast<long long>(origin.firstRow),
               static_cast<long long>(origin.firstColumn));
  const auto degrees = [&](std::int64_t samples, int origin0) { return origin0 + static_cast<double>(samples) / spd; };
  std::fprintf(info, "samples from %s to %s, %s to %s\n", Degrees(degrees(origin.firstRow, tile.originLat()), true).c_str(),
               Degrees(degrees(origin.firstRow + BLOCK_SIDE - 1, tile.originLat()), true).c_str(),
               Degrees(degrees(origin.firstColumn, tile.originLon()), false).c_str(),
               Degrees(degrees(origin.firstColumn + BLOCK_SIDE - 1, tile.originLon()), false).c_str());
  if (!at.empty()) {
    const auto row = static_cast<int>(mapRow - origin.firstRow), column = static_cast<int>(mapColumn - origin.firstColumn);
    const std::int16_t v = block[static_cast<std::size_t>(row) * BLOCK_SIDE + static_cast<std::size_t>(column)];
    std::fprintf(info, "%s %s: row %d, column %d of the block (from its south-west corner): served %d (%s)\n",
                 Degrees(lat, true).c_str(), Degrees(lon, false).c_str(), row, column, v, ServedMeaning(v).c_str());
  }
  std::fprintf(info, "settings: fill %s, sea %s, level %d\n", settings.fillVoids ? "on" : "off",
               settings.seaOn ? "on" : "off", settings.seaLevel);
  std::fflush(info);
  ReportNoData(tile, blockNumber, origin);
  return kExitOk;
}

}  // namespace srtm::cli
