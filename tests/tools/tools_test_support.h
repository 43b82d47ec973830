// Helpers of the srtm tool's tests: tiles cut from one made-up globe, so that
// neighbouring tiles share their edges as real ones do, and commands run in-process.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace srtm::test {

// The SRTM-3 tile (1201 x 1201, big-endian, row 0 north) with south-west corner
// (lat, lon), cut from a made-up globe: hills and valleys, sea (0 m) in places, and with
// `voids` round blobs of voids that differ from tile to tile. Tiles that meet agree on
// their shared row and column (the globe wraps at 180 degrees of longitude).
std::vector<std::uint8_t> GlobeTile(int lat, int lon, bool voids);
// Writes GlobeTile(lat, lon) into `folder` (a plug-in path) under its tile name.
void PutGlobeTile(const std::string& folder, int lat, int lon, bool voids);

// Runs a command of the srtm tool with the arguments a user types after its name.
int RunTool(int (*command)(int, char**), std::vector<std::string> args);

// The names of the files in `folder` (a plug-in path) that match `pattern`, sorted.
std::vector<std::string> FilesIn(const std::string& folder, const char* pattern);

}  // namespace srtm::test
