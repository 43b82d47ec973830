// srtm info, decode and verify: XEM files read outside the host with the plug-in's own
// reader.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "hgt/paths.h"
#include "platform/platform.h"
#include "picture/raw_samples.h"
#include "tools/cli_util.h"
#include "tools/commands.h"
#include "tools/hgt_export.h"
#include "xem/mapset_id.h"
#include "xem/xem_reader.h"

namespace srtm::cli {
namespace {

// A field of fixed size as text: up to its first zero byte.
std::string FieldText(const char* field, std::size_t size) { return std::string(field, strnlen(field, size)); }

// ---- verify ----

struct VerifyCounts {
  std::size_t equal = 0;
  std::size_t filled = 0;      // void in the tile, a height in the file
  std::size_t keptVoid = 0;    // void in the tile and in the file
  std::size_t different = 0;   // a valid sample stored otherwise
};

int VerifyUsage(FILE* out) {
  std::fprintf(out,
               "usage: srtm verify FILE.xem TILE.hgt [--fill on|off]\n"
               "  Checks FILE.xem against the tile it was written from: the grid size, the edges\n"
               "  the tile's name gives, and every stored sample. Valid samples must be stored\n"
               "  unchanged; voids count as filled or kept. --fill off requires every void kept\n"
               "  (the file was written with the fill off), --fill on every void filled.\n"
               "  Exit code 0 when the file matches, %d when it does not, %d for unreadable input.\n",
               kExitDifferent, kExitInput);
  return out == stdout ? kExitOk : kExitUsage;
}

// Reads an XEM file's stored grid, printing why not.
bool ReadGrid(const char* command, const std::string& path, XemReader* reader, std::vector<std::int16_t>* grid) {
  Status status = reader->Open(path);
  if (status.ok()) status = reader->ReadGrid(grid);
  if (!status.ok()) {
    std::fprintf(stderr, "srtm %s: %s: %s\n", command, platform::ToNativePath(path).c_str(),
                 status.ToString().c_str());
  }
  return status.ok();
}

int DecodeUsage(FILE* out) {
  std::fprintf(out,
               "usage: srtm decode FILE.xem -o OUT.hgt\n"
               "       srtm decode FILE.xem -o OUT.raw\n"
               "  OUT.hgt: writes the tile FILE.xem was compressed from as an .hgt file that any\n"
               "  GIS opens (1201 or 3601 samples a side, big-endian). The northern row and the\n"
               "  eastern column, which an XEM file does not store, come from the XEM files of\n"
               "  the neighbouring tiles in the same folder when they are there, else the\n"
               "  nearest stored row or column is repeated; the output says which. A file\n"
               "  compressed with the fill off gives back its tile byte for byte.\n"
               "  Any other name, or - for standard output: the stored grid as it is, gridWidth x\n"
               "  gridHeight little-endian signed 16-bit samples, row 0 south, each row west to\n"
               "  east. A failure leaves no partial file and an existing one as it was.\n"
               "  Exit code 0, %d for a missing or damaged\n"
               "  file, %d when the output cannot be written.\n",
               kExitInput, kExitOutput);
  return out == stdout ? kExitOk : kExitUsage;
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

}  // namespace

int Info(int argc, char** argv) {
  if (argc >= 1 && IsHelp(argv[0])) {
    std::printf("usage: srtm info FILE.xem\n"
                "  Checks FILE.xem and prints its header fields and a summary of its index.\n"
                "  Exit code 0, or %d for a missing or damaged file (the failed check is named).\n",
                kExitInput);
    return kExitOk;
  }
  if (argc != 1) {
    std::fprintf(stderr, "usage: srtm info FILE.xem\n");
    return kExitUsage;
  }
  XemReader reader;
  const Status status = reader.Open(platform::FromUserPath(argv[0]));
  if (!status.ok()) {
    std::fprintf(stderr, "srtm info: %s: %s\n", argv[0], status.ToString().c_str());
    return kExitInput;
  }
  const XemHeader& h = reader.header();
  const MapSetIdFields id = UnpackMapSetId(h.mapSetId);
  std::printf("file              %s (%llu bytes)\n", argv[0], static_cast<unsigned long long>(reader.fileSize()));
  std::printf("magic             %.4s, format %d\n", h.magic, h.formatNumber);
  std::printf("description       %s\n", ToTerminal(FieldText(h.description, sizeof h.description)).c_str());
  std::printf("notice            %s\n", ToTerminal(FieldText(h.noticeText, sizeof h.noticeText)).c_str());
  std::printf("mapSetId          %02X %02X %02X %02X %02X (group %u, region %u, series %u, D %u, E %u, F %u, "
              "kind %u)\n",
              h.mapSetId[0], h.mapSetId[1], h.mapSetId[2], h.mapSetId[3], h.mapSetId[4], id.idGroup, id.regionCode,
              id.seriesCode, id.idFieldD, id.idFieldE, id.idFieldF, id.idKind);
  std::printf("publisherId       %s\n", FieldText(h.publisherId, sizeof h.publisherId).c_str());
  std::printf("southEdge         %d (%.6f degrees)\n", h.southEdge, h.southEdge / 360000.0);
  std::printf("westEdge          %d (%.6f degrees)\n", h.westEdge, h.westEdge / 360000.0);
  std::printf("datum             %s\n", FieldText(h.datum, sizeof h.datum).c_str());
  std::printf("resolution        %d x %d (samples per degree x 100)\n", h.resolutionX, h.resolutionY);
  std::printf("grid              %d x %d samples\n", h.gridWidth, h.gridHeight);
  std::printf("blocks            %d x %d samples, %d blocks in %d columns and %d rows\n", h.blockWidth,
              h.blockHeight, h.blockCount, h.blockColumns, h.blockRows);
  std::printf("seaValue          %d\n", h.seaValue);
  std::printf("sampleBytes       %u, codec %u, flags %d, checksum 0x%02X\n", h.sampleBytes, h.codec, h.flags,
              h.headerChecksum);
  std::printf("sections          A %d, B %d, C %d bytes; firstBlockOffset %d\n", h.sectionSizeA, h.sectionSizeB,
              h.sectionSizeC, h.firstBlockOffset);
  std::int64_t total = 0, smallest = reader.index().empty() ? 0 : INT32_MAX, largest = 0;
  for (const XemIndexEntry& e : reader.index()) {
    total += e.length;
    smallest = std::min<std::int64_t>(smallest, e.length);
    largest = std::max<std::int64_t>(largest, e.length);
  }
  const double raw = 2.0 * h.gridWidth * h.gridHeight;
  std::printf("index             %zu entries, %lld compressed bytes (%.1f%% of %.0f raw), block lengths %lld to "
              "%lld\n",
              reader.index().size(), static_cast<long long>(total), raw > 0 ? 100.0 * total / raw : 0.0, raw,
              static_cast<long long>(smallest), static_cast<long long>(largest));
  return kExitOk;
}

int Decode(int argc, char** argv) {
  std::string input, output;
  for (int i = 0; i < argc; ++i) {
    if (IsHelp(argv[i])) return DecodeUsage(stdout);
    if (std::strcmp(argv[i], "-o") == 0 && i + 1 < argc) {
      output = argv[++i];
    } else if (input.empty() && !LooksLikeOption(argv[i])) {
      input = argv[i];
    } else {
      std::fprintf(stderr, "srtm decode: unexpected argument '%s'\n", argv[i]);
      return DecodeUsage(stderr);
    }
  }
  if (input.empty() || output.empty()) return DecodeUsage(stderr);
  const std::string inputPath = platform::FromUserPath(input);
  const std::string outputPath = platform::FromUserPath(output);

  if (HasExtension(output, ".hgt")) {
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
  if (!ReadGrid("decode", inputPath, &reader, &grid)) return kExitInput;
  const std::vector<std::uint8_t> bytes = picture::EncodeRawSamples(grid);
  const int written = WriteOutput("decode", output, bytes.data(), bytes.size(), {inputPath});
  if (written != kExitOk) return written;
  std::fprintf(InfoStream(output), "%d x %d samples written to %s\n", reader.header().gridWidth,
               reader.header().gridHeight, output.c_str());
  return kExitOk;
}

int Verify(int argc, char** argv) {
  std::vector<std::string> files;
  int fill = -1;  // -1: either way
  for (int i = 0; i < argc; ++i) {
    if (IsHelp(argv[i])) return VerifyUsage(stdout);
    if (std::strcmp(argv[i], "--fill") == 0 && i + 1 < argc &&
        (std::strcmp(argv[i + 1], "on") == 0 || std::strcmp(argv[i + 1], "off") == 0)) {
      fill = std::strcmp(argv[++i], "on") == 0 ? 1 : 0;
    } else if (argv[i][0] != '-') {
      files.push_back(argv[i]);
    } else {
      return VerifyUsage(stderr);
    }
  }
  if (files.size() != 2) return VerifyUsage(stderr);
  const std::string xemPath = platform::FromUserPath(files[0]);
  const std::string tilePath = platform::FromUserPath(files[1]);

  std::uint64_t size = 0;
  std::vector<std::uint8_t> tile;
  if (platform::GetFileSize(tilePath.c_str(), &size) && size % 2 == 0 && size <= 2ull * 3601 * 3601) {
    tile.resize(static_cast<std::size_t>(size));
    auto file = platform::OpenShared(tilePath.c_str());
    std::size_t got = 0;
    if (!file || !file->Read(tile.data(), tile.size(), &got) || got != tile.size()) tile.clear();
  }
  int side = 2;
  while (static_cast<std::uint64_t>(side) * static_cast<std::uint64_t>(side) * 2 < tile.size()) ++side;
  if (tile.empty() || static_cast<std::uint64_t>(side) * static_cast<std::uint64_t>(side) * 2 != tile.size()) {
    std::fprintf(stderr, "srtm verify: %s cannot be read as a square tile\n", files[1].c_str());
    return kExitInput;
  }
  XemReader reader;
  std::vector<std::int16_t> grid;
  if (!ReadGrid("verify", xemPath, &reader, &grid)) return kExitInput;

  const XemHeader& h = reader.header();
  bool matches = true;
  if (h.gridWidth != side - 1 || h.gridHeight != side - 1) {
    std::printf("grid %d x %d, expected %d x %d for a tile of %d x %d samples\n", h.gridWidth, h.gridHeight,
                side - 1, side - 1, side, side);
    return kExitDifferent;
  }
  std::string name;
  int lat = 0, lon = 0;
  if (SplitPath(tilePath, nullptr, &name) && ParseTileName(name, &lat, &lon)) {
    // The edges are half a sample spacing south and west of the corner the name gives.
    const double half = 0.5 / (side - 1);
    const auto edge = [](double degrees) { return static_cast<std::int32_t>(degrees * 360000 + 0.00001); };
    if (h.southEdge != edge(lat - half) || h.westEdge != edge(lon - half)) {
      std::printf("edges %d, %d; expected %d, %d for %s\n", h.southEdge, h.westEdge, edge(lat - half),
                  edge(lon - half), name.c_str());
      matches = false;
    }
  }
  VerifyCounts counts;
  int shown = 0;
  for (int y = 0; y < side - 1; ++y) {
    for (int x = 0; x < side - 1; ++x) {
      const std::size_t at = 2 * (static_cast<std::size_t>(side - 1 - y) * static_cast<std::size_t>(side) +
                                  static_cast<std::size_t>(x));
      const auto expected = static_cast<std::int16_t>(tile[at] << 8 | tile[at + 1]);
      const std::int16_t stored = grid[static_cast<std::size_t>(y) * static_cast<std::size_t>(side - 1) +
                                       static_cast<std::size_t>(x)];
      bool ok = true;
      if (expected != -32768) {
        ok = stored == expected;
        counts.equal += ok;
      } else if (stored == -32768) {
        ++counts.keptVoid;
        ok = fill != 1;
      } else {
        ++counts.filled;
        ok = fill != 0;
      }
      if (!ok) {
        ++counts.different;
        if (shown++ < 10) std::printf("sample x %d, y %d (row 0 south): stored %d, tile %d\n", x, y, stored, expected);
      }
    }
  }
  std::printf("%zu samples equal, %zu voids filled, %zu voids kept, %zu different\n", counts.equal, counts.filled,
              counts.keptVoid, counts.different);
  matches = matches && counts.different == 0;
  std::printf("%s\n", matches ? "the file matches its tile" : "the file does NOT match its tile");
  return matches ? kExitOk : kExitDifferent;
}

}  // namespace srtm::cli
