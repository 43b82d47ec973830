// The engine of srtm import: elevation rasters GDAL reads (SRTM tiles under any name,
// inside zip, gzip and tar archives; GeoTIFF and the other formats GDAL knows, in any
// coordinate system) made into tiles of the shared tile grid.
//
// Each output tile is 3601 (SRTM-1) or 1201 (SRTM-3) samples square, sample centres on
// whole multiples of the spacing, big-endian int16. Its samples come from the sources
// that cover it, the first listed that has a value winning; heights are rounded to the
// nearest metre and kept within -32767..32767; no-data, NaN and samples outside every
// source are voids (-32768). A source that is already this tile, with nothing listed to
// fill its voids, is copied byte for byte; a source already on the tile grid is taken
// sample by sample whatever the resampling. Built only where GDAL is (the native tool).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tools/parallel_compress.h"

namespace srtm::cli {

enum class Resampling { kBilinear, kCubic, kNearest, kAverage };
// "bilinear", "cubic", "nearest" or "average".
bool ParseResampling(const char* text, Resampling* out);
// GDAL's name of the method ("near" for nearest).
const char* ResamplingName(Resampling r);

// One raster to import from: a file, or a member of an archive.
struct ImportSource {
  std::string label;    // the file as the user named it, with the member: "a.zip/n57e011.hgt"
  std::string vsiPath;  // the path GDAL reads (/vsizip/..., /vsigzip/..., or the file)
  std::int32_t tileKind = 0;  // kSrtm1 or kSrtm3 for an SRTM tile (read as raw samples), else 0
  int tileLat = 0, tileLon = 0;
  int width = 0, height = 0;
  double west = 0, south = 0, east = 0, north = 0;  // extent, degrees of WGS 84
  double spacing = 0;  // the finer of its two sample spacings, in degrees
  std::string datum;   // vertical datum; empty when GDAL does not know it
  bool lonLat = false;  // on a grid of WGS 84 longitudes and latitudes (no reprojection)
  std::string Describe() const;
};

// The sources in the files the user named, in their order (an archive's members sorted
// by name). A file that yields none gets one message naming it in `errors`; members
// of an archive passed over get one in `notes`.
void FindSources(const std::vector<std::string>& files, std::vector<ImportSource>* sources,
                 std::vector<std::string>* errors, std::vector<std::string>* notes);

// SRTM-1 when the finest source has a spacing of 1.5 arc-seconds or less, else SRTM-3.
std::int32_t DefaultKind(const std::vector<ImportSource>& sources);

struct ImportTile {
  TileJob job;                       // name, lat, lon, kind; path: the output (plug-in path)
  std::vector<std::size_t> sources;  // the sources that cover it, in the order listed
};

// The tiles of `kind` the sources cover (more than the half sample a source reaches
// over its edge), sorted by name as compress sorts; output paths in `outputFolder` (a
// plug-in path). Each source covering none gets a message naming it in `errors`.
std::vector<ImportTile> PlanTiles(const std::vector<ImportSource>& sources, std::int32_t kind,
                                  const std::string& outputFolder, std::vector<std::string>* errors);

// kEmpty: no source has a value in it (only a margin of no-data reaches it); not written.
enum class ImportOutcome { kNotStarted, kWritten, kCopied, kSkipped, kEmpty, kFailed, kStopped };

struct TileReport {
  ImportOutcome outcome = ImportOutcome::kNotStarted;
  std::vector<std::int64_t> fromSource;  // samples taken from each of the tile's sources
  std::int64_t voids = 0;
  std::string error;        // why it failed, naming the file
  bool notWritten = false;  // it failed because the output could not be written
};

// Makes one tile and writes it (under a temporary name, renamed when complete).
// `progress` is told the share of the tile done (0..1) during the work; when it
// answers false the work stops and nothing is written.
TileReport MakeTile(const ImportTile& tile, const std::vector<ImportSource>& sources, Resampling resampling,
                    bool skipExisting, const std::function<bool(double)>& progress);

// Registers GDAL's drivers once; call before the functions above.
void InitGdal();

}  // namespace srtm::cli
