// What srtm import asks of its raster engine: the module that reads rasters (GeoTIFF
// and every other format GDAL knows) and, for now, archives, with GDAL. The `srtm`
// program does not link GDAL: the engine is a module of its own (srtm-gdal.so, in the
// Debian package srtm-gdal), opened only when an import meets a raster or an archive,
// so that every other command starts without loading GDAL's libraries, and tiles are
// imported by the tool's own code with or without the engine.
//
// The module is built from the same sources as the program and is opened only when
// it answers the same kRasterEngineInterface, so the types below cross between them
// as they are.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tools/import_archive.h"

namespace srtm::cli {

enum class Resampling { kBilinear, kCubic, kNearest, kAverage };

// GDAL's name of the method ("near" for nearest).
inline const char* ResamplingName(Resampling r) {
  switch (r) {
    case Resampling::kCubic: return "cubic";
    case Resampling::kNearest: return "near";
    case Resampling::kAverage: return "average";
    case Resampling::kBilinear: break;
  }
  return "bilinear";
}

// How a source's stored numbers become heights in metres:
// (stored * scale + offset) * toMetres. `nodata`, when hasNodata, marks no data; without
// one, -32768 does (the SRTM convention). Values that are not finite or lie beyond
// what a tile holds (-32767..32767 m, rounded) count as no value, never clamped.
struct ValueRule {
  double scale = 1, offset = 0, toMetres = 1;
  bool hasNodata = false;
  double nodata = 0;
};

// A raster the engine measured.
struct RasterInfo {
  int width = 0, height = 0;
  // Its extent in degrees of WGS 84, longitudes continuous across the antimeridian
  // (west below -180 or east above 180 for a source that crosses it).
  double west = 0, south = 0, east = 0, north = 0;
  double spacing = 0;  // the finer of its two sample spacings, in degrees of latitude
  std::string datum;   // its vertical datum; empty when it names none
  std::string srs;     // its coordinate system (WKT): sources on one grid share it
  double geoTransform[6] = {0, 1, 0, 0, 0, -1};
  bool geographic = false;  // a grid of longitudes and latitudes (which 360 degrees may shift)
  bool lonLat = false;      // ... of WGS 84, so that nothing is reprojected
  ValueRule values;
  bool wideValues = false;  // stored in more bits than a float holds exactly (32-bit integers, doubles)
  std::string valueNote;  // how its values were made metres ("scale 0.1 and offset 100 applied"); empty: as stored
};

// A source of a mosaic: a raster, moved by `lonShift` degrees (a multiple of 360, for a
// geographic one) to lie beside the tile being made.
struct MosaicMember {
  std::string location;
  const RasterInfo* info = nullptr;
  double lonShift = 0;
};

// Rows row0 .. row0 + rows - 1 of the tile with south-west corner (lat, lon) and
// `samples` samples a side.
struct TileWindow {
  int lat = 0, lon = 0, samples = 0, row0 = 0, rows = 0;
};

// Sources on one grid, read as one raster (a mosaic): where they overlap, the first
// listed that has a value wins.
class Mosaic {
 public:
  virtual ~Mosaic() = default;
  // Resamples the mosaic onto `window`: heights in metres, NaN where it has none, into
  // `heights` (window.rows * window.samples, row by row from the north). A mosaic on
  // the tile grid is taken sample by sample whatever `resampling`. `invalid` is filled
  // (one byte a sample, 1 where the nearest source sample holds a value no tile can
  // hold) only when the mosaic holds such values there, and left empty otherwise.
  // `keepGoing` is told the share done (0..1); when it answers false the work stops
  // and the answer is false with *why "stopped".
  virtual bool Resample(const TileWindow& window, Resampling resampling, float* heights,
                        std::vector<std::uint8_t>* invalid, const std::function<bool(double)>& keepGoing,
                        std::string* why) = 0;
};

class RasterEngine {
 public:
  virtual ~RasterEngine() = default;
  // "GDAL 3.6.2".
  virtual std::string Version() const = 0;
  // The engine's reader of zip, tar and gzip archives (GDAL's virtual file systems).
  virtual ArchiveReader& Archives() = 0;
  // Measures the raster at `location` (a path of this system, or a member's location).
  // False with the reason ("has no coordinate system") when it is none import can use.
  virtual bool Measure(const std::string& location, RasterInfo* info, std::string* why) = 0;
  // The mosaic of `members` (sources on one grid, in priority order); null with the
  // reason when it cannot be made. Each thread opens its own.
  virtual std::unique_ptr<Mosaic> OpenMosaic(const std::vector<MosaicMember>& members, std::string* why) = 0;
};

// The engine module's one exported function: the engine, made once, or null when the
// module was built for another interface.
constexpr const char* kRasterEngineEntry = "SrtmRasterEngine";
constexpr const char* kRasterEngineInterface = "srtm-raster-engine 1";
using RasterEngineEntry = RasterEngine* (*)(const char* interfaceVersion);

// Opens the engine once per process: the module beside the program, else in
// ../lib/srtm/ from it (where the package srtm-gdal installs it), else the one
// SRTM_IMPORT_ENGINE names. Null, with what to install in *why, when it is not there or
// cannot be loaded (its GDAL missing); in the Windows build always null. Call from one
// thread.
RasterEngine* LoadRasterEngine(std::string* why);

}  // namespace srtm::cli
