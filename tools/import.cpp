#include "tools/import.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <map>
#include <memory>
#include <mutex>

#include <cpl_conv.h>
#include <cpl_error.h>
#include <cpl_string.h>
#include <cpl_vsi.h>
#include <malloc.h>

#include <gdal.h>
#include <gdal_alg.h>
#include <gdal_utils.h>
#include <ogr_srs_api.h>

#include "hgt/paths.h"
#include "platform/output_file.h"
#include "platform/platform.h"

namespace srtm::cli {
namespace {

constexpr const char* kSrtmDatum = "EGM96 geoid (SRTM)";

constexpr int kStripRows = 512;  // tile rows resampled at a time

int SamplesOf(std::int32_t kind) { return kind == kSrtm1 ? 3601 : 1201; }
double SpacingOf(std::int32_t kind) { return kind == kSrtm1 ? 1.0 / 3600 : 1.0 / 1200; }

// GDAL's messages go nowhere while one is alive (on this thread); the last is kept.
class QuietGdal {
 public:
  QuietGdal() {
    CPLPushErrorHandler(CPLQuietErrorHandler);
    CPLErrorReset();
  }
  ~QuietGdal() { CPLPopErrorHandler(); }
  static std::string Last(const char* otherwise) {
    const char* text = CPLGetLastErrorMsg();
    return text && *text ? text : otherwise;
  }
};

struct DatasetCloser {
  void operator()(void* ds) const {
    if (ds) GDALClose(ds);
  }
};
using Dataset = std::unique_ptr<void, DatasetCloser>;

bool EndsWith(const std::string& text, const char* suffix) {
  const std::size_t n = std::strlen(suffix);
  return text.size() >= n && EQUAL(text.c_str() + text.size() - n, suffix);
}

std::string BaseName(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string TileName(int lat, int lon) { return FormatTilePath("", lat, lon).substr(1); }

// An SRTM tile under any name that starts with its corner (N57E011.SRTMGL1.hgt,
// n57e011.hgt), known by its size.
bool TakeAsTile(const std::string& name, std::uint64_t size, ImportSource* s) {
  const std::int32_t kind = size == kSrtm1FileSize ? kSrtm1 : size == kSrtm3FileSize ? kSrtm3 : kNotTile;
  if (kind == kNotTile || name.size() < 7 || !ParseTileName(name.substr(0, 7) + ".hgt", &s->tileLat, &s->tileLon)) {
    return false;
  }
  s->tileKind = kind;
  s->width = s->height = SamplesOf(kind);
  s->spacing = SpacingOf(kind);
  const double half = s->spacing / 2;
  s->west = s->tileLon - half;
  s->east = s->tileLon + 1 + half;
  s->south = s->tileLat - half;
  s->north = s->tileLat + 1 + half;
  s->datum = kSrtmDatum;
  s->lonLat = true;
  return true;
}

// A tile's samples as a GDAL dataset, read in place (inside an archive too).
Dataset OpenTile(const ImportSource& s) {
  const int n = s.width;
  const double spacing = s.spacing;
  char* wkt = nullptr;
  OGRSpatialReferenceH wgs84 = OSRNewSpatialReference(nullptr);
  OSRSetWellKnownGeogCS(wgs84, "WGS84");
  OSRExportToWkt(wgs84, &wkt);
  OSRDestroySpatialReference(wgs84);
  char* escapedWkt = CPLEscapeString(wkt, -1, CPLES_XML);
  char* escapedPath = CPLEscapeString(s.vsiPath.c_str(), -1, CPLES_XML);
  const std::string vrt = CPLSPrintf(
      "<VRTDataset rasterXSize=\"%d\" rasterYSize=\"%d\"><SRS>%s</SRS>"
      "<GeoTransform>%.17g, %.17g, 0, %.17g, 0, %.17g</GeoTransform>"
      "<VRTRasterBand dataType=\"Int16\" band=\"1\" subClass=\"VRTRawRasterBand\">"
      "<NoDataValue>-32768</NoDataValue><SourceFilename relativeToVRT=\"0\">%s</SourceFilename>"
      "<ImageOffset>0</ImageOffset><PixelOffset>2</PixelOffset><LineOffset>%d</LineOffset>"
      "<ByteOrder>MSB</ByteOrder></VRTRasterBand></VRTDataset>",
      n, n, escapedWkt, s.tileLon - spacing / 2, spacing, s.tileLat + 1 + spacing / 2, -spacing, escapedPath, 2 * n);
  CPLFree(escapedWkt);
  CPLFree(escapedPath);
  CPLFree(wkt);
  return Dataset(GDALOpenEx(vrt.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY, nullptr, nullptr, nullptr));
}

Dataset OpenSource(const ImportSource& s) {
  if (s.tileKind != 0) return OpenTile(s);
  return Dataset(GDALOpenEx(s.vsiPath.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY, nullptr, nullptr, nullptr));
}

// The vertical datum a (compound) coordinate system names; empty when it names none.
std::string VerticalDatum(OGRSpatialReferenceH srs) {
  const char* name = OSRGetAttrValue(srs, "VERT_CS", 0);
  return name ? name : "";
}

// Measures a raster GDAL opened: its extent and spacing in degrees of WGS 84. False
// with the reason when it has no coordinate system or no georeferencing.
bool Measure(GDALDatasetH ds, ImportSource* s, std::string* why) {
  OGRSpatialReferenceH srs = GDALGetSpatialRef(ds);
  if (!srs || OSRIsLocal(srs)) {
    *why = "has no coordinate system";
    return false;
  }
  double gt[6];
  if (GDALGetGeoTransform(ds, gt) != CE_None) {
    *why = "has a coordinate system but no geotransform (ground control points are not supported)";
    return false;
  }
  s->width = GDALGetRasterXSize(ds);
  s->height = GDALGetRasterYSize(ds);
  s->datum = VerticalDatum(srs);
  if (OSRIsGeographic(srs) && gt[2] == 0 && gt[4] == 0) {
    const double x0 = gt[0], x1 = gt[0] + gt[1] * s->width, y0 = gt[3], y1 = gt[3] + gt[5] * s->height;
    s->west = std::min(x0, x1);
    s->east = std::max(x0, x1);
    s->south = std::min(y0, y1);
    s->north = std::max(y0, y1);
    s->spacing = std::min(std::fabs(gt[1]), std::fabs(gt[5]));
    OGRSpatialReferenceH wgs84 = OSRNewSpatialReference(nullptr);
    OSRSetWellKnownGeogCS(wgs84, "WGS84");
    s->lonLat = OSRIsSameGeogCS(srs, wgs84) != 0;
    OSRDestroySpatialReference(wgs84);
    return true;
  }
  const char* options[] = {"DST_SRS=WGS84", nullptr};
  void* transformer = GDALCreateGenImgProjTransformer2(ds, nullptr, const_cast<char**>(options));
  if (!transformer) {
    *why = "cannot be transformed to longitude and latitude: " + QuietGdal::Last("no transformation");
    return false;
  }
  double outGt[6], extent[4];
  int width = 0, height = 0;
  const CPLErr err = GDALSuggestedWarpOutput2(ds, GDALGenImgProjTransform, transformer, outGt, &width, &height, extent, 0);
  GDALDestroyGenImgProjTransformer(transformer);
  if (err != CE_None) {
    *why = "cannot be transformed to longitude and latitude: " + QuietGdal::Last("no extent");
    return false;
  }
  s->west = extent[0];
  s->south = extent[1];
  s->east = extent[2];
  s->north = extent[3];
  s->spacing = std::min(std::fabs(outGt[1]), std::fabs(outGt[5]));
  return true;
}

// For a compressed stream, why it cannot be read to its end; empty when it can (or
// it is not compressed).
std::string CompressedDamage(const std::string& vsiPath) {
  if (vsiPath.compare(0, 9, "/vsigzip/") != 0 && vsiPath.compare(0, 8, "/vsizip/") != 0) return "";
  VSILFILE* f = VSIFOpenL(vsiPath.c_str(), "rb");
  if (!f) return "cannot be opened";
  CPLErrorReset();
  std::vector<char> buffer(1 << 16);
  while (VSIFReadL(buffer.data(), 1, buffer.size(), f) == buffer.size()) {
  }
  const bool failed = CPLGetLastErrorType() != CE_None;
  VSIFCloseL(f);
  return failed ? QuietGdal::Last("read error") : "";
}

// Takes one file or archive member as a source. False with the reason when it is none.
bool TakeSource(const std::string& vsiPath, const std::string& label, std::vector<ImportSource>* sources,
                std::string* why) {
  QuietGdal quiet;
  ImportSource s;
  s.label = label;
  s.vsiPath = vsiPath;
  VSIStatBufL st;
  std::string name = BaseName(label);
  if (EndsWith(name, ".gz")) name.resize(name.size() - 3);
  if (VSIStatL(vsiPath.c_str(), &st) == 0 && VSI_ISREG(st.st_mode) &&
      TakeAsTile(name, static_cast<std::uint64_t>(st.st_size), &s)) {
    sources->push_back(s);
    return true;
  }
  Dataset ds(GDALOpenEx(vsiPath.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY, nullptr, nullptr, nullptr));
  if (!ds) {
    const std::string damage = CompressedDamage(vsiPath);
    *why = damage.empty() ? "is not a raster GDAL can read (" + QuietGdal::Last("no driver recognises it") + ")"
                          : "cannot be read, damaged or cut short (" + damage + ")";
    return false;
  }
  if (GDALGetRasterCount(ds.get()) < 1) {
    *why = "has no raster band";
    return false;
  }
  if (!Measure(ds.get(), &s, why)) return false;
  sources->push_back(s);
  return true;
}

// The GDAL prefix that reads inside an archive of this name; empty for a plain file.
std::string ArchivePrefix(const std::string& file) {
  if (EndsWith(file, ".zip")) return "/vsizip/";
  if (EndsWith(file, ".tar") || EndsWith(file, ".tar.gz") || EndsWith(file, ".tgz")) return "/vsitar/";
  return "";
}

double Round(double v) { return std::floor(v + 0.5); }

// True when a geographic source samples exactly the tile grid (the same spacing,
// sample centres on the same multiples): it is then taken sample by sample.
bool OnTileGrid(GDALDatasetH ds, double spacing) {
  OGRSpatialReferenceH srs = GDALGetSpatialRef(ds);
  double gt[6];
  if (!srs || !OSRIsGeographic(srs) || GDALGetGeoTransform(ds, gt) != CE_None || gt[2] != 0 || gt[4] != 0) {
    return false;
  }
  const double tolerance = 1e-6;
  if (std::fabs(gt[1] / spacing - 1) > tolerance || std::fabs(-gt[5] / spacing - 1) > tolerance) return false;
  const double x = (gt[0] + gt[1] / 2) / spacing, y = (gt[3] + gt[5] / 2) / spacing;
  return std::fabs(x - Round(x)) < tolerance && std::fabs(y - Round(y)) < tolerance;
}

int WarpProgress(double done, const char*, void* data) {
  const auto* keepGoing = static_cast<const std::function<bool(double)>*>(data);
  return (*keepGoing)(done) ? TRUE : FALSE;
}

// Resamples one source onto rows `row0` to `row0 + rows - 1` of the tile grid: float
// heights, NaN where it has none.
bool WarpOnto(GDALDatasetH source, const ImportTile& tile, int row0, int rows, Resampling resampling,
              std::vector<float>* out, const std::function<bool(double)>& keepGoing, std::string* why) {
  const int n = SamplesOf(tile.job.kind);
  const double spacing = SpacingOf(tile.job.kind);
  out->assign(static_cast<std::size_t>(n) * rows, std::numeric_limits<float>::quiet_NaN());
  char pointer[64] = {};  // CPLPrintPointer leaves the text unterminated
  CPLPrintPointer(pointer, out->data(), sizeof pointer - 1);
  const std::string memName =
      CPLSPrintf("MEM:::DATAPOINTER=%s,PIXELS=%d,LINES=%d,BANDS=1,DATATYPE=Float32", pointer, n, rows);
  Dataset dst(GDALOpen(memName.c_str(), GA_Update));
  if (!dst) {
    *why = "cannot make the tile in memory: " + QuietGdal::Last("MEM driver refused");
    return false;
  }
  double gt[6] = {tile.job.lon - spacing / 2, spacing, 0, tile.job.lat + 1 + spacing / 2 - row0 * spacing, 0, -spacing};
  GDALSetGeoTransform(dst.get(), gt);
  OGRSpatialReferenceH wgs84 = OSRNewSpatialReference(nullptr);
  OSRSetWellKnownGeogCS(wgs84, "WGS84");
  OSRSetAxisMappingStrategy(wgs84, OAMS_TRADITIONAL_GIS_ORDER);
  GDALSetSpatialRef(dst.get(), wgs84);
  OSRDestroySpatialReference(wgs84);
  GDALSetRasterNoDataValue(GDALGetRasterBand(dst.get(), 1), std::numeric_limits<double>::quiet_NaN());

  const char* method = OnTileGrid(source, spacing) ? "near" : ResamplingName(resampling);
  Dataset band1;  // the first band alone, for a source with several
  GDALDatasetH input = source;
  if (GDALGetRasterCount(source) > 1) {
    const char* args[] = {"-of", "VRT", "-b", "1", nullptr};
    GDALTranslateOptions* t = GDALTranslateOptionsNew(const_cast<char**>(args), nullptr);
    band1.reset(GDALTranslate("", source, t, nullptr));
    GDALTranslateOptionsFree(t);
    if (!band1) {
      *why = "cannot take its first band: " + QuietGdal::Last("GDALTranslate failed");
      return false;
    }
    input = band1.get();
  }
  const char* args[] = {"-r", method, "-wo", "INIT_DEST=NO_DATA", nullptr};
  GDALWarpAppOptions* options = GDALWarpAppOptionsNew(const_cast<char**>(args), nullptr);
  GDALWarpAppOptionsSetProgress(options, WarpProgress, const_cast<std::function<bool(double)>*>(&keepGoing));
  int usageError = FALSE;
  GDALDatasetH result = GDALWarp(nullptr, dst.get(), 1, &input, options, &usageError);
  GDALWarpAppOptionsFree(options);
  if (!result) {
    *why = keepGoing(0) ? "cannot be resampled: " + QuietGdal::Last("the warper failed") : "stopped";
    return false;
  }
  GDALFlushCache(dst.get());
  return true;
}

// Reads a whole tile's bytes.
bool ReadAll(const std::string& vsiPath, std::vector<unsigned char>* bytes, std::uint64_t size) {
  VSILFILE* f = VSIFOpenL(vsiPath.c_str(), "rb");
  if (!f) return false;
  bytes->resize(size);
  const bool whole = VSIFReadL(bytes->data(), 1, size, f) == size;
  unsigned char extra;
  const bool nothingMore = VSIFReadL(&extra, 1, 1, f) == 0;
  VSIFCloseL(f);
  return whole && nothingMore;
}

bool HasVoids(const std::vector<unsigned char>& bytes) {
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    if (bytes[i] == 0x80 && bytes[i + 1] == 0x00) return true;
  }
  return false;
}

}  // namespace

bool ParseResampling(const char* text, Resampling* out) {
  static const struct {
    const char* name;
    Resampling value;
  } kNames[] = {{"bilinear", Resampling::kBilinear}, {"cubic", Resampling::kCubic},
                {"nearest", Resampling::kNearest}, {"average", Resampling::kAverage}};
  for (const auto& n : kNames) {
    if (std::strcmp(text, n.name) == 0) {
      *out = n.value;
      return true;
    }
  }
  return false;
}

const char* ResamplingName(Resampling r) {
  switch (r) {
    case Resampling::kCubic: return "cubic";
    case Resampling::kNearest: return "near";
    case Resampling::kAverage: return "average";
    case Resampling::kBilinear: break;
  }
  return "bilinear";
}

std::string ImportSource::Describe() const {
  std::string text;
  if (tileKind != 0) {
    text = CPLSPrintf("SRTM-%d tile %s", tileKind, TileName(tileLat, tileLon).c_str());
  } else {
    text = CPLSPrintf("%d x %d samples, %.3g arc-seconds, %.4f..%.4f N, %.4f..%.4f E", width, height, spacing * 3600,
                      south, north, west, east);
  }
  return text + ", vertical datum " + (datum.empty() ? std::string("not given") : datum);
}

void InitGdal() {
  static std::once_flag once;
  std::call_once(once, [] {
    // The warper takes and frees buffers of megabytes for every piece of work: kept by
    // the allocator rather than given back to the system, they are not faulted in anew
    // each time (a tenth of the time of a tile).
    mallopt(M_MMAP_THRESHOLD, 256 << 20);
    mallopt(M_TRIM_THRESHOLD, 512 << 20);
    GDALAllRegister();
  });
}

void FindSources(const std::vector<std::string>& files, std::vector<ImportSource>* sources,
                 std::vector<std::string>* errors, std::vector<std::string>* notes) {
  for (const std::string& file : files) {
    VSIStatBufL st;
    if (VSIStatL(file.c_str(), &st) != 0) {
      errors->push_back(file + ": does not exist");
      continue;
    }
    if (VSI_ISDIR(st.st_mode)) {
      errors->push_back(file + ": is a folder; name its files (" + file + "/*.hgt, " + file + "/*.tif)");
      continue;
    }
    const std::string prefix = ArchivePrefix(file);
    std::string why;
    if (prefix.empty()) {
      const std::string vsi = EndsWith(file, ".gz") ? "/vsigzip/" + file : file;
      if (!TakeSource(vsi, file, sources, &why)) errors->push_back(file + ": " + why);
      continue;
    }
    const std::string root = prefix + file;
    char** listed = VSIReadDirRecursive(root.c_str());
    if (!listed) {
      errors->push_back(file + ": cannot be read as an archive");
      continue;
    }
    std::vector<std::string> members;
    for (char** m = listed; *m; ++m) members.push_back(*m);
    CSLDestroy(listed);
    std::sort(members.begin(), members.end());
    std::size_t found = 0;
    for (const std::string& member : members) {
      VSIStatBufL ms;
      const std::string vsi = root + "/" + member;
      if (VSIStatL(vsi.c_str(), &ms) != 0 || !VSI_ISREG(ms.st_mode)) continue;
      if (TakeSource(vsi, file + "/" + member, sources, &why)) {
        ++found;
      } else {
        notes->push_back(file + "/" + member + ": passed over: " + why);
      }
    }
    if (found == 0) errors->push_back(file + ": holds no raster with a coordinate system");
  }
}

std::int32_t DefaultKind(const std::vector<ImportSource>& sources) {
  double finest = 1;
  for (const ImportSource& s : sources) finest = std::min(finest, s.spacing);
  return finest * 3600 <= 1.5 + 1e-6 ? kSrtm1 : kSrtm3;
}

std::vector<ImportTile> PlanTiles(const std::vector<ImportSource>& sources, std::int32_t kind,
                                  const std::string& outputFolder, std::vector<std::string>* errors) {
  std::vector<ImportTile> tiles;
  std::map<std::pair<int, int>, std::size_t> index;  // (lat, lon) -> tiles[]
  const double spacing = SpacingOf(kind);
  for (std::size_t k = 0; k < sources.size(); ++k) {
    const ImportSource& s = sources[k];
    // A source reaches half of its own sample over its edge: only more than that, and
    // more than the half sample a tile's edge row is wide, makes a tile its own.
    const double margin = (s.spacing + spacing) / 2;
    bool any = false;
    const int lat0 = std::max(-90, static_cast<int>(std::floor(s.south)));
    const int lat1 = std::min(89, static_cast<int>(std::ceil(s.north)) - 1);
    const int lon0 = std::max(-180, static_cast<int>(std::floor(s.west)));
    const int lon1 = std::min(179, static_cast<int>(std::ceil(s.east)) - 1);
    for (int lat = lat0; lat <= lat1; ++lat) {
      for (int lon = lon0; lon <= lon1; ++lon) {
        const double overlapY = std::min<double>(s.north, lat + 1) - std::max<double>(s.south, lat);
        const double overlapX = std::min<double>(s.east, lon + 1) - std::max<double>(s.west, lon);
        if (overlapY <= margin || overlapX <= margin) continue;
        any = true;
        const auto found = index.emplace(std::make_pair(lat, lon), tiles.size());
        if (found.second) {
          ImportTile t;
          t.job.kind = kind;
          t.job.lat = lat;
          t.job.lon = lon;
          t.job.path = FormatTilePath(outputFolder, lat, lon);
          t.job.name = TileName(lat, lon);
          tiles.push_back(t);
        }
        tiles[found.first->second].sources.push_back(k);
      }
    }
    if (!any) errors->push_back(s.label + ": covers no tile (it lies outside 90 S..90 N, 180 W..180 E or is smaller than a sample)");
  }
  std::sort(tiles.begin(), tiles.end(), [](const ImportTile& a, const ImportTile& b) {
    return strcasecmp(a.job.name.c_str(), b.job.name.c_str()) < 0;
  });
  return tiles;
}

TileReport MakeTile(const ImportTile& tile, const std::vector<ImportSource>& sources, Resampling resampling,
                    bool skipExisting, const std::function<bool(double)>& progress) {
  TileReport report;
  report.fromSource.assign(tile.sources.size(), 0);
  if (skipExisting && platform::FileExists(tile.job.path.c_str())) {
    report.outcome = ImportOutcome::kSkipped;
    return report;
  }
  const int n = SamplesOf(tile.job.kind);
  const std::size_t count = static_cast<std::size_t>(n) * n;
  const std::string target = platform::ToNativePath(tile.job.path);
  // A source that is a plain file may not be replaced by the tile made from it.
  std::vector<std::string> inputs;
  for (std::size_t k : tile.sources) {
    if (sources[k].vsiPath.rfind("/vsi", 0) != 0) inputs.push_back(platform::FromUserPath(sources[k].vsiPath));
  }
  std::string unwritten;  // why the tile could not be written
  std::size_t step = 0;  // strips of sources resampled so far
  double steps = static_cast<double>(tile.sources.size());
  const std::function<bool(double)> keepGoing = [&](double done) { return progress((step + done) / steps); };
  const auto fail = [&](const std::string& why) {
    report.outcome = keepGoing(0) ? ImportOutcome::kFailed : ImportOutcome::kStopped;
    report.error = why;
    return report;
  };

  // The tile itself, first and with nothing else to fill its voids (or none to fill):
  // its bytes as they are.
  const ImportSource& first = sources[tile.sources[0]];
  if (first.tileKind == tile.job.kind && first.tileLat == tile.job.lat && first.tileLon == tile.job.lon) {
    std::vector<unsigned char> bytes;
    if (!ReadAll(first.vsiPath, &bytes, count * 2)) return fail(first.label + ": cannot be read whole");
    if (tile.sources.size() == 1 || !HasVoids(bytes)) {
      std::int64_t voids = 0;
      for (std::size_t i = 0; i < bytes.size(); i += 2) voids += bytes[i] == 0x80 && bytes[i + 1] == 0;
      if (!keepGoing(1)) return fail("stopped");
      if (!platform::WriteOutputFile(tile.job.path, bytes.data(), bytes.size(), &unwritten, inputs)) {
        report.notWritten = true;
        return fail(target + ": " + unwritten);
      }
      report.voids = voids;
      report.fromSource[0] = static_cast<std::int64_t>(count) - voids;
      report.outcome = ImportOutcome::kCopied;
      return report;
    }
  }

  // In strips of rows, so that the float samples of a whole SRTM-1 tile are never in
  // memory at once; the heights go straight into the file's bytes. A reprojected source
  // goes whole: the warper interpolates its transformation over each piece of work, so
  // other pieces would move samples by a fraction of a metre from what gdalwarp gives.
  std::vector<unsigned char> bytes(count * 2);
  for (std::size_t i = 0; i < count; ++i) bytes[2 * i] = 0x80;  // -32768, big-endian
  std::vector<float> warped;
  std::size_t voids = count;
  QuietGdal quiet;
  std::vector<Dataset> opened(tile.sources.size());
  const bool lonLat = std::all_of(tile.sources.begin(), tile.sources.end(), [&](std::size_t k) { return sources[k].lonLat; });
  const int stripRows = lonLat ? kStripRows : n;
  steps = static_cast<double>(tile.sources.size() * static_cast<std::size_t>((n + stripRows - 1) / stripRows));
  for (int row0 = 0; row0 < n && voids > 0; row0 += stripRows) {
    const int rows = std::min(stripRows, n - row0);
    const double north = tile.job.lat + 1 - (row0 - 0.5) * SpacingOf(tile.job.kind);
    const double south = north - rows * SpacingOf(tile.job.kind);
    std::size_t stripVoids = static_cast<std::size_t>(rows) * n;
    for (std::size_t j = 0; j < tile.sources.size() && stripVoids > 0; ++j, ++step) {
      const ImportSource& s = sources[tile.sources[j]];
      if (s.south >= north || s.north <= south) continue;
      if (!opened[j]) opened[j] = OpenSource(s);
      if (!opened[j]) return fail(s.label + ": cannot be opened: " + QuietGdal::Last("GDAL refused it"));
      std::string why;
      if (!WarpOnto(opened[j].get(), tile, row0, rows, resampling, &warped, keepGoing, &why)) {
        return fail(why == "stopped" ? why : s.label + ": " + why);
      }
      unsigned char* strip = bytes.data() + static_cast<std::size_t>(row0) * n * 2;
      for (std::size_t i = 0; i < warped.size(); ++i) {
        const float v = warped[i];
        if (std::isnan(v) || strip[2 * i] != 0x80 || strip[2 * i + 1] != 0) continue;
        const auto u = static_cast<std::uint16_t>(static_cast<std::int16_t>(std::clamp(Round(v), -32767.0, 32767.0)));
        strip[2 * i] = static_cast<unsigned char>(u >> 8);
        strip[2 * i + 1] = static_cast<unsigned char>(u & 0xFF);
        ++report.fromSource[j];
        --stripVoids;
        --voids;
      }
    }
  }
  report.voids = static_cast<std::int64_t>(voids);
  if (voids == count) {  // only the sources' empty margins reach it
    report.outcome = ImportOutcome::kEmpty;
    return report;
  }
  if (!progress(1)) return fail("stopped");
  if (!platform::WriteOutputFile(tile.job.path, bytes.data(), bytes.size(), &unwritten, inputs)) {
    report.notWritten = true;
    return fail(target + ": " + unwritten);
  }
  report.outcome = ImportOutcome::kWritten;
  return report;
}

}  // namespace srtm::cli
