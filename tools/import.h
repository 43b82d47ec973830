// The engine of srtm import: elevation data as people download it (SRTM tiles under any
// name, in folders and archives; GeoTIFF and every raster GDAL reads, in any coordinate
// system) made into tiles of the shared tile grid.
//
// Each output tile is 3601 (SRTM-1) or 1201 (SRTM-3) samples square, sample centres on
// whole multiples of the spacing, big-endian int16, -32768 where nothing has a value.
// For each tile, every source that reaches it (with the margin its samples' resampling
// needs) takes part, the first listed that has a value winning: sources one after
// another on one grid (a model's 1-degree files) are read as one mosaic, so their seams
// come out as one raster of them gives. A tile already in the output folder takes part
// last: new data wins where it has values, the old samples stay elsewhere.
//
// Tiles are read, merged and resampled by the tool's own code; rasters, and for now
// archives, by the raster engine (GDAL), loaded only when a source needs it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "tools/import_archive.h"
#include "tools/parallel_compress.h"
#include "tools/raster_engine.h"

namespace srtm::cli {

// "bilinear", "cubic", "nearest" or "average".
bool ParseResampling(const char* text, Resampling* out);

// Loads the raster engine when a source first needs it (LoadRasterEngine, or a test's).
using EngineLoader = RasterEngine* (*)(std::string* why);

// One source: an SRTM tile or a raster, a file or a member of a folder or an archive.
struct ImportSource {
  std::string label;     // as the user named it, with the member: "a.zip/n57e011.hgt"
  std::string path;      // a plain file: its path on this system (tiles are read through it)
  ArchiveReader* archive = nullptr;  // a member of an archive: its reader, and
  ArchiveMember member;              // the member
  std::string location;  // where the raster engine reads it
  std::int32_t tileKind = 0;  // kSrtm1 or kSrtm3 for an SRTM tile, else 0 (a raster)
  int tileLat = 0, tileLon = 0;
  RasterInfo raster;  // extent and spacing (of a tile too); grid and values of a raster
  std::string Describe() const;
};

// The sources in the files the user named, in their order; a folder's files and an
// archive's members sorted by name, at every depth. A file that yields none gets one
// message naming it in `errors`; what a folder or archive passes over gets one note in
// `notes`. `engine` is asked for the raster engine the first time a raster or an
// archive needs it.
void FindSources(const std::vector<std::string>& files, EngineLoader engine, std::vector<ImportSource>* sources,
                 std::vector<std::string>* errors, std::vector<std::string>* notes);

// SRTM-1 when the finest source has a spacing of 1.5 arc-seconds or less, else SRTM-3.
std::int32_t DefaultKind(const std::vector<ImportSource>& sources);

struct ImportTile {
  TileJob job;  // name, lat, lon (west of -180..179), kind; path: the output (plug-in path)
  // The sources that reach it, in the order listed, each with the multiple of 360
  // degrees that brings it beside the tile (a source across the antimeridian).
  std::vector<std::pair<std::size_t, double>> sources;
};

// The tiles of `kind` the sources reach, sorted by name as compress sorts; output paths
// in `outputFolder` (a plug-in path). Each source reaching none gets a message naming it
// in `errors`.
std::vector<ImportTile> PlanTiles(const std::vector<ImportSource>& sources, std::int32_t kind,
                                  const std::string& outputFolder, std::vector<std::string>* errors);

struct ImportOptions {
  Resampling resampling = Resampling::kBilinear;
  bool skipExisting = false;  // leave a tile already there as it is
  bool replace = false;       // replace a tile already there instead of merging into it
  // A new tile is written only when its sources give values to at least this share of
  // its samples: a sliver of data is worse than none, for the plug-in's fill makes a
  // plateau of it over the whole degree.
  double minCover = 0.01;
  RasterEngine* engine = nullptr;  // for raster sources; null when none is loaded
};

enum class ImportOutcome {
  kNotStarted,
  kWritten,    // a new tile
  kCopied,     // a new tile, byte for byte the tile given as its first source
  kMerged,     // the tile there, with the sources' values over it
  kReplaced,   // the tile there replaced (--replace)
  kUnchanged,  // the tile there already holds what the sources give; not rewritten
  kLeftOut,    // a new tile the sources give too few values (minCover); not written
  kEmpty,      // no source has a value in it; not written
  kSkipped,    // already there (--skip-existing)
  kFailed,
  kStopped,
};

struct TileReport {
  ImportOutcome outcome = ImportOutcome::kNotStarted;
  // Samples taken from each source (or mosaic of sources, by its label), in priority order.
  std::vector<std::pair<std::string, std::int64_t>> from;
  std::int64_t kept = 0;     // samples kept from the tile there
  std::int64_t voids = 0;
  std::int64_t invalid = 0;  // of the voids: where a source holds a value no tile can hold
  std::int64_t samples = 0;  // in the tile
  bool there = false;        // a file was where the tile goes
  std::string error;         // why it failed, naming the file
  bool notWritten = false;   // it failed because the output could not be written
  std::int64_t Taken() const;  // samples from the sources (not kept)
};

// Makes one tile and writes it (under a temporary name, renamed when complete).
// `progress` is told the share of the tile done (0..1) during the work; when it
// answers false the work stops and nothing is written.
TileReport MakeTile(const ImportTile& tile, const std::vector<ImportSource>& sources, const ImportOptions& options,
                    const std::function<bool(double)>& progress);

}  // namespace srtm::cli
