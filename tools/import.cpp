#include "tools/import.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "hgt/paths.h"
#include "platform/output_file.h"
#include "platform/platform.h"

namespace srtm::cli {
namespace {

constexpr int kStripRows = 512;  // tile rows resampled at a time from longitude-latitude rasters
constexpr unsigned char kVoidHigh = 0x80;  // -32768, big-endian: 0x80 0x00

int SamplesOf(std::int32_t kind) { return kind == kSrtm1 ? 3601 : 1201; }
double SpacingOf(std::int32_t kind) { return kind == kSrtm1 ? 1.0 / 3600 : 1.0 / 1200; }
std::string TileName(int lat, int lon) { return FormatTilePath("", lat, lon).substr(1); }

// A whole-degree longitude brought into -180..179.
int WrapLongitude(int lon) { return ((lon + 180) % 360 + 360) % 360 - 180; }

bool IsVoid(const unsigned char* sample) { return sample[0] == kVoidHigh && sample[1] == 0; }
int SampleAt(const std::vector<unsigned char>& bytes, std::size_t i) {
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(bytes[2 * i] << 8 | bytes[2 * i + 1]));
}
void PutSample(unsigned char* sample, int value) {
  const auto u = static_cast<std::uint16_t>(static_cast<std::int16_t>(value));
  sample[0] = static_cast<unsigned char>(u >> 8);
  sample[1] = static_cast<unsigned char>(u & 0xFF);
}

bool NameLess(const std::string& a, const std::string& b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const int x = std::tolower(static_cast<unsigned char>(a[i])), y = std::tolower(static_cast<unsigned char>(b[i]));
    if (x != y) return x < y;
  }
  return a.size() < b.size();
}

// How far beyond its extent a source's samples reach tile samples through resampling
// (cubic reaches one and a half samples beyond its last sample's centre; a tile
// sample's footprint half a sample of its own), in degrees.
double Reach(const RasterInfo& r, double tileSpacing) { return 1.5 * r.spacing + tileSpacing / 2; }

// ---- Sources one after another that are read together ----

struct Run {
  bool tiles = false;  // SRTM tiles of one kind, read by the tool's own code
  std::int32_t kind = 0;
  std::vector<std::pair<const ImportSource*, double>> members;  // with their longitude shifts
};

bool SameGrid(const ImportSource& a, double shiftA, const ImportSource& b, double shiftB) {
  const RasterInfo &x = a.raster, &y = b.raster;
  if (a.tileKind != 0 || b.tileKind != 0) return a.tileKind == b.tileKind;
  if (x.srs != y.srs || x.geographic != y.geographic) return false;
  const double* g = x.geoTransform;
  const double* h = y.geoTransform;
  const auto close = [](double p, double q) { return std::fabs(p - q) <= 1e-9 * std::max(std::fabs(p), std::fabs(q)); };
  if (!close(g[1], h[1]) || !close(g[5], h[5]) || g[2] != h[2] || g[4] != h[4] || g[2] != 0 || g[4] != 0) return false;
  const double dx = (h[0] + shiftB - g[0] - shiftA) / g[1], dy = (h[3] - g[3]) / g[5];
  return std::fabs(dx - std::round(dx)) < 1e-6 && std::fabs(dy - std::round(dy)) < 1e-6;
}

std::vector<Run> FormRuns(const ImportTile& tile, const std::vector<ImportSource>& sources) {
  std::vector<Run> runs;
  for (const auto& [k, shift] : tile.sources) {
    const ImportSource& s = sources[k];
    if (runs.empty() || !SameGrid(*runs.back().members[0].first, runs.back().members[0].second, s, shift)) {
      runs.emplace_back();
      runs.back().tiles = s.tileKind != 0;
      runs.back().kind = s.tileKind;
    }
    runs.back().members.emplace_back(&s, shift);
  }
  return runs;
}

// ---- The tile being made ----

struct Canvas {
  std::int32_t kind;
  int n;
  int lat, lon;
  std::vector<unsigned char> bytes;  // big-endian samples, void until a source gives one
  std::vector<std::uint8_t> invalid;  // 1 where a source holds a value no tile can hold (when any)
  std::size_t voids;

  explicit Canvas(const TileJob& job)
      : kind(job.kind), n(SamplesOf(job.kind)), lat(job.lat), lon(job.lon),
        bytes(static_cast<std::size_t>(n) * n * 2, 0), voids(static_cast<std::size_t>(n) * n) {
    for (std::size_t i = 0; i < bytes.size(); i += 2) bytes[i] = kVoidHigh;
  }
  bool Void(std::size_t i) const { return IsVoid(&bytes[2 * i]); }
  // Takes a height (metres) for a void sample; false when it is beyond what a tile holds.
  bool Take(std::size_t i, double metres) {
    const double r = std::floor(metres + 0.5);
    if (!(r >= -32767 && r <= 32767)) {
      MarkInvalid(i);
      return false;
    }
    PutSample(&bytes[2 * i], static_cast<int>(r));
    --voids;
    return true;
  }
  void MarkInvalid(std::size_t i) {
    if (invalid.empty()) invalid.assign(static_cast<std::size_t>(n) * n, 0);
    invalid[i] = 1;
  }
};

// ---- Tiles read by the tool's own code ----

// A tile source's bytes, all of them; false with the reason naming it.
bool ReadTile(const ImportSource& s, std::vector<unsigned char>* bytes, std::string* why) {
  const std::uint64_t size = s.tileKind == kSrtm1 ? kSrtm1FileSize : kSrtm3FileSize;
  if (s.archive) {
    if (!s.archive->Read(s.member, bytes, why)) return false;  // the reader's message names archive and member
  } else {
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(std::fopen(s.path.c_str(), "rb"), std::fclose);
    bytes->resize(size);
    if (!f || std::fread(bytes->data(), 1, bytes->size(), f.get()) != size) {
      *why = s.label + ": cannot be read whole";
      return false;
    }
  }
  if (bytes->size() != size) {
    *why = s.label + ": no longer the size of a tile";
    return false;
  }
  return true;
}

// Tiles of one kind read as one mosaic. Where tiles meet they share their edge samples;
// such a sample comes from the first of them that has a value there, the tile being
// made ranking first, so that a tile comes out as it is wherever it has values.
class TileMosaic {
 public:
  TileMosaic(const Run& run, const Canvas& canvas) : kind_(run.kind), perDegree_(SamplesOf(run.kind) - 1) {
    for (const auto& [s, shift] : run.members) {
      Member m;
      m.source = s;
      m.x0 = static_cast<long>(s->tileLon + shift) * perDegree_;
      m.y0 = static_cast<long>(s->tileLat) * perDegree_;
      m.slot = members_.size();
      const bool own = s->tileKind == canvas.kind && s->tileLat == canvas.lat && s->tileLon + shift == canvas.lon;
      members_.insert(own ? members_.begin() + static_cast<long>(owners_++) : members_.end(), std::move(m));
    }
  }
  // The members in report order (as listed), and the error that stopped the reading.
  std::size_t size() const { return members_.size(); }
  const std::string& error() const { return error_; }

  // Fills the canvas's voids; counts[slot] receives the samples taken from each member.
  void Fill(Canvas* canvas, Resampling resampling, std::vector<std::int64_t>* counts) {
    counts->assign(members_.size(), 0);
    if (kind_ == canvas->kind) {
      FillSameKind(canvas, counts);
    } else {
      FillOtherKind(canvas, resampling, counts);
    }
  }

 private:
  struct Member {
    const ImportSource* source = nullptr;
    long x0 = 0, y0 = 0;  // its south-west sample on the kind's grid (x east, y north)
    std::size_t slot = 0;
    bool loaded = false;
    std::vector<unsigned char> bytes;
  };

  bool Load(Member* m) {
    if (!m->loaded) {
      m->loaded = true;
      if (!ReadTile(*m->source, &m->bytes, &error_)) m->bytes.clear();
    }
    return !m->bytes.empty();
  }

  // The sample at (x, y) of the kind's grid: the value, or VOID_SAMPLE; *slot the member.
  int At(long x, long y, std::size_t* slot) {
    for (Member& m : members_) {
      if (x < m.x0 || x > m.x0 + perDegree_ || y < m.y0 || y > m.y0 + perDegree_ || !Load(&m)) continue;
      const std::size_t i = static_cast<std::size_t>(m.y0 + perDegree_ - y) * (perDegree_ + 1) +
                            static_cast<std::size_t>(x - m.x0);
      const int v = SampleAt(m.bytes, i);
      if (v != VOID_SAMPLE) {
        *slot = m.slot;
        return v;
      }
    }
    return VOID_SAMPLE;
  }

  // The same grid: each member's square laid over the canvas where it is void.
  void FillSameKind(Canvas* c, std::vector<std::int64_t>* counts) {
    const long cx0 = static_cast<long>(c->lon) * perDegree_, cy0 = static_cast<long>(c->lat) * perDegree_;
    for (Member& m : members_) {
      const long col0 = std::max(0L, m.x0 - cx0), col1 = std::min<long>(perDegree_, m.x0 + perDegree_ - cx0);
      const long row0 = std::max(0L, cy0 - m.y0), row1 = std::min<long>(perDegree_, cy0 + perDegree_ - m.y0);
      if (col0 > col1 || row0 > row1 || c->voids == 0) continue;
      bool needed = false;  // any void in its part of the canvas
      for (long row = row0; row <= row1 && !needed; ++row) {
        for (long col = col0; col <= col1 && !needed; ++col) needed = c->Void(static_cast<std::size_t>(row) * c->n + col);
      }
      if (!needed || !Load(&m)) continue;
      for (long row = row0; row <= row1; ++row) {
        const long mrow = row + (m.y0 - cy0);  // the member's row of the canvas's row
        for (long col = col0; col <= col1; ++col) {
          const std::size_t i = static_cast<std::size_t>(row) * c->n + col;
          const std::size_t j = static_cast<std::size_t>(mrow) * c->n + (col + cx0 - m.x0);
          if (!c->Void(i) || IsVoid(&m.bytes[2 * j])) continue;
          c->bytes[2 * i] = m.bytes[2 * j];
          c->bytes[2 * i + 1] = m.bytes[2 * j + 1];
          --c->voids;
          ++(*counts)[m.slot];
        }
      }
    }
  }

  // Another grid (SRTM-1 from SRTM-3 tiles or the reverse): the kernels GDAL's warper
  // applies, on the mosaic's samples.
  void FillOtherKind(Canvas* c, Resampling resampling, std::vector<std::int64_t>* counts) {
    const double ratio = static_cast<double>(perDegree_) / (c->n - 1);  // our samples per canvas sample
    const long x0 = static_cast<long>(c->lon) * perDegree_, y1 = static_cast<long>(c->lat + 1) * perDegree_;
    for (int row = 0; row < c->n && c->voids > 0; ++row) {
      for (int col = 0; col < c->n; ++col) {
        const std::size_t i = static_cast<std::size_t>(row) * c->n + col;
        if (!c->Void(i)) continue;
        std::size_t slot = 0;
        const double dx = static_cast<double>(static_cast<long>(col) * perDegree_) / (c->n - 1);
        const double dy = static_cast<double>(static_cast<long>(row) * perDegree_) / (c->n - 1);
        const double v = Kernel(x0 + dx, y1 - dy, ratio, resampling, &slot);
        if (!std::isnan(v) && c->Take(i, v)) ++(*counts)[slot];
      }
    }
  }

  // The value at (x, y) of the mosaic (not a sample of it in general); NaN for none.
  double Kernel(double x, double y, double ratio, Resampling resampling, std::size_t* slot) {
    const long nx = std::lround(x), ny = std::lround(y);
    if (resampling == Resampling::kNearest || (resampling == Resampling::kAverage && ratio < 1)) {
      const int v = At(nx, ny, slot);
      return v == VOID_SAMPLE ? std::nan("") : v;
    }
    if (resampling == Resampling::kAverage) {  // ratio 3: the mean of the 3 x 3 samples its area covers
      const long half = std::lround((ratio - 1) / 2);
      double sum = 0;
      int count = 0;
      for (long dy = -half; dy <= half; ++dy) {
        for (long dx = -half; dx <= half; ++dx) {
          const int v = At(nx + dx, ny + dy, count == 0 ? slot : &unused_);
          if (v == VOID_SAMPLE) continue;
          sum += v;
          ++count;
        }
      }
      return count > 0 ? sum / count : std::nan("");
    }
    const long gx = static_cast<long>(std::floor(x)), gy = static_cast<long>(std::floor(y));
    const double fx = x - gx, fy = y - gy;
    if (resampling == Resampling::kCubic) {
      const double v = Cubic(gx, gy, fx, fy, slot);
      if (!std::isnan(v)) return v;
    }
    // Bilinear, over the neighbours that have values (as GDAL does at voids).
    double sum = 0, weights = 0, best = 0;
    for (int dy = 0; dy <= 1; ++dy) {
      for (int dx = 0; dx <= 1; ++dx) {
        const double w = (dx ? fx : 1 - fx) * (dy ? fy : 1 - fy);
        std::size_t s = 0;
        if (w <= 0) continue;
        const int v = At(gx + dx, gy + dy, &s);
        if (v == VOID_SAMPLE) continue;
        sum += w * v;
        weights += w;
        if (w > best) best = w, *slot = s;
      }
    }
    return weights > 1e-5 ? sum / weights : std::nan("");
  }

  // Cubic convolution (a = -0.5) over the 4 x 4 neighbours; NaN when one is void.
  double Cubic(long gx, long gy, double fx, double fy, std::size_t* slot) {
    const auto weights = [](double t, double w[4]) {
      const double a = -0.5;
      for (int k = 0; k < 4; ++k) {
        const double d = std::fabs(t - (k - 1));
        w[k] = d <= 1 ? ((a + 2) * d - (a + 3)) * d * d + 1 : d < 2 ? ((a * d - 5 * a) * d + 8 * a) * d - 4 * a : 0;
      }
    };
    double wx[4], wy[4];
    weights(fx, wx);
    weights(fy, wy);
    double sum = 0, best = 0;
    for (int ky = 0; ky < 4; ++ky) {
      for (int kx = 0; kx < 4; ++kx) {
        const double w = wx[kx] * wy[ky];
        if (w == 0) continue;
        std::size_t s = 0;
        const int v = At(gx + kx - 1, gy + ky - 1, &s);
        if (v == VOID_SAMPLE) return std::nan("");
        sum += w * v;
        if (std::fabs(w) > best) best = std::fabs(w), *slot = s;
      }
    }
    return sum;
  }

  std::int32_t kind_;
  long perDegree_;
  std::vector<Member> members_;
  std::size_t owners_ = 0;
  std::size_t unused_ = 0;
  std::string error_;
};

// ---- Rasters, through the engine ----

std::string MosaicLabel(const Run& run) {
  if (run.members.size() == 1) return run.members[0].first->label;
  std::string text = "the mosaic of " + run.members[0].first->label;
  const std::size_t shown = std::min<std::size_t>(run.members.size(), 3);
  for (std::size_t k = 1; k < shown; ++k) text += (k + 1 == run.members.size() ? " and " : ", ") + run.members[k].first->label;
  if (run.members.size() > shown) text += " and " + std::to_string(run.members.size() - shown) + " more";
  return text;
}

// Fills the canvas's voids from a run of rasters on one grid; the samples taken go to
// `counts` (one per member for a longitude-latitude run, by where each lies; one for the
// whole of a reprojected one). False with the reason.
bool FillFromRasters(const Run& run, Canvas* c, const ImportOptions& options, std::vector<std::int64_t>* counts,
                     const std::function<bool(double)>& keepGoing, std::string* why) {
  if (!options.engine) {
    *why = run.members[0].first->label + ": no raster engine";
    return false;
  }
  std::vector<MosaicMember> members;
  bool lonLat = true;
  for (const auto& [s, shift] : run.members) {
    members.push_back(MosaicMember{s->location, &s->raster, s->raster.geographic ? shift : 0});
    lonLat = lonLat && s->raster.lonLat;
  }
  counts->assign(lonLat ? run.members.size() : 1, 0);
  std::unique_ptr<Mosaic> mosaic = options.engine->OpenMosaic(members, why);
  if (!mosaic) {
    *why = MosaicLabel(run) + ": " + *why;
    return false;
  }
  // A reprojected source goes whole: the warper interpolates its transformation over
  // each piece of work, so other pieces would move samples by a fraction of a metre
  // from what gdalwarp gives.
  const int n = c->n;
  const int stripRows = lonLat ? kStripRows : n;
  const double spacing = 1.0 / (n - 1);
  std::vector<float> heights(static_cast<std::size_t>(stripRows) * n);
  std::vector<std::uint8_t> invalid;
  const int strips = (n + stripRows - 1) / stripRows;
  for (int strip = 0; strip < strips && c->voids > 0; ++strip) {
    const int row0 = strip * stripRows, rows = std::min(stripRows, n - row0);
    const std::size_t first = static_cast<std::size_t>(row0) * n, end = first + static_cast<std::size_t>(rows) * n;
    bool needed = false;
    for (std::size_t i = first; i < end && !needed; ++i) needed = c->Void(i);
    if (!needed) continue;
    const TileWindow window{c->lat, c->lon, n, row0, rows};
    const auto share = [&](double done) { return keepGoing((strip + done) / strips); };
    if (!mosaic->Resample(window, options.resampling, heights.data(), &invalid, share, why)) {
      if (*why != "stopped") *why = MosaicLabel(run) + ": " + *why;
      return false;
    }
    for (std::size_t i = first; i < end; ++i) {
      const float v = heights[i - first];
      if (!c->Void(i)) continue;
      if (std::isnan(v)) {
        if (!invalid.empty() && invalid[i - first]) c->MarkInvalid(i);
        continue;
      }
      if (!c->Take(i, v)) continue;
      std::size_t slot = 0;
      if (lonLat && run.members.size() > 1) {  // the first member whose extent holds it
        const double lat = c->lat + 1 - static_cast<double>(i / n) * spacing;
        const double lon = c->lon + static_cast<double>(i % n) * spacing;
        for (std::size_t k = 0; k < members.size(); ++k) {
          const RasterInfo& r = *members[k].info;
          if (lat >= r.south && lat <= r.north && lon >= r.west + members[k].lonShift &&
              lon <= r.east + members[k].lonShift) {
            slot = k;
            break;
          }
        }
      }
      ++(*counts)[slot];
    }
  }
  return true;
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

std::int64_t TileReport::Taken() const {
  std::int64_t n = 0;
  for (const auto& f : from) n += f.second;
  return n;
}

std::int32_t DefaultKind(const std::vector<ImportSource>& sources) {
  double finest = 1;
  for (const ImportSource& s : sources) finest = std::min(finest, s.raster.spacing);
  return finest * 3600 <= 1.5 + 1e-6 ? kSrtm1 : kSrtm3;
}

std::vector<ImportTile> PlanTiles(const std::vector<ImportSource>& sources, std::int32_t kind,
                                  const std::string& outputFolder, std::vector<std::string>* errors) {
  std::vector<ImportTile> tiles;
  std::map<std::pair<int, int>, std::size_t> index;  // (lat, lon) -> tiles[]
  const double spacing = SpacingOf(kind);
  // A tile is made for each degree a source covers by more than the half sample it
  // reaches over its edge and the half sample a tile's edge row is wide.
  for (const ImportSource& s : sources) {
    const RasterInfo& r = s.raster;
    const double margin = (r.spacing + spacing) / 2;
    bool any = false;
    for (int lat = std::max(-90, static_cast<int>(std::floor(r.south))); lat <= std::min(89, static_cast<int>(std::ceil(r.north)) - 1); ++lat) {
      for (int lon = static_cast<int>(std::floor(r.west)); lon <= static_cast<int>(std::ceil(r.east)) - 1; ++lon) {
        const double overlapY = std::min<double>(r.north, lat + 1) - std::max<double>(r.south, lat);
        const double overlapX = std::min<double>(r.east, lon + 1) - std::max<double>(r.west, lon);
        if (overlapY <= margin || overlapX <= margin) continue;
        any = true;
        const int wrapped = WrapLongitude(lon);
        if (index.emplace(std::make_pair(lat, wrapped), tiles.size()).second) {
          ImportTile t;
          t.job.kind = kind;
          t.job.lat = lat;
          t.job.lon = wrapped;
          t.job.path = FormatTilePath(outputFolder, lat, wrapped);
          t.job.name = TileName(lat, wrapped);
          tiles.push_back(t);
        }
      }
    }
    if (!any) {
      errors->push_back(s.label + ": covers no tile (it lies outside 90 S..90 N or is smaller than a sample)");
    }
  }
  // Every source that reaches a tile takes part in it, in the order listed, with the
  // shift that brings it beside the tile.
  for (std::size_t k = 0; k < sources.size(); ++k) {
    const RasterInfo& r = sources[k].raster;
    const double reach = Reach(r, spacing);
    for (int lat = static_cast<int>(std::floor(r.south - reach)); lat <= static_cast<int>(std::floor(r.north + reach)); ++lat) {
      for (int lon = static_cast<int>(std::floor(r.west - reach)); lon <= static_cast<int>(std::floor(r.east + reach)); ++lon) {
        if (std::max<double>(lat, r.south - reach) > std::min<double>(lat + 1, r.north + reach) ||
            std::max<double>(lon, r.west - reach) > std::min<double>(lon + 1, r.east + reach)) {
          continue;
        }
        const auto found = index.find(std::make_pair(lat, WrapLongitude(lon)));
        if (found == index.end()) continue;
        tiles[found->second].sources.emplace_back(k, WrapLongitude(lon) - lon);
      }
    }
  }
  std::sort(tiles.begin(), tiles.end(), [](const ImportTile& a, const ImportTile& b) { return NameLess(a.job.name, b.job.name); });
  return tiles;
}

TileReport MakeTile(const ImportTile& tile, const std::vector<ImportSource>& sources, const ImportOptions& options,
                    const std::function<bool(double)>& progress) {
  TileReport report;
  Canvas canvas(tile.job);
  report.samples = static_cast<std::int64_t>(canvas.voids);
  const std::string target = platform::ToNativePath(tile.job.path);
  std::string unwritten;  // why the tile could not be written
  const auto fail = [&](const std::string& why, bool output) {
    report.outcome = progress(0) ? ImportOutcome::kFailed : ImportOutcome::kStopped;
    report.error = why;
    report.notWritten = output;
    return report;
  };

  // What is where the tile goes: a tile there takes part last, unless replaced.
  platform::Env* env = platform::CurrentEnv();
  platform::Destination at;  // a loop of links is nothing here, and fails the write
  const std::string there = env->Locate(tile.job.path.c_str(), &at) ? at.path : tile.job.path;
  const platform::PathKind thereKind = at.kind;
  if (thereKind == platform::PathKind::kFolder) {
    return fail(target + ": is a folder, where this tile should be written", true);
  }
  if (options.skipExisting && thereKind != platform::PathKind::kMissing) {
    report.outcome = ImportOutcome::kSkipped;
    return report;
  }
  ImportSource existing;
  if (thereKind == platform::PathKind::kRegular && !options.replace) {
    std::uint64_t size = 0;
    env->GetFileSize(there.c_str(), &size);
    existing.tileKind = size == kSrtm1FileSize ? kSrtm1 : size == kSrtm3FileSize ? kSrtm3 : kNotTile;
    if (existing.tileKind == kNotTile) {
      return fail(target + ": is there and is not an SRTM tile (" + std::to_string(size) +
                      " bytes): left as it is (--replace replaces it)", true);
    }
    if (existing.tileKind == kSrtm1 && tile.job.kind == kSrtm3) {
      return fail(target + ": is an SRTM-1 tile, which an SRTM-3 tile would lose the detail of: left as it is "
                           "(--kind srtm1 merges into it, --replace replaces it)", true);
    }
    existing.label = "the tile there";
    existing.path = platform::ToNativePath(there);
    existing.tileLat = tile.job.lat;
    existing.tileLon = tile.job.lon;
  }
  const bool merging = existing.tileKind != kNotTile;
  const bool replacing = thereKind == platform::PathKind::kRegular && options.replace;
  report.there = thereKind == platform::PathKind::kRegular;

  std::vector<Run> runs = FormRuns(tile, sources);
  if (merging) {
    runs.emplace_back();
    runs.back().tiles = true;
    runs.back().kind = existing.tileKind;
    runs.back().members.emplace_back(&existing, 0.0);
  }
  const double steps = static_cast<double>(runs.size());
  std::int64_t copiedFromFirst = -1;  // samples the tile given as the first source gave
  for (std::size_t r = 0; r < runs.size() && canvas.voids > 0; ++r) {
    const Run& run = runs[r];
    const bool last = merging && r + 1 == runs.size();
    const auto keepGoing = [&](double done) { return progress((static_cast<double>(r) + done) / steps); };
    std::vector<std::int64_t> counts;
    if (run.tiles) {
      TileMosaic mosaic(run, canvas);
      mosaic.Fill(&canvas, options.resampling, &counts);
      if (!mosaic.error().empty()) {
        report.unreadable = true;
        return fail(mosaic.error(), false);
      }
      if (!keepGoing(1)) return fail("stopped", false);
    } else {
      std::string why;
      if (!FillFromRasters(run, &canvas, options, &counts, keepGoing, &why)) return fail(why, false);
    }
    if (last) {
      report.kept = counts[0];
      continue;
    }
    for (std::size_t k = 0; r == 0 && run.tiles && k < run.members.size(); ++k) {
      const ImportSource& s = *run.members[k].first;
      if (s.tileKind == canvas.kind && s.tileLat == canvas.lat && s.tileLon + run.members[k].second == canvas.lon) {
        copiedFromFirst = counts[k];
        break;
      }
    }
    if (run.tiles || counts.size() == run.members.size()) {
      for (std::size_t k = 0; k < counts.size(); ++k) report.from.emplace_back(run.members[k].first->label, counts[k]);
    } else {
      report.from.emplace_back(MosaicLabel(run), counts[0]);
    }
  }
  report.voids = static_cast<std::int64_t>(canvas.voids);
  if (!canvas.invalid.empty()) {
    for (std::size_t i = 0; i < canvas.invalid.size(); ++i) report.invalid += canvas.invalid[i] && canvas.Void(i);
  }

  const std::int64_t taken = report.Taken();
  if (taken == 0 && !merging) {
    report.outcome = ImportOutcome::kEmpty;
    return report;
  }
  if (!merging && static_cast<double>(taken) < options.minCover * static_cast<double>(report.samples)) {
    report.outcome = ImportOutcome::kLeftOut;
    return report;
  }
  if (merging && existing.tileKind == canvas.kind) {
    std::vector<unsigned char> old;
    std::string why;
    if (!ReadTile(existing, &old, &why)) return fail(why, false);
    if (old == canvas.bytes) {
      report.outcome = ImportOutcome::kUnchanged;
      return report;
    }
  }
  if (!progress(1)) return fail("stopped", false);
  if (!platform::WriteOutputFile(tile.job.path, canvas.bytes.data(), canvas.bytes.size(), &unwritten)) {
    return fail(target + ": " + unwritten, true);
  }
  report.outcome = copiedFromFirst == taken && report.kept == 0 ? ImportOutcome::kCopied
                   : merging                                    ? ImportOutcome::kMerged
                   : replacing                                  ? ImportOutcome::kReplaced
                                                                : ImportOutcome::kWritten;
  return report;
}

}  // namespace srtm::cli
