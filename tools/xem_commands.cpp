// srtm info, decode and verify: XEM files read outside the host with the plug-in's own
// reader.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "hgt/paths.h"
#include "picture/raw_samples.h"
#include "platform/platform.h"
#include "platform/process.h"
#include "tools/args.h"
#include "tools/cli_util.h"
#include "tools/commands.h"
#include "tools/hgt_export.h"
#include "tools/json.h"
#include "tools/tile_check.h"
#include "tools/xem_map.h"
#include "xem/fill.h"
#include "xem/mapset_id.h"
#include "xem/xem_reader.h"

namespace srtm::cli {
namespace {

// A field of fixed size as text: up to its first zero byte.
std::string FieldText(const char* field, std::size_t size) { return std::string(field, strnlen(field, size)); }

// The file name part of a path as typed.
std::string NameOf(const std::string& userPath) {
  std::string name;
  return SplitPath(platform::FromUserPath(userPath), nullptr, &name) ? name : userPath;
}

// True when the file at `path` (a plug-in path) begins with the XEM magic.
bool HasXemMagic(const std::string& path) {
  char magic[4] = {};
  std::size_t got = 0;
  auto file = platform::OpenShared(path.c_str());
  return file && file->Read(magic, sizeof magic, &got) && got == sizeof magic &&
         std::memcmp(magic, kXemMagic, sizeof magic) == 0;
}

// True when `path` ends in `extension` (letter case ignored).
bool HasExtension(const std::string& path, const char* extension) {
  const std::size_t n = std::strlen(extension);
  if (path.size() < n) return false;
  for (std::size_t i = 0; i < n; ++i) {
    char c = path[path.size() - n + i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != extension[i]) return false;
  }
  return true;
}

// ---- info ----

void InfoDetails(FILE* out) {
  std::fprintf(out,
               "Checks each XEM file completely and says what it is. Besides the header and the\n"
               "index, every block is decoded from exactly the bytes stored for it, so damage in\n"
               "the block data (a power cut while it was written, a flipped byte) is found and\n"
               "named: the block, its bytes and place in the file, and what is wrong. An XEM file\n"
               "of a tile holds its samples without the northern row and eastern column, which it\n"
               "shares with its neighbours.\n"
               "\n"
               "Options:\n"
               "  --header  also every field of the header and a summary of the index\n"
               "  --json    one JSON object a line per FILE: file, ok, bytes; once the header is\n"
               "            read kind, south, west (the latitude and longitude of the south-west\n"
               "            corner), width, height, spacing_arcsec, block_width, block_height,\n"
               "            blocks, block_bytes, voids, publisher, description; damaged (blocks)\n"
               "            and problem when something is wrong\n"
               "\n"
               "Exit status: 0 when every FILE is sound, 3 when one is missing or damaged (the\n"
               "first damage named on standard error, or in its JSON object).\n");
}
const CommandHelp kInfoHelp = {"info", "[--json] [--header] FILE.xem...", InfoDetails};

// The kind of tile an XEM grid holds, by its spacing: "SRTM-3", or "" for other grids.
const char* XemKind(const XemHeader& h) {
  if (h.resolutionX != h.resolutionY) return "";
  return h.resolutionY == 360000 ? "SRTM-1" : h.resolutionY == 120000 ? "SRTM-3" : "";
}

void PrintHeaderFields(const XemReader& reader) {
  const XemHeader& h = reader.header();
  const MapSetIdFields id = UnpackMapSetId(h.mapSetId);
  std::printf("  magic             %.4s, format %d\n", h.magic, h.formatNumber);
  std::printf("  description       %s\n", ToTerminal(FieldText(h.description, sizeof h.description)).c_str());
  std::printf("  notice            %s\n", ToTerminal(FieldText(h.noticeText, sizeof h.noticeText)).c_str());
  std::printf("  mapSetId          %02X %02X %02X %02X %02X (group %u, region %u, series %u, D %u, E %u, F %u, "
              "kind %u)\n",
              h.mapSetId[0], h.mapSetId[1], h.mapSetId[2], h.mapSetId[3], h.mapSetId[4], id.idGroup, id.regionCode,
              id.seriesCode, id.idFieldD, id.idFieldE, id.idFieldF, id.idKind);
  std::printf("  publisherId       %s\n", FieldText(h.publisherId, sizeof h.publisherId).c_str());
  std::printf("  southEdge         %d (%.6f degrees)\n", h.southEdge, h.southEdge / 360000.0);
  std::printf("  westEdge          %d (%.6f degrees)\n", h.westEdge, h.westEdge / 360000.0);
  std::printf("  datum             %s\n", FieldText(h.datum, sizeof h.datum).c_str());
  std::printf("  resolution        %d x %d (samples per degree x 100)\n", h.resolutionX, h.resolutionY);
  std::printf("  grid              %d x %d samples\n", h.gridWidth, h.gridHeight);
  std::printf("  blocks            %d x %d samples, %d blocks in %d columns and %d rows\n", h.blockWidth,
              h.blockHeight, h.blockCount, h.blockColumns, h.blockRows);
  std::printf("  seaValue          %d\n", h.seaValue);
  std::printf("  sampleBytes       %u, codec %u, flags %d, checksum 0x%02X\n", h.sampleBytes, h.codec, h.flags,
              h.headerChecksum);
  std::printf("  sections          A %d, B %d, C %d bytes; firstBlockOffset %d\n", h.sectionSizeA, h.sectionSizeB,
              h.sectionSizeC, h.firstBlockOffset);
  std::int64_t smallest = reader.index().empty() ? 0 : INT32_MAX, largest = 0;
  for (const XemIndexEntry& e : reader.index()) {
    smallest = std::min<std::int64_t>(smallest, e.length);
    largest = std::max<std::int64_t>(largest, e.length);
  }
  std::printf("  index             %zu entries, block lengths %lld to %lld bytes\n", reader.index().size(),
              static_cast<long long>(smallest), static_cast<long long>(largest));
}

// Checks one file and reports it; the file's exit code.
int InfoOne(const std::string& file, bool json, bool header) {
  JsonObject o;
  o.Text("file", SystemTextToUtf8(file));
  XemReader reader;
  Status status = reader.Open(platform::FromUserPath(file));
  XemBlockCheck check;
  if (status.ok()) status = reader.CheckEveryBlock(&check);
  if (!status.ok()) {
    if (json) {
      std::printf("%s\n", o.Bool("ok", false).Text("problem", SystemTextToUtf8(status.ToString())).ToString().c_str());
    } else {
      std::fprintf(stderr, "srtm info: %s: %s\n", file.c_str(), status.ToString().c_str());
    }
    return kExitInput;
  }
  const XemHeader& h = reader.header();
  const picture::XemMap map = XemMapOf(h);
  const double spd = h.resolutionY / 100.0;
  const std::string kind = XemKind(h);
  std::string tileName;
  SplitPath(FormatTilePath("", map.lat, map.lon), nullptr, &tileName);
  tileName.resize(tileName.size() - 4);  // without ".hgt"
  std::int64_t blockBytes = 0;
  for (const XemIndexEntry& e : reader.index()) blockBytes += e.length;
  const double raw = 2.0 * h.gridWidth * h.gridHeight;
  const std::string description = FieldText(h.description, sizeof h.description);
  const std::string publisher = FieldText(h.publisherId, sizeof h.publisherId);
  const bool sound = check.damaged == 0;

  if (json) {
    o.Bool("ok", sound).Integer("bytes", static_cast<std::int64_t>(reader.fileSize())).Text("kind", kind);
    o.Integer("south", map.lat).Integer("west", map.lon).Integer("width", h.gridWidth).Integer("height", h.gridHeight);
    o.Number("spacing_arcsec", spd > 0 ? 3600 / spd : 0).Integer("block_width", h.blockWidth);
    o.Integer("block_height", h.blockHeight).Integer("blocks", check.blocks).Integer("block_bytes", blockBytes);
    o.Integer("voids", check.voids).Text("publisher", SystemTextToUtf8(publisher));
    o.Text("description", Cp932ToUtf8(description));
    if (!sound) o.Integer("damaged", check.damaged).Text("problem", check.firstDamage.message());
    std::printf("%s\n", o.ToString().c_str());
    return sound ? kExitOk : kExitInput;
  }
  std::printf("%s: XEM file of %s%s%s, %llu bytes, %s\n", file.c_str(), kind.empty() ? "a grid" : "the ",
              kind.c_str(), kind.empty() ? "" : (" tile " + tileName).c_str(),
              static_cast<unsigned long long>(reader.fileSize()), sound ? "sound" : "DAMAGED");
  if (spd > 0) {
    std::printf("  area      %s to %s, %s to %s\n", Degrees(map.lat, true).c_str(),
                Degrees(map.lat + h.gridHeight / spd, true).c_str(), Degrees(map.lon, false).c_str(),
                Degrees(map.lon + h.gridWidth / spd, false).c_str());
    std::printf("  samples   %d x %d, %g arc-seconds apart (a tile's northern row and eastern column are its "
                "neighbours')\n",
                h.gridWidth, h.gridHeight, 3600 / spd);
  }
  std::printf("  blocks    %d of %d x %d samples, %s; %lld bytes of block data, %.1f%% of the %.0f bytes of the "
              "samples\n",
              check.blocks, h.blockWidth, h.blockHeight,
              sound ? "every one decodes" : (std::to_string(check.damaged) + " damaged").c_str(),
              static_cast<long long>(blockBytes), raw > 0 ? 100.0 * static_cast<double>(blockBytes) / raw : 0.0, raw);
  if (check.voids > 0) {
    std::printf("  voids     %lld samples without data (written with the fill off)\n",
                static_cast<long long>(check.voids));
  } else {
    std::printf("  voids     none%s\n", sound ? " (filled when written, or the tile had none)" : " in the sound blocks");
  }
  std::printf("  written   by %s: %s\n", publisher.c_str(), ToTerminal(description).c_str());
  if (header) {
    std::printf("  header fields:\n");
    PrintHeaderFields(reader);
  }
  platform::FlushStandardOutput();
  if (sound) return kExitOk;
  std::fprintf(stderr, "srtm info: %s: damaged: %s (%d of %d blocks damaged)\n", file.c_str(),
               check.firstDamage.message().c_str(), check.damaged, check.blocks);
  return kExitInput;
}

// ---- decode ----

void DecodeDetails(FILE* out) {
  std::fprintf(out,
               "OUT.hgt: writes the tile FILE.xem was compressed from as an .hgt file that any\n"
               "GIS opens (1201 or 3601 samples a side, big-endian). The northern row and the\n"
               "eastern column, which an XEM file does not store, come from the XEM files of\n"
               "the neighbouring tiles in the same folder when they are there, else the\n"
               "nearest stored row or column is repeated; the output says which. A file\n"
               "compressed with the fill off gives back its tile byte for byte. (For a\n"
               "GeoTIFF: gdal_translate OUT.hgt OUT.tif.)\n"
               "\n"
               "OUT.raw, a name without an extension (a device, a pipe) or - for standard\n"
               "output: the stored grid as it is, width x height signed 16-bit little-endian\n"
               "samples, row 0 the southern, each row west to east.\n"
               "\n"
               "Other extensions are refused. A failure leaves no partial file and an existing\n"
               "one as it was.\n"
               "\n"
               "Exit status: 0 done, 2 for wrong arguments, 3 for a missing or damaged FILE.xem,\n"
               "4 when OUT cannot be written.\n");
}
const CommandHelp kDecodeHelp = {"decode", "FILE.xem -o OUT.hgt\nFILE.xem -o OUT.raw", DecodeDetails};

// The extension of the file name in `path` (".tif"), or "" when it has none.
std::string ExtensionOf(const std::string& userPath) {
  const std::string name = NameOf(userPath);
  const std::size_t dot = name.rfind('.');
  return dot == std::string::npos || dot == 0 ? std::string() : name.substr(dot);
}

// ---- verify ----

void VerifyDetails(FILE* out) {
  std::fprintf(out,
               "Checks FILE.xem against the tile it was compressed from: the grid size, the edges\n"
               "the tile's name gives, and every stored sample against the value that compress and\n"
               "the plug-in's wizard write: the tile's height, and for a void of the tile either\n"
               "the void itself (fill off) or the height the fill gives it (fill on). Each\n"
               "difference shows the sample, the value stored and the value expected (the first\n"
               "10 of each file). With several files, each XEM file is checked against the tile of\n"
               "its south-west corner among the TILEs (N57E011.xem against N57E011.hgt), whatever\n"
               "the folders.\n"
               "\n"
               "Options:\n"
               "  --fill on|off  how the files were written; by default each file tells by its\n"
               "                 voids (kept: off; filled: on)\n"
               "  --json         one JSON object a line per FILE.xem: file, tile, fill, matches,\n"
               "                 equal, filled, kept, different, differences (the first 10: x,\n"
               "                 y from the south-west, stored, expected), problem\n"
               "\n"
               "Exit status: 0 when every file matches its tile, 1 when one does not, 2 for wrong\n"
               "arguments, 3 when a file is missing or unreadable or has no partner.\n");
}
const CommandHelp kVerifyHelp = {"verify", "[--fill on|off] [--json] FILE.xem TILE.hgt\n"
                                           "[--fill on|off] [--json] FILE.xem... TILE.hgt...",
                                 VerifyDetails};

constexpr int kShownDifferences = 10;

struct Difference {
  int x = 0, y = 0;
  std::int16_t stored = 0, expected = 0;
  bool wasVoid = false;
};

struct VerifyReport {
  std::string xem, tile;  // as typed
  int fill = -1;          // 1 on, 0 off
  bool fillGiven = false;
  std::size_t equal = 0;
  std::size_t filled = 0;     // voids of the tile stored as the fill gives them
  std::size_t kept = 0;       // voids of the tile stored as voids
  std::size_t different = 0;
  std::size_t voids = 0;      // voids of the tile
  std::size_t voidsKept = 0;  // of them stored as voids, whatever was expected
  std::vector<Difference> shown;
  std::string geometry;  // a grid or edges that do not match, in words
  std::string problem;   // why the pair could not be compared
  bool matches() const { return problem.empty() && geometry.empty() && different == 0; }
};

// Reads a square tile (row 0 north) into native samples; false when it is not one.
bool ReadSquareTile(const std::string& path, std::vector<std::int16_t>* samples, int* side) {
  std::uint64_t size = 0;
  if (!platform::GetFileSize(path.c_str(), &size) || size % 2 != 0 || size > 2ull * 3601 * 3601) return false;
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
  auto file = platform::OpenShared(path.c_str());
  std::size_t got = 0;
  if (!file || !file->Read(bytes.data(), bytes.size(), &got) || got != bytes.size()) return false;
  int s = 2;
  while (static_cast<std::uint64_t>(s) * static_cast<std::uint64_t>(s) * 2 < size) ++s;
  if (static_cast<std::uint64_t>(s) * static_cast<std::uint64_t>(s) * 2 != size) return false;
  samples->resize(bytes.size() / 2);
  for (std::size_t i = 0; i < samples->size(); ++i) {
    (*samples)[i] = static_cast<std::int16_t>(bytes[2 * i] << 8 | bytes[2 * i + 1]);
  }
  *side = s;
  return true;
}

// Compares one XEM file with its tile; the pair's exit code.
int VerifyPair(VerifyReport* r) {
  const std::string xemPath = platform::FromUserPath(r->xem);
  const std::string tilePath = platform::FromUserPath(r->tile);
  std::vector<std::int16_t> tile;
  int side = 0;
  if (!ReadSquareTile(tilePath, &tile, &side)) {
    r->problem = r->tile + " cannot be read as a square tile";
    return kExitInput;
  }
  XemReader reader;
  std::vector<std::int16_t> grid;
  Status status = reader.Open(xemPath);
  if (status.ok()) status = reader.ReadGrid(&grid);
  if (!status.ok()) {
    r->problem = r->xem + ": " + status.ToString();
    return kExitInput;
  }
  const XemHeader& h = reader.header();
  const int n = side - 1;  // the stored grid leaves out the northern row and eastern column
  if (h.gridWidth != n || h.gridHeight != n) {
    r->geometry = "grid " + std::to_string(h.gridWidth) + " x " + std::to_string(h.gridHeight) + ", expected " +
                  std::to_string(n) + " x " + std::to_string(n) + " for a tile of " + std::to_string(side) + " x " +
                  std::to_string(side) + " samples";
    return kExitDifferent;
  }
  std::string name;
  int lat = 0, lon = 0;
  if (SplitPath(tilePath, nullptr, &name) && ParseTileName(name, &lat, &lon)) {
    // The edges are half a sample spacing south and west of the corner the name gives.
    const double half = 0.5 / n;
    const auto edge = [](double degrees) { return static_cast<std::int32_t>(degrees * 360000 + 0.00001); };
    if (h.southEdge != edge(lat - half) || h.westEdge != edge(lon - half)) {
      r->geometry = "edges " + std::to_string(h.southEdge) + ", " + std::to_string(h.westEdge) + "; expected " +
                    std::to_string(edge(lat - half)) + ", " + std::to_string(edge(lon - half)) + " for " + name;
    }
  }
  // Stored sample (x, y), row 0 south, against tile row side - 1 - y.
  const auto tileAt = [&](int x, int y) {
    return static_cast<std::size_t>(side - 1 - y) * static_cast<std::size_t>(side) + static_cast<std::size_t>(x);
  };
  const auto storedAt = [&](int x, int y) { return static_cast<std::size_t>(y) * static_cast<std::size_t>(n) + x; };
  for (int y = 0; y < n; ++y) {
    for (int x = 0; x < n; ++x) {
      if (tile[tileAt(x, y)] != VOID_SAMPLE) continue;
      ++r->voids;
      r->voidsKept += grid[storedAt(x, y)] == VOID_SAMPLE;
    }
  }
  if (!r->fillGiven) r->fill = r->voidsKept * 2 >= r->voids && r->voids > 0 ? 0 : 1;
  std::vector<std::int16_t> expected;
  if (r->fill == 1 && r->voids > 0) {
    expected.resize(tile.size());
    FillVoidsForCompression(tile.data(), expected.data(), side, side);
  } else {
    expected = tile;
  }
  for (int y = 0; y < n; ++y) {
    for (int x = 0; x < n; ++x) {
      const std::int16_t want = expected[tileAt(x, y)];
      const std::int16_t stored = grid[storedAt(x, y)];
      const bool wasVoid = tile[tileAt(x, y)] == VOID_SAMPLE;
      if (stored != want) {
        if (r->different++ < kShownDifferences) r->shown.push_back({x, y, stored, want, wasVoid});
      } else if (!wasVoid) {
        ++r->equal;
      } else {
        ++(r->fill ? r->filled : r->kept);
      }
    }
  }
  return r->matches() ? kExitOk : kExitDifferent;
}

void PrintVerify(const VerifyReport& r, bool json) {
  const char* fill = r.fill == 1 ? "on" : "off";
  if (json) {
    JsonObject o;
    if (!r.xem.empty()) o.Text("file", SystemTextToUtf8(r.xem));
    if (!r.tile.empty()) o.Text("tile", SystemTextToUtf8(r.tile));
    if (!r.problem.empty()) {
      std::printf("%s\n", o.Bool("matches", false).Text("problem", SystemTextToUtf8(r.problem)).ToString().c_str());
      return;
    }
    std::vector<JsonObject> differences;
    for (const Difference& d : r.shown) {
      differences.push_back(JsonObject().Integer("x", d.x).Integer("y", d.y).Integer("stored", d.stored).Integer(
          "expected", d.expected));
    }
    if (r.fillGiven || r.voids > 0) o.Text("fill", fill);
    o.Bool("matches", r.matches()).Integer("equal", static_cast<std::int64_t>(r.equal));
    o.Integer("filled", static_cast<std::int64_t>(r.filled)).Integer("kept", static_cast<std::int64_t>(r.kept));
    o.Integer("different", static_cast<std::int64_t>(r.different)).Array("differences", differences);
    if (!r.geometry.empty()) o.Text("problem", r.geometry);
    std::printf("%s\n", o.ToString().c_str());
    return;
  }
  if (!r.problem.empty()) {
    std::fprintf(stderr, "srtm verify: %s\n", r.problem.c_str());
    return;
  }
  if (!r.fillGiven && r.voids == 0) {
    std::printf("%s against %s (the tile has no voids):\n", r.xem.c_str(), r.tile.c_str());
  } else {
    std::printf("%s against %s, fill %s (%s):\n", r.xem.c_str(), r.tile.c_str(), fill,
                r.fillGiven ? "as given" : r.fill == 1 ? "the file fills the tile's voids" : "the file keeps them");
  }
  if (!r.geometry.empty()) std::printf("  %s\n", r.geometry.c_str());
  for (const Difference& d : r.shown) {
    std::printf("  sample x %d, y %d (from the south-west): stored %d, expected %d (%s)\n", d.x, d.y, d.stored,
                d.expected,
                !d.wasVoid   ? "the tile's height"
                : r.fill == 1 ? "a void of the tile, filled as compress fills it"
                              : "a void of the tile, kept");
  }
  if (r.different > r.shown.size()) std::printf("  ... and %zu more\n", r.different - r.shown.size());
  if (r.geometry.empty() || r.geometry.compare(0, 4, "grid") != 0) {
    std::printf("  %zu samples equal, %zu voids filled, %zu voids kept, %zu different\n", r.equal, r.filled, r.kept,
                r.different);
  }
  // A file written the other way is the likely story behind many differences at voids.
  if (r.fillGiven && r.voids > 0 && r.fill == 1 && r.voidsKept == r.voids) {
    std::printf("  note: the file keeps every void of the tile: it was written with the fill off (--fill off)\n");
  } else if (r.fillGiven && r.voids > 0 && r.fill == 0 && r.voidsKept == 0) {
    std::printf("  note: the file fills every void of the tile: it was written with the fill on (--fill on)\n");
  }
  std::printf("  %s\n", r.matches() ? "the file matches its tile" : "the file does NOT match its tile");
}

}  // namespace

int Info(int argc, char** argv) {
  Args args(kInfoHelp, argc, argv);
  std::vector<std::string> files;
  bool json = false, header = false;
  while (args.Next()) {
    if (args.Flag("--json")) {
      json = true;
    } else if (args.Flag("--header")) {
      header = true;
    } else {
      args.MoreOperands(&files);
    }
  }
  if (args.stopped()) return args.exitCode();
  if (files.empty()) return args.Fail("no FILE.xem given");
  int code = kExitOk;
  for (const std::string& f : files) code = std::max(code, InfoOne(f, json, header));
  return code;
}

int Decode(int argc, char** argv) {
  Args args(kDecodeHelp, argc, argv);
  std::string input, output, operand;
  while (args.Next()) {
    if (args.Value("-o|--output", &output)) continue;
    if (args.Operand(&operand) && input.empty()) {
      input = operand;
    } else {
      args.Unknown();
    }
  }
  if (args.stopped()) return args.exitCode();
  if (input.empty()) return args.Fail("no FILE.xem given");
  if (output.empty()) return args.Fail("no output given (-o OUT.hgt, -o OUT.raw, or -o - for standard output)");
  const std::string extension = ExtensionOf(output);
  const bool tile = HasExtension(extension, ".hgt");
  if (!tile && !extension.empty() && !HasExtension(extension, ".raw") && !IsStandardOutput(output)) {
    return args.Fail("decode writes .hgt tiles and .raw grids, not " + extension + " files (for a GeoTIFF: decode to "
                     "an .hgt, then gdal_translate it)");
  }
  const std::string inputPath = platform::FromUserPath(input);
  const std::string outputPath = platform::FromUserPath(output);

  if (tile) {
    ExportedEdges edges;
    bool writeFailed = false;
    const Status status = ExportHgt(inputPath, outputPath, &edges, &writeFailed);
    if (!status.ok()) {
      std::fprintf(stderr, "srtm decode: %s: %s\n", writeFailed ? output.c_str() : input.c_str(),
                   writeFailed ? status.message().c_str() : status.ToString().c_str());
      if (!writeFailed) return kExitInput;
      return status.code() == Status::kInvalidArgument ? kExitUsage : kExitOutput;
    }
    std::string name, written;
    SplitPath(FormatTilePath("", edges.lat, edges.lon), nullptr, &name);
    SplitPath(outputPath, nullptr, &written);
    std::printf("tile %s, %d x %d samples written to %s\n", name.c_str(), edges.side, edges.side, output.c_str());
    std::printf("northern row: %s\neastern column: %s\nnorth-east corner: %s\n", edges.north.c_str(),
                edges.east.c_str(), edges.corner.c_str());
    int lat = 0, lon = 0;
    if (!ParseTileName(written, &lat, &lon) || lat != edges.lat || lon != edges.lon) {
      std::printf("note: GIS programs place an .hgt tile by its name; this one is %s\n", name.c_str());
    }
    return kExitOk;
  }

  XemReader reader;
  std::vector<std::int16_t> grid;
  Status status = reader.Open(inputPath);
  if (status.ok()) status = reader.ReadGrid(&grid);
  if (!status.ok()) {
    std::fprintf(stderr, "srtm decode: %s: %s\n", input.c_str(), status.ToString().c_str());
    return kExitInput;
  }
  const std::vector<std::uint8_t> bytes = picture::EncodeRawSamples(grid);
  const int written = WriteOutput("decode", output, bytes.data(), bytes.size(), {inputPath});
  if (written != kExitOk) return written;
  std::fprintf(InfoStream(output), "%d x %d samples written to %s\n", reader.header().gridWidth,
               reader.header().gridHeight, output.c_str());
  return kExitOk;
}

int Verify(int argc, char** argv) {
  Args args(kVerifyHelp, argc, argv);
  std::vector<std::string> files;
  std::int32_t fill = -1;
  bool json = false;
  while (args.Next()) {
    if (args.Switch("--fill", &fill)) continue;
    if (args.Flag("--json")) {
      json = true;
    } else {
      args.MoreOperands(&files);
    }
  }
  if (args.stopped()) return args.exitCode();
  // XEM files are known by their magic (one that is missing by its name), tiles are the rest.
  std::vector<std::string> xems, tiles;
  for (const std::string& f : files) {
    const std::string path = platform::FromUserPath(f);
    const bool xem = HasXemMagic(path) || (!platform::FileExists(path.c_str()) && HasExtension(f, ".xem"));
    (xem ? xems : tiles).push_back(f);
  }
  if (xems.empty()) return args.Fail("no FILE.xem given");
  if (tiles.empty()) return args.Fail("no TILE.hgt given");

  std::vector<bool> tileUsed(tiles.size(), false);
  int code = kExitOk;
  for (const std::string& xem : xems) {
    VerifyReport r;
    r.xem = xem;
    r.fill = fill;
    r.fillGiven = fill != -1;
    std::size_t partner = 0;
    if (xems.size() > 1 || tiles.size() > 1) {
      // The tile of the file's south-west corner, by the tiles' names.
      XemReader reader;
      const Status status = reader.Open(platform::FromUserPath(xem));
      const picture::XemMap map = XemMapOf(reader.header());
      int lat = 0, lon = 0;
      while (partner < tiles.size() &&
             !(ParseTileName(NameOf(tiles[partner]), &lat, &lon) && lat == map.lat && lon == map.lon)) {
        ++partner;
      }
      if (!status.ok()) r.problem = xem + ": " + status.ToString();
      if (status.ok() && partner == tiles.size()) {
        r.problem = xem + ": no tile of its corner (" + Degrees(map.lat, true) + ", " + Degrees(map.lon, false) +
                    ") among the tiles given";
      }
    }
    int pairCode = kExitInput;
    if (r.problem.empty()) {
      r.tile = tiles[partner];
      tileUsed[partner] = true;
      pairCode = VerifyPair(&r);
    }
    PrintVerify(r, json);
    code = std::max(code, pairCode);
  }
  for (std::size_t i = 0; i < tiles.size(); ++i) {
    if (tileUsed[i]) continue;
    VerifyReport r;
    r.tile = tiles[i];
    r.problem = tiles[i] + ": no XEM file of this tile given";
    PrintVerify(r, json);
    code = kExitInput;
  }
  return code;
}

}  // namespace srtm::cli
