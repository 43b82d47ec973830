#include "tools/tile_check.h"

#include <cctype>
#include <cstdio>

#include "hgt/paths.h"
#include "platform/platform.h"

namespace srtm::cli {
namespace {

bool EndsWith(const std::string& name, const char* suffix) {
  const std::string s(suffix);
  if (name.size() < s.size()) return false;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(name[name.size() - s.size() + i])) != s[i]) return false;
  }
  return true;
}

// The first tile corner (N57E011, letter case ignored) anywhere in `name`.
bool FindCorner(const std::string& name, int* lat, int* lon) {
  for (std::size_t i = 0; i + 7 <= name.size(); ++i) {
    const std::string part = name.substr(i, 7) + ".hgt";
    if (ParseTileName(part, lat, lon)) return true;
  }
  return false;
}

std::string TileName(int lat, int lon) {
  std::string name;
  SplitPath(FormatTilePath("", lat, lon), nullptr, &name);
  return name;
}

}  // namespace

const char* KindName(std::int32_t kind) { return kind == kSrtm1 ? "SRTM-1" : kind == kSrtm3 ? "SRTM-3" : "no tile"; }

std::string Degrees(double value, bool latitude) {
  char text[40];
  const char hemisphere = latitude ? (value < 0 ? 'S' : 'N') : (value < 0 ? 'W' : 'E');
  std::snprintf(text, sizeof text, "%.10g %c", value < 0 ? -value : value, hemisphere);
  return text;
}

std::string OutsideTheGlobe(int lat, int lon) {
  if (lat < -90 || lat > 89) {
    return "latitude " + std::to_string(lat) + " is outside the globe (tiles run from S90 to N89)";
  }
  if (lon < -180 || lon > 179) {
    return "longitude " + std::to_string(lon) + " is outside the globe (tiles run from W180 to E179)";
  }
  return std::string();
}

TileCheck CheckTile(const std::string& userPath) {
  TileCheck check;
  const std::string path = platform::FromUserPath(userPath);
  std::string name;
  if (!SplitPath(path, nullptr, &name)) {
    check.problem = "the path is too long for a tile";
    return check;
  }
  const platform::PathKind what = platform::Inspect(path.c_str());
  if (what == platform::PathKind::kMissing) {
    check.problem = "no such file";
    return check;
  }
  if (what == platform::PathKind::kFolder) {
    check.problem = "a folder";
    return check;
  }
  int lat = 0, lon = 0;
  for (const char* archive : {".zip", ".gz", ".tgz", ".tar", ".bz2", ".xz", ".7z"}) {
    if (EndsWith(name, archive)) {
      check.problem = "an archive";
      check.download = true;
      return check;
    }
  }
  if (!ParseTileName(name, &lat, &lon)) {
    if (FindCorner(name, &lat, &lon)) {
      check.problem = "a downloaded name (a tile is named after its corner alone: " + TileName(lat, lon) + ")";
      check.download = true;
    } else {
      check.problem = "the name is not a tile's (NddEddd.hgt, such as N57E011.hgt)";
    }
    return check;
  }
  check.problem = OutsideTheGlobe(lat, lon);
  if (!check.problem.empty()) return check;
  check.named = true;
  check.lat = lat;
  check.lon = lon;
  check.kind = ClassifyHgtFile(path);
  if (check.kind != kNotTile) return check;
  std::uint64_t size = 0;
  if (!platform::GetFileSize(path.c_str(), &size)) {
    check.problem = "it cannot be read";
  } else {
    check.problem = std::to_string(size) + " bytes is the size of no tile (SRTM-1: " +
                    std::to_string(kSrtm1FileSize) + ", SRTM-3: " + std::to_string(kSrtm3FileSize) + ")";
  }
  return check;
}

}  // namespace srtm::cli
