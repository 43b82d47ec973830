// Compressing many tiles at once: the tile list of a folder, its parts for spreading
// the work over machines, and the conversion of a list on several threads.
//
// Every tile is converted by the batch's own code (BatchCompressor::ConvertTile), each
// thread with its own converter, so every file is byte for byte what the plug-in's
// single-threaded batch writes. A stop request is honoured after the block in progress
// of every thread; a stopped conversion leaves no file behind.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace srtm::cli {

struct TileJob {
  std::string path;  // plug-in path
  std::string name;  // file name
  std::int32_t kind = 0;
  int lat = 0, lon = 0;
  std::int32_t fillVoids = 1;  // non-zero: voids filled before compression
};

// The tiles under `path`: for a tile, every tile of its kind in its folder (what the
// wizard's batch converts); for a folder, every tile of either kind in it. Sorted by
// name, letters compared without case, so that every machine sees the same order.
// Files named *.hgt that are not tiles (by name, size, or a corner outside the globe)
// go to `notTiles` (names) when it is given. False when the folder cannot be read.
bool ListTiles(const std::string& path, bool isFolder, std::vector<TileJob>* tiles,
               std::vector<std::string>* notTiles = nullptr);

// Whether two tile names are one tile's (tile names ignore case).
bool SameTileName(const std::string& a, const std::string& b);

// Sorts tiles as ListTiles does: by name, letters compared without case.
void SortTiles(std::vector<TileJob>* tiles);

// Part `part` (1 to `parts`) of a sorted list: the tiles at positions part - 1,
// part - 1 + parts, ... Every tile is in exactly one part, and the parts differ in size
// by one tile at most.
std::vector<TileJob> SelectPart(const std::vector<TileJob>& tiles, int part, int parts);
// Parses "K/N" with 1 <= K <= N.
bool ParsePart(const char* text, int* part, int* parts);

// kAlreadyThere: its XEM file was there and, without overwrite, left as it was.
enum class TileOutcome : std::uint8_t { kNotStarted, kConverted, kFailed, kStopped, kAlreadyThere };

// A tile done: its index in the list, how it ended, and why it was not converted (the
// converter's failure, naming the file; empty when it was).
struct FinishedTile {
  std::size_t index = 0;
  TileOutcome outcome = TileOutcome::kNotStarted;
  std::string failure;
};

struct CompressProgress {
  std::size_t tilesDone = 0;  // converted, already there or failed
  std::size_t tilesTotal = 0;
  std::int64_t blocksDone = 0;  // of finished and running conversions
  std::int64_t blocksTotal = 0;
  // Tiles finished since the previous report.
  std::vector<FinishedTile> finished;
};

struct CompressResult {
  std::vector<TileOutcome> outcomes;  // one per tile of the list
  std::vector<std::string> written;   // XEM paths, in the order of the list
  std::size_t converted = 0;
  std::size_t alreadyThere = 0;
  std::size_t failed = 0;
  bool outputFailed = false;  // a tile failed because its XEM file could not be written
  bool stopped = false;
  int threads = 0;  // threads that ran (fewer than asked when buffers ran out)
  // As the batch reports: -1 when every tile was converted (or the list was empty), 0
  // when no sample buffers could be allocated, else the number converted.
  std::int32_t BatchCode() const;
};

// Converts `tiles` into `outputFolder` on up to `jobs` threads, each tile with its own
// fillVoids; with `overwrite` 0 a tile whose XEM file is there is not read at all.
// `poll` is called
// on the calling thread about every `pollMs` milliseconds and whenever a tile is done,
// and once more at the end; returning false asks every thread to stop.
CompressResult CompressTiles(const std::vector<TileJob>& tiles, const std::string& outputFolder, int overwrite,
                             int jobs, const std::function<bool(const CompressProgress&)>& poll, int pollMs = 100);

// Blocks of 120 x 120 samples in a tile of `kind`.
std::int64_t BlocksPerTile(std::int32_t kind);

}  // namespace srtm::cli
