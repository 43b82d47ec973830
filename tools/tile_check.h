// A file given to the srtm tool as a tile, judged as its users need: the plug-in's rule
// (the name NsddEwddd.hgt and the size of one of the two kinds), then what that rule
// lets through or leaves unexplained: a corner outside the globe (N99E999.hgt, which
// the plug-in accepts by design), an archive, a tile under the name it was downloaded
// with (N57E011.SRTMGL3.hgt: srtm import makes a tile of it).
#pragma once

#include <cstdint>
#include <string>

namespace srtm::cli {

struct TileCheck {
  std::int32_t kind = 0;    // TileKind: 0 when the file is not a tile the tool takes
  bool named = false;       // the name gives a corner inside the globe
  int lat = 0, lon = 0;     // that corner
  std::string problem;      // why it is not a tile, in a few words; empty for a tile
  bool download = false;    // an archive or a downloaded name: srtm import is the way
};

// Judges the file a user named (a path of this system).
TileCheck CheckTile(const std::string& userPath);
// Why a tile with south-west corner (lat, lon) would lie outside the globe; empty for a
// corner from S90 to N89 and W180 to E179.
std::string OutsideTheGlobe(int lat, int lon);

// "SRTM-1" or "SRTM-3".
const char* KindName(std::int32_t kind);
// Latitude and longitude in words: "57 N", "11 E", "1 S", "72 W".
std::string Degrees(double value, bool latitude);

}  // namespace srtm::cli
