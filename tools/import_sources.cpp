// srtm import's sources: which of the files, folders and archive members named are
// tiles (by the tool's own rule: the name starts with the corner, the size tells the
// kind), which are rasters (measured by the raster engine), and which are passed over.
// Sources are named by paths of this system, as the user typed them, and read by them.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "hgt/paths.h"
#include "tools/import.h"

namespace srtm::cli {
namespace {

constexpr const char* kSrtmDatum = "EGM96 geoid (SRTM)";
constexpr int kMaxFolderDepth = 32;

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return text;
}

bool EndsWith(const std::string& text, const char* suffix) {
  const std::string s = suffix;
  return text.size() >= s.size() && Lower(text.substr(text.size() - s.size())) == s;
}

std::string BaseName(const std::string& path) {
  const std::size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// 25934402 -> "25,934,402".
std::string Grouped(std::uint64_t n) {
  std::string digits = std::to_string(n), out;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

// "a, b, c and 4 more".
std::string Some(const std::vector<std::string>& names) {
  std::string text;
  const std::size_t shown = std::min<std::size_t>(names.size(), 3);
  for (std::size_t i = 0; i < shown; ++i) text += (i == 0 ? "" : ", ") + names[i];
  if (names.size() > shown) text += " and " + std::to_string(names.size() - shown) + " more";
  return text;
}

// The Copernicus DEM's auxiliary rasters (editing, filling, height error and water body
// masks), shipped beside the heights (…_DEM.tif): known by their names alone.
bool IsCopernicusAuxiliary(const std::string& name) {
  for (const char* suffix : {"_edm.tif", "_flm.tif", "_hem.tif", "_wbm.tif"}) {
    if (EndsWith(name, suffix)) return true;
  }
  return false;
}

// A file's size in bytes; 0 when it cannot be told.
std::uint64_t SizeOf(const std::string& path) {
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(path, error);
  return error ? 0 : static_cast<std::uint64_t>(size);
}

void DescribeTile(std::int32_t kind, int lat, int lon, RasterInfo* r) {
  const int n = kind == kSrtm1 ? 3601 : 1201;
  r->width = r->height = n;
  r->spacing = 1.0 / (n - 1);
  const double half = r->spacing / 2;
  r->west = lon - half;
  r->east = lon + 1 + half;
  r->south = lat - half;
  r->north = lat + 1 + half;
  r->datum = kSrtmDatum;
  r->geographic = r->lonLat = true;
}

// What a folder or an archive passed over, told in one note.
struct Container {
  explicit Container(std::string name) : label(std::move(name)) {}
  std::string label;
  std::size_t found = 0;
  std::vector<std::string> auxiliary, notRasters, needEngine;
  std::string engineWhy;
};

class Finder {
 public:
  Finder(EngineLoader load, std::vector<ImportSource>* sources, std::vector<std::string>* errors,
         std::vector<std::string>* notes)
      : load_(load), sources_(sources), errors_(errors), notes_(notes) {}

  void Take(const std::string& file) {
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(file, error);
    if (!std::filesystem::exists(status)) {
      errors_->push_back(file + ": does not exist");
      return;
    }
    if (std::filesystem::is_directory(status)) {
      std::string label = file;
      while (label.size() > 1 && label.back() == '/') label.pop_back();
      Container folder(label);
      Walk(label, "", 0, &folder);
      Close(folder);
      return;
    }
    if (ArchiveKindOf(file) == ArchiveKind::kGzip) {
      TakeGzip(file);
      return;
    }
    if (ArchiveKindOf(file) != ArchiveKind::kNone) {
      Container archive(file);
      OpenArchive(file, &archive);
      Close(archive);
      return;
    }
    ImportSource s;
    s.label = file;
    s.path = file;
    s.location = file;
    const std::uint64_t size = SizeOf(file);
    std::string why;
    if (TakeTile(BaseName(file), size, &s, &why) || (why.empty() && TakeRaster(&s, &why))) {
      sources_->push_back(s);
    } else {
      errors_->push_back(file + ": " + why);
    }
  }

 private:
  RasterEngine* Engine(std::string* why) {
    if (!engine_ && engineWhy_.empty()) {
      engine_ = load_(&engineWhy_);
      if (!engine_ && engineWhy_.empty()) engineWhy_ = "no raster engine";
    }
    if (!engine_) *why = engineWhy_;
    return engine_;
  }

  // An SRTM tile by its name and size. False with an empty *why when it is none (a
  // raster, maybe), with the reason when its name says it is a tile and it is not one.
  bool TakeTile(const std::string& name, std::uint64_t size, ImportSource* s, std::string* why) {
    const std::int32_t kind = size == kSrtm1FileSize ? kSrtm1 : size == kSrtm3FileSize ? kSrtm3 : kNotTile;
    const bool corner = name.size() >= 7 && ParseTileName(name.substr(0, 7) + ".hgt", &s->tileLat, &s->tileLon);
    if (corner && kind != kNotTile) {
      s->tileKind = kind;
      DescribeTile(kind, s->tileLat, s->tileLon, &s->raster);
      return true;
    }
    if (!EndsWith(name, ".hgt")) return false;
    if (kind == kNotTile) {
      if (s->archive && !s->archive->Read(s->member, &scratch_, why)) {
        *why = "cannot be read, damaged or cut short (" + *why + ")";
      } else {
        *why = "a tile of " + Grouped(size) + " bytes: not an SRTM size (an SRTM-1 tile has " +
               Grouped(kSrtm1FileSize) + " bytes, an SRTM-3 tile " + Grouped(kSrtm3FileSize) + ")";
      }
      scratch_.clear();
    } else {
      *why = std::string("the size of an SRTM-") + (kind == kSrtm1 ? "1" : "3") +
             " tile, but its name does not start with the tile's corner (such as N57E011): rename it";
    }
    return false;
  }

  // A gzip file: the one file it holds, named as the gzip file.
  void TakeGzip(const std::string& file) {
    std::string why;
    RasterEngine* engine = Engine(&why);
    std::vector<ArchiveMember> members;
    if (!engine || !engine->Archives().List(file, ArchiveKind::kGzip, &members, &why)) {
      errors_->push_back(file + ": " + why);
      return;
    }
    ImportSource s;
    s.label = file;
    s.archive = &engine->Archives();
    s.member = members[0];
    s.location = members[0].location;
    if (TakeTile(members[0].name, members[0].size, &s, &why) || (why.empty() && TakeRaster(&s, &why))) {
      sources_->push_back(s);
    } else {
      errors_->push_back(file + ": " + why);
    }
  }

  // A raster the engine can use; false with the reason.
  bool TakeRaster(ImportSource* s, std::string* why) {
    RasterEngine* engine = Engine(why);
    return engine && engine->Measure(s->location, &s->raster, why);
  }

  // One file of a folder or member of an archive: taken, or passed over with a note.
  void TakeMember(ImportSource s, std::uint64_t size, const std::string& name, Container* c) {
    std::string why;
    if (TakeTile(BaseName(name), size, &s, &why)) {
      sources_->push_back(s);
      ++c->found;
      return;
    }
    if (!why.empty()) {
      notes_->push_back(s.label + ": passed over: " + why);
      return;
    }
    if (IsCopernicusAuxiliary(name)) {
      c->auxiliary.push_back(name);
      return;
    }
    if (s.archive && ArchiveKindOf(name) != ArchiveKind::kNone) {
      notes_->push_back(s.label + ": passed over: an archive inside an archive, which import does not open: "
                                  "unpack it first");
      return;
    }
    if (!Engine(&why)) {
      c->needEngine.push_back(name);
      c->engineWhy = why;
      return;
    }
    if (engine_->Measure(s.location, &s.raster, &why)) {
      sources_->push_back(s);
      ++c->found;
    } else if (why.compare(0, 16, "is not a raster ") == 0) {
      c->notRasters.push_back(name);
    } else {
      notes_->push_back(s.label + ": passed over: " + why);
    }
  }

  // A folder's files, at every depth, sorted by name; archives in it opened too.
  // `relative`: the folder's path below the one the user named ("" for that one).
  void Walk(const std::string& path, const std::string& relative, int depth, Container* c) {
    const std::string label = relative.empty() ? c->label : c->label + "/" + relative;
    std::vector<std::pair<std::string, bool>> entries;  // name, is a folder
    std::error_code error;
    for (std::filesystem::directory_iterator it(path, error), end; !error && it != end; it.increment(error)) {
      std::error_code kind;
      entries.emplace_back(it->path().filename().string(), it->is_directory(kind));
    }
    if (error) {
      notes_->push_back(label + ": cannot be read as a folder (" + error.message() + ")");
      return;
    }
    std::sort(entries.begin(), entries.end());
    for (const auto& [name, isFolder] : entries) {
      const std::string childPath = path + "/" + name;
      const std::string childRelative = relative.empty() ? name : relative + "/" + name;
      if (isFolder) {
        if (depth < kMaxFolderDepth) Walk(childPath, childRelative, depth + 1, c);
        continue;
      }
      ImportSource s;
      s.label = c->label + "/" + childRelative;
      if (ArchiveKindOf(name) != ArchiveKind::kNone) {
        Container archive(s.label);
        OpenArchive(s.label, &archive);
        c->found += archive.found;
        Close(archive);
        continue;
      }
      s.path = childPath;
      s.location = s.label;
      TakeMember(s, SizeOf(childPath), childRelative, c);
    }
  }

  void OpenArchive(const std::string& file, Container* c) {
    std::string why;
    RasterEngine* engine = Engine(&why);
    if (!engine) {
      c->engineWhy = why;
      c->needEngine.push_back(file);
      return;
    }
    ArchiveReader& reader = engine->Archives();
    std::vector<ArchiveMember> members;
    if (!reader.List(file, ArchiveKindOf(file), &members, &why)) {
      notes_->push_back(file + ": " + why);
      return;
    }
    std::sort(members.begin(), members.end(),
              [](const ArchiveMember& a, const ArchiveMember& b) { return a.name < b.name; });
    for (const ArchiveMember& m : members) {
      ImportSource s;
      s.label = file + "/" + m.name;
      s.archive = &reader;
      s.member = m;
      s.location = m.location;
      TakeMember(s, m.size, m.name, c);
    }
  }

  // The container's one note of what it passed over, and an error when it gave nothing.
  void Close(const Container& c) {
    std::string passed;
    if (!c.auxiliary.empty()) {
      passed += std::to_string(c.auxiliary.size()) +
                " auxiliary raster" + (c.auxiliary.size() == 1 ? "" : "s") +
                " of the Copernicus DEM (editing, filling, height error and water body masks, not heights: " +
                Some(c.auxiliary) + ")";
    }
    if (!c.notRasters.empty()) {
      passed += std::string(passed.empty() ? "" : "; ") + std::to_string(c.notRasters.size()) + " file" +
                (c.notRasters.size() == 1 ? "" : "s") + " that GDAL does not read as a raster (" +
                Some(c.notRasters) + ")";
    }
    if (!c.needEngine.empty()) {
      passed += std::string(passed.empty() ? "" : "; ") + Some(c.needEngine) + ", not read: " + c.engineWhy;
    }
    if (!passed.empty()) notes_->push_back(c.label + ": passed over " + passed);
    if (c.found == 0) errors_->push_back(c.label + ": holds no tile or raster import can use");
  }

  EngineLoader load_;
  RasterEngine* engine_ = nullptr;
  std::string engineWhy_;
  std::vector<ImportSource>* sources_;
  std::vector<std::string>* errors_;
  std::vector<std::string>* notes_;
  std::vector<unsigned char> scratch_;
};

}  // namespace

ArchiveKind ArchiveKindOf(const std::string& name) {
  if (EndsWith(name, ".zip")) return ArchiveKind::kZip;
  if (EndsWith(name, ".tar") || EndsWith(name, ".tar.gz") || EndsWith(name, ".tgz")) return ArchiveKind::kTar;
  if (EndsWith(name, ".gz")) return ArchiveKind::kGzip;
  return ArchiveKind::kNone;
}

std::string ImportSource::Describe() const {
  char text[160];
  if (tileKind != 0) {
    std::snprintf(text, sizeof text, "SRTM-%d tile %s", tileKind, FormatTilePath("", tileLat, tileLon).substr(1).c_str());
  } else {
    std::snprintf(text, sizeof text, "%d x %d samples, %.3g arc-seconds, %.4f..%.4f N, %.4f..%.4f E", raster.width,
                  raster.height, raster.spacing * 3600, raster.south, raster.north, raster.west, raster.east);
  }
  std::string out = text;
  if (!raster.valueNote.empty()) out += ", " + raster.valueNote;
  return out + ", vertical datum " + (raster.datum.empty() ? std::string("not given") : raster.datum);
}

void FindSources(const std::vector<std::string>& files, EngineLoader engine, std::vector<ImportSource>* sources,
                 std::vector<std::string>* errors, std::vector<std::string>* notes) {
  Finder finder(engine, sources, errors, notes);
  for (const std::string& file : files) finder.Take(file);
}

}  // namespace srtm::cli
