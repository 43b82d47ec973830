// srtm-gdal.so: the raster engine of srtm import (tools/raster_engine.h), with GDAL.
//
// A mosaic is a VRT whose one band is derived, sample by sample, from its sources by
// the pixel function below: each source's stored numbers made metres by its value
// rule, the first source with a value winning, NaN where none has one. GDAL's warper
// then resamples that band onto the tile as gdalwarp would resample one raster holding
// all the sources.
#include <malloc.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <cpl_conv.h>
#include <cpl_error.h>
#include <cpl_string.h>
#include <cpl_vsi.h>
#include <gdal.h>
#include <gdal_utils.h>
#include <ogr_srs_api.h>

#include "tools/raster_engine.h"

namespace srtm::cli {
namespace {

constexpr double kFoot = 0.3048;
constexpr double kUsSurveyFoot = 1200.0 / 3937.0;
constexpr const char* kPixelFunction = "srtm_heights";

// GDAL's messages go nowhere while one is alive (on this thread); the last is kept.
class QuietGdal {
 public:
  QuietGdal() {
    CPLPushErrorHandler(CPLQuietErrorHandler);
    CPLErrorReset();
  }
  ~QuietGdal() { CPLPopErrorHandler(); }
  QuietGdal(const QuietGdal&) = delete;
  QuietGdal& operator=(const QuietGdal&) = delete;
  // Without the "In file …, at line …, " some of GDAL's messages start with.
  static std::string Last(const char* otherwise) {
    const char* text = CPLGetLastErrorMsg();
    std::string message = text && *text ? text : otherwise;
    const std::size_t at = message.find(", at line ");
    const std::size_t after = at == std::string::npos ? at : message.find(", ", at + 10);
    if (message.compare(0, 8, "In file ") == 0 && after != std::string::npos) message.erase(0, after + 2);
    return message;
  }
};

struct DatasetCloser {
  void operator()(void* ds) const {
    if (ds) GDALClose(ds);
  }
};
using Dataset = std::unique_ptr<void, DatasetCloser>;

struct SrsDeleter {
  void operator()(void* srs) const {
    if (srs) OSRDestroySpatialReference(srs);
  }
};
using Srs = std::unique_ptr<void, SrsDeleter>;

Srs Wgs84() {
  Srs wgs84(OSRNewSpatialReference(nullptr));
  OSRSetWellKnownGeogCS(wgs84.get(), "WGS84");
  OSRSetAxisMappingStrategy(wgs84.get(), OAMS_TRADITIONAL_GIS_ORDER);
  return wgs84;
}

std::string Escaped(const std::string& text) {
  char* escaped = CPLEscapeString(text.c_str(), -1, CPLES_XML);
  std::string out = escaped;
  CPLFree(escaped);
  return out;
}

// ---- Values ----

// Metres in one of a band's unit; 0 for a unit not known here, 1 for none.
double MetresPerUnit(const char* unit, const char** plural) {
  std::string u = unit ? unit : "";
  for (char& c : u) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  static const struct {
    const char* name;
    double metres;
    const char* plural;
  } kUnits[] = {{"", 1, "metres"},          {"m", 1, "metres"},
                {"metre", 1, "metres"},     {"meter", 1, "metres"},
                {"metres", 1, "metres"},    {"meters", 1, "metres"},
                {"ft", kFoot, "feet"},      {"foot", kFoot, "feet"},
                {"feet", kFoot, "feet"},    {"international foot", kFoot, "feet"},
                {"us survey foot", kUsSurveyFoot, "US survey feet"},
                {"us survey feet", kUsSurveyFoot, "US survey feet"},
                {"ftus", kUsSurveyFoot, "US survey feet"},
                {"us-ft", kUsSurveyFoot, "US survey feet"},
                {"foot_us", kUsSurveyFoot, "US survey feet"}};
  for (const auto& k : kUnits) {
    if (u == k.name) {
      *plural = k.plural;
      return k.metres;
    }
  }
  return 0;
}

// The value rule of band 1 and what it says of the heights. False with the reason for
// a unit not known here.
bool ReadValues(GDALRasterBandH band, OGRSpatialReferenceH srs, RasterInfo* info, std::string* why) {
  ValueRule& v = info->values;
  int has = FALSE;
  const double scale = GDALGetRasterScale(band, &has);
  if (has) v.scale = scale;
  const double offset = GDALGetRasterOffset(band, &has);
  if (has) v.offset = offset;
  const double nodata = GDALGetRasterNoDataValue(band, &has);
  v.hasNodata = has != 0;
  if (v.hasNodata) v.nodata = nodata;
  std::string note;
  if (v.scale != 1 || v.offset != 0) note = CPLSPrintf("scale %.10g and offset %.10g applied", v.scale, v.offset);

  const char* unit = GDALGetRasterUnitType(band);
  const char* plural = "metres";
  std::string whose;
  if (unit && *unit) {
    v.toMetres = MetresPerUnit(unit, &plural);
    if (v.toMetres == 0) {
      *why = std::string("holds heights in '") + unit +
             "' (its band's unit), which import does not know (it knows metres, feet and US survey feet)";
      return false;
    }
    whose = "its band's unit";
  } else if (OSRGetAttrValue(srs, "VERT_CS", 0)) {
    char* name = nullptr;
    v.toMetres = OSRGetTargetLinearUnits(srs, "VERT_CS", &name);
    if (!(v.toMetres > 0)) {
      *why = std::string("holds heights in '") + (name ? name : "?") +
             "' (its vertical coordinate system), a unit import cannot convert to metres";
      return false;
    }
    plural = std::fabs(v.toMetres - kFoot) < 1e-9          ? "feet"
             : std::fabs(v.toMetres - kUsSurveyFoot) < 1e-9 ? "US survey feet"
                                                            : name;
    whose = "its vertical coordinate system";
  }
  if (std::fabs(v.toMetres - 1) > 1e-12) {
    note += std::string(note.empty() ? "" : ", ") + "heights in " + plural + " (" + whose + "), converted to metres";
  }
  info->valueNote = note;
  return true;
}

// ---- Extent ----

double Wrap(double lon, double around) { return lon + 360 * std::round((around - lon) / 360); }

// The extent and spacing of a raster that is not on a longitude-latitude grid: a grid
// of points over it (edges included) taken to WGS 84, longitudes continuous around its
// centre's, so that a source across the antimeridian spans it rather than the globe.
bool MeasureProjected(OGRSpatialReferenceH srs, const double gt[6], RasterInfo* info, std::string* why) {
  Srs source(OSRClone(srs));
  OSRSetAxisMappingStrategy(source.get(), OAMS_TRADITIONAL_GIS_ORDER);
  Srs wgs84 = Wgs84();
  OGRCoordinateTransformationH ct = OCTNewCoordinateTransformation(source.get(), wgs84.get());
  if (!ct) {
    *why = "cannot be transformed to longitude and latitude: " + QuietGdal::Last("no transformation");
    return false;
  }
  constexpr int kSteps = 32;
  std::vector<double> x, y;
  const auto add = [&](double px, double py) {
    x.push_back(gt[0] + px * gt[1] + py * gt[2]);
    y.push_back(gt[3] + px * gt[4] + py * gt[5]);
  };
  // The centre, a step east of it and a step south, then the grid.
  const double cx = info->width / 2.0, cy = info->height / 2.0;
  add(cx, cy);
  add(cx + 1, cy);
  add(cx, cy + 1);
  for (int i = 0; i <= kSteps; ++i) {
    for (int j = 0; j <= kSteps; ++j) add(info->width * j / double(kSteps), info->height * i / double(kSteps));
  }
  std::vector<int> ok(x.size());
  std::vector<double> z(x.size(), 0);
  OCTTransformEx(ct, static_cast<int>(x.size()), x.data(), y.data(), z.data(), ok.data());
  OCTDestroyCoordinateTransformation(ct);
  double around = std::numeric_limits<double>::quiet_NaN();
  for (std::size_t i = 0; i < x.size() && std::isnan(around); ++i) {
    if (ok[i]) around = x[i];
  }
  if (std::isnan(around)) {
    *why = "cannot be transformed to longitude and latitude: no point of it has one";
    return false;
  }
  bool any = false;
  for (std::size_t i = 3; i < x.size(); ++i) {
    if (!ok[i]) continue;
    const double lon = Wrap(x[i], around), lat = y[i];
    if (!any) {
      info->west = info->east = lon;
      info->south = info->north = lat;
      any = true;
    }
    info->west = std::min(info->west, lon);
    info->east = std::max(info->east, lon);
    info->south = std::min(info->south, lat);
    info->north = std::max(info->north, lat);
  }
  // The spacing at its centre: the ground a sample step covers, as degrees of latitude.
  info->spacing = 0;
  if (ok[0] && ok[1] && ok[2]) {
    const double c = std::cos(y[0] * M_PI / 180);
    const double east = std::hypot((Wrap(x[1], x[0]) - x[0]) * c, y[1] - y[0]);
    const double south = std::hypot((Wrap(x[2], x[0]) - x[0]) * c, y[2] - y[0]);
    info->spacing = std::min(east, south);
  }
  if (!any || !(info->spacing > 0)) {
    *why = "cannot be transformed to longitude and latitude: its centre has none";
    return false;
  }
  return true;
}

// ---- Mosaics ----

// A mosaic's rules in the pixel function's arguments: per source
// "hasNodata:nodata:scale:offset:toMetres", separated by ';'.
std::string RulesArgument(const std::vector<MosaicMember>& members) {
  std::string rules;
  for (const MosaicMember& m : members) {
    const ValueRule& v = m.info->values;
    rules += CPLSPrintf("%s%d:%.17g:%.17g:%.17g:%.17g", rules.empty() ? "" : ";", v.hasNodata ? 1 : 0, v.nodata,
                        v.scale, v.offset, v.toMetres);
  }
  return rules;
}

std::vector<ValueRule> ParseRules(const char* text) {
  std::vector<ValueRule> rules;
  const char* p = text ? text : "";
  while (*p) {
    ValueRule v;
    int has = 0;
    char* end = nullptr;
    has = static_cast<int>(std::strtol(p, &end, 10));
    v.hasNodata = has != 0;
    v.nodata = std::strtod(end + 1, &end);
    v.scale = std::strtod(end + 1, &end);
    v.offset = std::strtod(end + 1, &end);
    v.toMetres = std::strtod(end + 1, &end);
    rules.push_back(v);
    p = *end == ';' ? end + 1 : end;
  }
  return rules;
}

enum class Value { kNone, kHeight, kInvalid };

// A stored number under a rule: no data, a height in metres, or a value no tile holds.
inline Value Classify(double stored, const ValueRule& rule, double* metres) {
  if (std::isnan(stored)) return Value::kNone;  // outside the source, or NaN no-data
  if (rule.hasNodata ? stored == rule.nodata : stored == -32768) return Value::kNone;
  const double h = (stored * rule.scale + rule.offset) * rule.toMetres;
  if (!(h >= -32767.5 && h < 32767.5)) return Value::kInvalid;  // NaN and infinities too
  *metres = h;
  return Value::kHeight;
}

// The mosaic's band. Arguments: rules (above); mode "heights" (metres, NaN for none) or
// "invalid" (1 where no source has a height and one holds a value no tile can hold,
// NaN elsewhere); counter, the address of the mosaic's count of such samples read.
CPLErr PixelHeights(void** sources, int count, void* data, int width, int height, GDALDataType sourceType,
                    GDALDataType bufferType, int pixelSpace, int lineSpace, CSLConstList args) {
  if (sourceType != GDT_Float64 && sourceType != GDT_Float32) return CE_Failure;
  const std::vector<ValueRule> rules = ParseRules(CSLFetchNameValue(args, "rules"));
  if (static_cast<int>(rules.size()) != count) return CE_Failure;
  const char* modeText = CSLFetchNameValue(args, "mode");
  const bool invalidMode = modeText && std::strcmp(modeText, "invalid") == 0;
  const char* counterText = CSLFetchNameValue(args, "counter");
  auto* counter = reinterpret_cast<std::atomic<long long>*>(
      static_cast<std::uintptr_t>(std::strtoull(counterText ? counterText : "0", nullptr, 10)));
  const double none = std::numeric_limits<double>::quiet_NaN();
  long long invalidSeen = 0;
  std::vector<double> line(static_cast<std::size_t>(width));
  for (int row = 0; row < height; ++row) {
    for (int col = 0; col < width; ++col) {
      const std::size_t i = static_cast<std::size_t>(row) * width + col;
      double out = none;
      bool invalid = false;
      for (int k = 0; k < count; ++k) {
        double metres = 0;
        const double stored = sourceType == GDT_Float32 ? static_cast<const float*>(sources[k])[i]
                                                        : static_cast<const double*>(sources[k])[i];
        const Value v = Classify(stored, rules[k], &metres);
        if (v == Value::kHeight) {
          out = metres;
          invalid = false;
          break;
        }
        invalid = invalid || v == Value::kInvalid;
      }
      invalidSeen += invalid;
      line[static_cast<std::size_t>(col)] = invalidMode ? (invalid ? 1 : none) : out;
    }
    GDALCopyWords(line.data(), GDT_Float64, sizeof(double), static_cast<char*>(data) + static_cast<std::size_t>(row) * lineSpace,
                  bufferType, pixelSpace, width);
  }
  if (counter && invalidSeen > 0) counter->fetch_add(invalidSeen);
  return CE_None;
}

// True when a geographic grid samples exactly the tile grid (the same spacing, sample
// centres on the same multiples): it is then taken sample by sample.
bool OnTileGrid(const double gt[6], double spacing) {
  const double tolerance = 1e-6;
  if (gt[2] != 0 || gt[4] != 0) return false;
  if (std::fabs(gt[1] / spacing - 1) > tolerance || std::fabs(-gt[5] / spacing - 1) > tolerance) return false;
  const double x = (gt[0] + gt[1] / 2) / spacing, y = (gt[3] + gt[5] / 2) / spacing;
  return std::fabs(x - std::round(x)) < tolerance && std::fabs(y - std::round(y)) < tolerance;
}

int WarpProgress(double done, const char*, void* data) {
  const auto* keepGoing = static_cast<const std::function<bool(double)>*>(data);
  return (*keepGoing)(done) ? TRUE : FALSE;
}

class GdalMosaic : public Mosaic {
 public:
  GdalMosaic(const std::vector<MosaicMember>& members, std::string* why) {
    const RasterInfo& first = *members[0].info;
    std::copy(first.geoTransform, first.geoTransform + 6, gt_);
    gt_[0] += members[0].lonShift;
    geographic_ = first.geographic;
    // Each source's place on the first one's grid, in whole samples.
    struct Place {
      long x, y;
    };
    std::vector<Place> places;
    long x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    for (const MosaicMember& m : members) {
      const double* g = m.info->geoTransform;
      const Place p{std::lround((g[0] + m.lonShift - gt_[0]) / gt_[1]), std::lround((g[3] - gt_[3]) / gt_[5])};
      places.push_back(p);
      x0 = std::min(x0, p.x);
      y0 = std::min(y0, p.y);
      x1 = std::max(x1, p.x + m.info->width);
      y1 = std::max(y1, p.y + m.info->height);
    }
    gt_[0] += x0 * gt_[1];
    gt_[3] += y0 * gt_[5];
    std::string sources;
    for (std::size_t k = 0; k < members.size(); ++k) {
      const RasterInfo& r = *members[k].info;
      sources += CPLSPrintf(
          "<SimpleSource><SourceFilename relativeToVRT=\"0\">%s</SourceFilename><SourceBand>1</SourceBand>"
          "<SrcRect xOff=\"0\" yOff=\"0\" xSize=\"%d\" ySize=\"%d\"/>"
          "<DstRect xOff=\"%ld\" yOff=\"%ld\" xSize=\"%d\" ySize=\"%d\"/></SimpleSource>",
          Escaped(members[k].location).c_str(), r.width, r.height, places[k].x - x0, places[k].y - y0, r.width,
          r.height);
    }
    const std::string head = CPLSPrintf(
        "<VRTDataset rasterXSize=\"%ld\" rasterYSize=\"%ld\"><SRS>%s</SRS>"
        "<GeoTransform>%.17g, %.17g, %.17g, %.17g, %.17g, %.17g</GeoTransform>"
        "<VRTRasterBand dataType=\"Float32\" band=\"1\" subClass=\"VRTDerivedRasterBand\">"
        "<NoDataValue>nan</NoDataValue><PixelFunctionType>%s</PixelFunctionType>"
        "<SourceTransferType>%s</SourceTransferType>",
        x1 - x0, y1 - y0, Escaped(first.srs).c_str(), gt_[0], gt_[1], gt_[2], gt_[3], gt_[4], gt_[5], kPixelFunction,
        std::any_of(members.begin(), members.end(), [](const MosaicMember& m) { return m.info->wideValues; })
            ? "Float64"
            : "Float32");
    const std::string rules = RulesArgument(members);
    const auto vrt = [&](const char* mode) {
      return head +
             CPLSPrintf("<PixelFunctionArguments rules=\"%s\" mode=\"%s\" counter=\"%llu\"/>", rules.c_str(), mode,
                        static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(&invalidSeen_))) +
             sources + "</VRTRasterBand></VRTDataset>";
    };
    heightsVrt_ = vrt("heights");
    invalidVrt_ = vrt("invalid");
    QuietGdal quiet;
    heights_.reset(GDALOpenEx(heightsVrt_.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY, nullptr, nullptr, nullptr));
    if (!heights_) *why = "cannot be read as one mosaic: " + QuietGdal::Last("GDAL refused the VRT");
  }

  bool ok() const { return heights_ != nullptr; }

  bool Resample(const TileWindow& window, Resampling resampling, float* heights, std::vector<std::uint8_t>* invalid,
                const std::function<bool(double)>& keepGoing, std::string* why) override {
    QuietGdal quiet;
    const double spacing = 1.0 / (window.samples - 1);
    const char* method = geographic_ && OnTileGrid(gt_, spacing) ? "near" : ResamplingName(resampling);
    invalidSeen_.store(0);
    if (!Warp(heights_.get(), window, method, heights, keepGoing, why)) return false;
    if (invalid) invalid->clear();
    if (!invalid || invalidSeen_.load() == 0) return true;
    // Where the nearest source sample holds a value no tile can hold.
    Dataset flags(GDALOpenEx(invalidVrt_.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY, nullptr, nullptr, nullptr));
    std::vector<float> marks(static_cast<std::size_t>(window.samples) * window.rows);
    const std::function<bool(double)> always = [](double) { return true; };
    if (!flags || !Warp(flags.get(), window, "near", marks.data(), always, why)) return false;
    invalid->resize(marks.size());
    for (std::size_t i = 0; i < marks.size(); ++i) (*invalid)[i] = std::isnan(marks[i]) ? 0 : 1;
    return true;
  }

 private:
  // Resamples `source` onto the window, into `out`: NaN where it has no value.
  static bool Warp(GDALDatasetH source, const TileWindow& window, const char* method, float* out,
                   const std::function<bool(double)>& keepGoing, std::string* why) {
    const int n = window.samples;
    const double spacing = 1.0 / (n - 1);
    std::fill(out, out + static_cast<std::size_t>(n) * window.rows, std::numeric_limits<float>::quiet_NaN());
    char pointer[64] = {};  // CPLPrintPointer leaves the text unterminated
    CPLPrintPointer(pointer, out, sizeof pointer - 1);
    const std::string memName = CPLSPrintf("MEM:::DATAPOINTER=%s,PIXELS=%d,LINES=%d,BANDS=1,DATATYPE=Float32",
                                           pointer, n, window.rows);
    Dataset dst(GDALOpen(memName.c_str(), GA_Update));
    if (!dst) {
      *why = "cannot make the tile in memory: " + QuietGdal::Last("MEM driver refused");
      return false;
    }
    double gt[6] = {window.lon - spacing / 2, spacing, 0, window.lat + 1 + spacing / 2 - window.row0 * spacing,
                    0, -spacing};
    GDALSetGeoTransform(dst.get(), gt);
    Srs wgs84 = Wgs84();
    GDALSetSpatialRef(dst.get(), wgs84.get());
    GDALSetRasterNoDataValue(GDALGetRasterBand(dst.get(), 1), std::numeric_limits<double>::quiet_NaN());
    const char* args[] = {"-r", method, "-wo", "INIT_DEST=NO_DATA", nullptr};
    GDALWarpAppOptions* options = GDALWarpAppOptionsNew(const_cast<char**>(args), nullptr);
    GDALWarpAppOptionsSetProgress(options, WarpProgress, const_cast<std::function<bool(double)>*>(&keepGoing));
    int usageError = FALSE;
    GDALDatasetH input = source;
    GDALDatasetH result = GDALWarp(nullptr, dst.get(), 1, &input, options, &usageError);
    GDALWarpAppOptionsFree(options);
    if (!result) {
      *why = keepGoing(0) ? "cannot be resampled: " + QuietGdal::Last("the warper failed") : "stopped";
      return false;
    }
    GDALFlushCache(dst.get());
    return true;
  }

  double gt_[6] = {};
  bool geographic_ = false;
  std::string heightsVrt_, invalidVrt_;
  Dataset heights_;
  std::atomic<long long> invalidSeen_{0};
};

// ---- Archives ----

class VsiArchives : public ArchiveReader {
 public:
  bool List(const std::string& path, ArchiveKind kind, std::vector<ArchiveMember>* members,
            std::string* why) override {
    QuietGdal quiet;
    if (kind == ArchiveKind::kGzip) {
      ArchiveMember m;
      const std::size_t slash = path.find_last_of('/');
      m.name = path.substr(slash == std::string::npos ? 0 : slash + 1);
      m.name.resize(m.name.size() - 3);  // less ".gz"
      m.location = "/vsigzip/" + path;
      VSIStatBufL st;
      if (VSIStatL(m.location.c_str(), &st) != 0) {
        *why = "cannot be read as a gzip file: " + QuietGdal::Last("not gzip");
        return false;
      }
      m.size = static_cast<std::uint64_t>(st.st_size);
      members->push_back(m);
      return true;
    }
    const std::string root = (kind == ArchiveKind::kZip ? "/vsizip/" : "/vsitar/") + path;
    char** listed = VSIReadDirRecursive(root.c_str());
    if (!listed) {
      *why = std::string("cannot be read as a ") + (kind == ArchiveKind::kZip ? "zip" : "tar") + " archive";
      return false;
    }
    for (char** m = listed; *m; ++m) {
      ArchiveMember member;
      member.name = *m;
      member.location = root + "/" + member.name;
      VSIStatBufL st;
      if (VSIStatL(member.location.c_str(), &st) != 0 || !VSI_ISREG(st.st_mode)) continue;
      member.size = static_cast<std::uint64_t>(st.st_size);
      members->push_back(member);
    }
    CSLDestroy(listed);
    return true;
  }

  bool Read(const ArchiveMember& member, std::vector<unsigned char>* bytes, std::string* why) override {
    QuietGdal quiet;
    VSILFILE* f = VSIFOpenL(member.location.c_str(), "rb");
    if (!f) {
      *why = "cannot be opened: " + QuietGdal::Last("GDAL refused it");
      return false;
    }
    bytes->resize(member.size);
    const bool whole = VSIFReadL(bytes->data(), 1, bytes->size(), f) == bytes->size();
    unsigned char extra;
    const bool nothingMore = VSIFReadL(&extra, 1, 1, f) == 0;
    const bool failed = CPLGetLastErrorType() != CE_None;
    VSIFCloseL(f);
    if (whole && nothingMore && !failed) return true;
    *why = failed ? QuietGdal::Last("read error") : "it holds a different number of bytes than its archive says";
    return false;
  }
};

// ---- The engine ----

class GdalEngine : public RasterEngine {
 public:
  GdalEngine() {
    // The warper takes and frees buffers of megabytes for every piece of work: kept by
    // the allocator rather than given back to the system, they are not faulted in anew
    // each time (a tenth of the time of a tile).
    mallopt(M_MMAP_THRESHOLD, 256 << 20);
    mallopt(M_TRIM_THRESHOLD, 512 << 20);
    GDALAllRegister();
    GDALAddDerivedBandPixelFuncWithArgs(kPixelFunction, PixelHeights, nullptr);
  }

  std::string Version() const override { return std::string("GDAL ") + GDALVersionInfo("RELEASE_NAME"); }

  ArchiveReader& Archives() override { return archives_; }

  bool Measure(const std::string& location, RasterInfo* info, std::string* why) override {
    QuietGdal quiet;
    Dataset ds(GDALOpenEx(location.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY, nullptr, nullptr, nullptr));
    if (!ds) {
      *why = "is not a raster GDAL can read (" + QuietGdal::Last("no driver recognises it") + ")";
      return false;
    }
    if (GDALGetRasterCount(ds.get()) < 1) {
      *why = "has no raster band";
      return false;
    }
    double gt[6];
    const bool hasGt = GDALGetGeoTransform(ds.get(), gt) == CE_None;
    OGRSpatialReferenceH srs = GDALGetSpatialRef(ds.get());
    if (!hasGt && GDALGetGCPCount(ds.get()) > 0) {
      *why = "is georeferenced only by ground control points, which import does not use: make a georeferenced "
             "copy first (gdalwarp SOURCE COPY.tif)";
      return false;
    }
    if (!srs || OSRIsLocal(srs)) {
      *why = "has no coordinate system";
      return false;
    }
    if (!hasGt) {
      *why = "has a coordinate system but no geotransform";
      return false;
    }
    info->width = GDALGetRasterXSize(ds.get());
    info->height = GDALGetRasterYSize(ds.get());
    std::copy(gt, gt + 6, info->geoTransform);
    const char* datum = OSRGetAttrValue(srs, "VERT_CS", 0);
    info->datum = datum ? datum : "";
    char* wkt = nullptr;
    OSRExportToWkt(srs, &wkt);
    info->srs = wkt ? wkt : "";
    CPLFree(wkt);
    GDALRasterBandH band = GDALGetRasterBand(ds.get(), 1);
    if (!ReadValues(band, srs, info, why)) return false;
    switch (GDALGetRasterDataType(band)) {
      case GDT_Byte: case GDT_Int16: case GDT_UInt16: case GDT_Float32: break;
      default: info->wideValues = true;
    }
    info->geographic = OSRIsGeographic(srs) != 0;
    if (info->geographic && gt[2] == 0 && gt[4] == 0) {
      const double x0 = gt[0], x1 = gt[0] + gt[1] * info->width;
      const double y0 = gt[3], y1 = gt[3] + gt[5] * info->height;
      info->west = std::min(x0, x1);
      info->east = std::max(x0, x1);
      info->south = std::min(y0, y1);
      info->north = std::max(y0, y1);
      info->spacing = std::min(std::fabs(gt[1]), std::fabs(gt[5]));
      Srs wgs84 = Wgs84();
      info->lonLat = OSRIsSameGeogCS(srs, wgs84.get()) != 0;
      return true;
    }
    info->geographic = false;  // a rotated grid is reprojected like a projected one
    return MeasureProjected(srs, gt, info, why);
  }

  std::unique_ptr<Mosaic> OpenMosaic(const std::vector<MosaicMember>& members, std::string* why) override {
    if (members.empty()) {
      *why = "no source";
      return nullptr;
    }
    auto mosaic = std::make_unique<GdalMosaic>(members, why);
    if (!mosaic->ok()) return nullptr;
    return mosaic;
  }

 private:
  VsiArchives archives_;
};

}  // namespace
}  // namespace srtm::cli

extern "C" __attribute__((visibility("default"))) srtm::cli::RasterEngine* SrtmRasterEngine(const char* interface) {
  if (!interface || std::strcmp(interface, srtm::cli::kRasterEngineInterface) != 0) return nullptr;
  static srtm::cli::GdalEngine engine;
  return &engine;
}
