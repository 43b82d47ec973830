// srtm import's sources: which of the files, folders and archive members named are
// tiles (by the tool's own rule: the name starts with the corner, the size tells the
// kind), which are rasters (measured by the raster engine), and which are passed over.
//
// Sources are named by the paths the user typed, the system's own (code page 932 in the
// Windows world, UTF-8 natively), and handed to the platform layer and the archive
// readers in its form (platform::FromUserPath). Archives are listed and read by the
// project's readers, the same in both worlds.
#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "hgt/paths.h"
#include "platform/platform.h"
#include "tools/cli_util.h"
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

// `name` in the folder `folder`, with the system's separator.
std::string Join(const std::string& folder, const std::string& name) {
  const bool endsInSeparator = !folder.empty() && platform::NameStart(folder) == folder.size();
  return endsInSeparator ? folder + name : folder + kPathSeparator + name;
}

// A name that says the file is an archive import opens.
bool ArchiveName(const std::string& name) {
  for (const char* suffix : {".zip", ".tar", ".gz", ".tgz"}) {
    if (EndsWith(name, suffix)) return true;
  }
  return false;
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
  // A label of something in it, without the container's: "DEM/x_DEM.tif".
  std::string Inside(const std::string& inner) const {
    return inner.size() > label.size() + 1 && inner.compare(0, label.size(), label) == 0
               ? inner.substr(label.size() + (platform::NameStart(label) == label.size() ? 0 : 1))
               : inner;
  }
  std::string label;
  std::size_t found = 0;
  std::vector<std::string> auxiliary, notRasters, needEngine;
  std::string engineWhy;
};

class Finder {
 public:
  Finder(EngineLoader load, ArchiveReader* archives, std::vector<ImportSource>* sources,
         std::vector<std::string>* errors, std::vector<std::string>* notes)
      : load_(load), archives_(archives), sources_(sources), errors_(errors), notes_(notes) {}

  void Take(const std::string& file) {
    switch (platform::Inspect(platform::FromUserPath(file).c_str())) {
      case platform::PathKind::kMissing: errors_->push_back(file + ": does not exist"); return;
      case platform::PathKind::kFolder: {
        Container folder(file);
        Walk(file, file, 0, &folder);
        Close(folder);
        return;
      }
      default: TakeFile(file, file, nullptr);
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
        *why = "cannot be read (" + *why + ")";
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

  // A raster the engine can use; false with the reason. `member`: where it lies in the
  // archive at s->path, when it is in one.
  bool TakeRaster(ImportSource* s, const archive::Member* member, std::string* why) {
    RasterEngine* engine = Engine(why);
    if (engine && member) s->location = engine->MemberLocation(s->path, member->steps);
    return engine && engine->Measure(s->location, &s->raster, why);
  }

  // One file, or member of an archive, named `name`: a tile or a raster, else what it
  // is not. In a container `c` what is passed over goes into its note; named by the
  // user (no container) it is an error.
  void TakeOne(ImportSource s, const std::string& name, std::uint64_t size, const archive::Member* member,
               Container* c) {
    std::string why;
    bool taken = TakeTile(name, size, &s, &why);
    if (!taken && why.empty() && c && IsCopernicusAuxiliary(name)) {
      c->auxiliary.push_back(c->Inside(s.label));
      return;
    }
    const bool tileLike = !why.empty();
    if (!taken && !tileLike) taken = TakeRaster(&s, member, &why);
    if (taken) {
      sources_->push_back(s);
      if (c) ++c->found;
    } else if (!c) {
      errors_->push_back(s.label + ": " + why);
    } else if (!tileLike && !engine_) {
      c->needEngine.push_back(c->Inside(s.label));
      c->engineWhy = why;
    } else if (!tileLike && why.compare(0, 16, "is not a raster ") == 0) {
      c->notRasters.push_back(c->Inside(s.label));
    } else {
      notes_->push_back(s.label + ": passed over: " + why);
    }
  }

  // A file at `path` of the system, labelled `label`; in the folder `c`, or named by the
  // user when null. Its name or its first bytes tell an archive.
  void TakeFile(const std::string& path, const std::string& label, Container* c) {
    const std::string name = label.substr(platform::NameStart(label));
    ImportSource s;
    s.label = label;
    s.path = s.location = path;
    std::uint64_t size = 0;
    platform::GetFileSize(platform::FromUserPath(path).c_str(), &size);
    if (!ArchiveName(name) && (size == kSrtm1FileSize || size == kSrtm3FileSize || EndsWith(name, ".hgt"))) {
      TakeOne(s, name, size, nullptr, c);
      return;
    }
    std::string why;
    std::size_t number = 0;
    const archive::Reader* listing = archives_->Open(platform::FromUserPath(path), label, &number, &why);
    if (!listing) {
      errors_->push_back(why);
    } else if (listing->format() != archive::Format::kNone) {
      TakeArchive(*listing, number, path, label, c);
    } else if (ArchiveName(name)) {
      errors_->push_back(label + ": " + (size == 0 ? "an empty file" : "no zip, tar or gzip: its bytes are of none") +
                         ", though its name says it is an archive");
    } else {
      TakeOne(s, name, size, nullptr, c);
    }
  }

  // The members of an archive, nested ones included, sorted by label; what could not be
  // opened through or read named.
  void TakeArchive(const archive::Reader& listing, std::size_t number, const std::string& path,
                   const std::string& label, Container* in) {
    for (const Status& problem : listing.problems()) errors_->push_back(problem.message());
    const std::vector<archive::Member>& members = listing.members();
    std::vector<std::size_t> order(members.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return members[a].label < members[b].label; });
    Container archive(label);
    for (std::size_t i : order) {
      const archive::Member& m = members[i];
      ImportSource s;
      s.label = m.label;
      s.path = path;
      s.archive = archives_;
      s.member = ArchiveMember{number, i};
      // A gzip of one file stands for that file: what is wrong with it is wrong with the file.
      const bool itself = m.label == label;
      TakeOne(s, m.name, m.size, &m, itself ? in : &archive);
      if (itself) return;
    }
    if (in) in->found += archive.found;
    Close(archive);
  }

  // A folder's files, at every depth, sorted by name; archives in it opened too.
  void Walk(const std::string& path, const std::string& label, int depth, Container* c) {
    std::vector<platform::DirEntry> entries;
    // The separator given, so that a name ending in a double-byte character whose trail
    // byte is a backslash's is not taken for one that ends in a separator.
    if (!platform::FindFiles(platform::FromUserPath(path + kPathSeparator).c_str(), "*", &entries)) {
      notes_->push_back(label + ": cannot be read as a folder");
      return;
    }
    std::sort(entries.begin(), entries.end(),
              [](const platform::DirEntry& a, const platform::DirEntry& b) { return a.name < b.name; });
    for (const platform::DirEntry& e : entries) {
      if (!e.isDirectory) {
        TakeFile(Join(path, e.name), Join(label, e.name), c);
      } else if (depth < kMaxFolderDepth) {
        Walk(Join(path, e.name), Join(label, e.name), depth + 1, c);
      }
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
  ArchiveReader* archives_;
  std::vector<ImportSource>* sources_;
  std::vector<std::string>* errors_;
  std::vector<std::string>* notes_;
  std::vector<unsigned char> scratch_;
};

}  // namespace

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

void FindSources(const std::vector<std::string>& files, EngineLoader engine, ArchiveReader* archives,
                 std::vector<ImportSource>* sources, std::vector<std::string>* errors, std::vector<std::string>* notes) {
  Finder finder(engine, archives, sources, errors, notes);
  for (const std::string& file : files) finder.Take(file);
}

}  // namespace srtm::cli
