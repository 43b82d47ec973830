#include "tools/hgt_export.h"

#include <cmath>
#include <cstdint>
#include <vector>

#include "hgt/paths.h"
#include "platform/output_file.h"
#include "platform/platform.h"
#include "xem/xem_reader.h"

namespace srtm::cli {
namespace {

int CornerOf(std::int32_t edge) { return static_cast<int>(std::lround(edge / 360000.0)); }

// The XEM file of the tile with south-west corner (lat, lon) in `folder`, when it is
// there, sound, and a tile of `n` stored samples a side at that corner. `note` tells
// what was used, or why nothing was.
bool OpenNeighbour(const std::string& folder, int lat, int lon, int n, XemReader* reader, std::string* note,
                   std::vector<std::string>* read) {
  if (lat > 89 || lat < -90) {
    *note = "repeated from the edge (no tile beyond the pole)";
    return false;
  }
  if (lon >= 180) lon -= 360;  // the globe goes round
  std::string name;
  SplitPath(FormatTilePath(folder, lat, lon), nullptr, &name);
  name.replace(name.size() - 4, 4, ".xem");
  std::string lower = name;
  for (char& c : lower) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  for (const std::string& candidate : {name, lower}) {
    std::string path = folder;
    if (!AppendPath(path, candidate.c_str()) || !platform::FileExists(path.c_str())) continue;
    read->push_back(path);
    const Status status = reader->Open(path);
    const XemHeader& h = reader->header();
    if (!status.ok()) {
      *note = "repeated from the edge (" + candidate + ": " + status.ToString() + ")";
    } else if (h.gridWidth != n || h.gridHeight != n || CornerOf(h.southEdge) != lat || CornerOf(h.westEdge) != lon) {
      *note = "repeated from the edge (" + candidate + " is not the neighbouring tile of this size)";
    } else {
      *note = candidate;
      return true;
    }
    return false;
  }
  *note = "repeated from the edge (" + name + " not found)";
  return false;
}

// Samples (x, y) of a neighbour, row 0 south; false when a block does not decode.
class BlockCache {
 public:
  explicit BlockCache(const XemReader& reader) : reader_(reader) {}
  bool Sample(int x, int y, std::int16_t* out) {
    const XemHeader& h = reader_.header();
    const int column = x / h.blockWidth, row = y / h.blockHeight;
    if (column != column_ || row != row_) {
      if (!reader_.ReadBlock(column, row, &samples_).ok()) return false;
      column_ = column;
      row_ = row;
    }
    *out = samples_[static_cast<std::size_t>(y % h.blockHeight) * h.blockWidth + x % h.blockWidth];
    return true;
  }

 private:
  const XemReader& reader_;
  std::vector<std::int16_t> samples_;
  int column_ = -1, row_ = -1;
};

}  // namespace

Status ExportHgt(const std::string& xemPath, const std::string& hgtPath, ExportedEdges* edges, bool* writeFailed) {
  *writeFailed = false;
  XemReader reader;
  Status status = reader.Open(xemPath);
  if (!status.ok()) return status;
  const XemHeader& h = reader.header();
  const int n = h.gridWidth;
  if (h.gridHeight != n || (n != 1200 && n != 3600)) {
    return Status::InvalidArgument("a grid of " + std::to_string(h.gridWidth) + " x " + std::to_string(h.gridHeight) +
                                   " samples is no tile's (1200 or 3600 square)");
  }
  std::vector<std::int16_t> grid;
  status = reader.ReadGrid(&grid);
  if (!status.ok()) return status;

  const int side = n + 1;
  const std::size_t s = static_cast<std::size_t>(side);
  edges->lat = CornerOf(h.southEdge);
  edges->lon = CornerOf(h.westEdge);
  edges->side = side;
  // The tile, row 0 north: the stored grid is its rows 1 to n and columns 0 to n - 1.
  std::vector<std::int16_t> tile(s * s);
  for (int y = 0; y < n; ++y) {
    for (int x = 0; x < n; ++x) tile[static_cast<std::size_t>(n - y) * s + x] = grid[static_cast<std::size_t>(y) * n + x];
  }

  std::string folder;
  SplitPath(xemPath, &folder, nullptr);
  if (EndsWithBackslash(folder.c_str())) folder.pop_back();
  XemReader neighbour;
  std::vector<std::string> read = {xemPath};  // the output may be none of them
  // The northern row is the southern stored row of the tile to the north.
  bool north = OpenNeighbour(folder, edges->lat + 1, edges->lon, n, &neighbour, &edges->north, &read);
  if (north) {
    BlockCache cache(neighbour);
    for (int x = 0; x < n && north; ++x) north = cache.Sample(x, 0, &tile[static_cast<std::size_t>(x)]);
    if (!north) edges->north = "repeated from the edge (" + edges->north + " does not decode)";
  }
  if (!north) {
    for (int x = 0; x < n; ++x) tile[static_cast<std::size_t>(x)] = tile[s + x];
  }
  // The eastern column is the western stored column of the tile to the east.
  bool east = OpenNeighbour(folder, edges->lat, edges->lon + 1, n, &neighbour, &edges->east, &read);
  if (east) {
    BlockCache cache(neighbour);
    for (int y = 0; y < n && east; ++y) east = cache.Sample(0, y, &tile[static_cast<std::size_t>(n - y) * s + n]);
    if (!east) edges->east = "repeated from the edge (" + edges->east + " does not decode)";
  }
  if (!east) {
    for (int r = 1; r <= n; ++r) tile[static_cast<std::size_t>(r) * s + n] = tile[static_cast<std::size_t>(r) * s + n - 1];
  }
  // The north-east corner is the first stored sample of the tile to the north-east;
  // else the nearest sample known.
  bool corner = OpenNeighbour(folder, edges->lat + 1, edges->lon + 1, n, &neighbour, &edges->corner, &read);
  if (corner) {
    corner = BlockCache(neighbour).Sample(0, 0, &tile[static_cast<std::size_t>(n)]);
    if (!corner) edges->corner = "repeated from the edge (" + edges->corner + " does not decode)";
  }
  if (!corner) tile[static_cast<std::size_t>(n)] = north ? tile[static_cast<std::size_t>(n - 1)] : tile[s + n];

  // Big-endian, by the output rule: a failed write leaves no file, and an older file
  // at the path as it was.
  std::vector<std::uint8_t> bytes(2 * s * s);
  for (std::size_t i = 0; i < s * s; ++i) {
    const auto v = static_cast<std::uint16_t>(tile[i]);
    bytes[2 * i] = static_cast<std::uint8_t>(v >> 8);
    bytes[2 * i + 1] = static_cast<std::uint8_t>(v);
  }
  platform::OutputFile out;
  if (!out.Open(hgtPath, read) || !out.Write(bytes.data(), bytes.size()) || !out.Commit()) {
    *writeFailed = true;
    return out.isAnInput() ? Status::InvalidArgument(out.error()) : Status::IoError(out.error());
  }
  return Status::Ok();
}

}  // namespace srtm::cli
