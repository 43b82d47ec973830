// Regions of elevation maps as relief grids: the whole-globe map a tile opens (served in
// 320 x 320 blocks, as the host receives them) and the grid of an XEM file (decoded in
// its own blocks, as the host decodes them). Shared by srtm render and the demo, which
// read the same maps, the one straight from the library and the other through the host.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "picture/relief.h"

namespace srtm::picture {

// A region of the globe in degrees, south and west negative.
struct Region {
  double south = 0, west = 0, north = 0, east = 0;
};
// "S,W,N,E" in degrees, south < north and west < east, within the globe.
bool ParseRegion(const std::string& text, Region* region);

// The samples of a region on the map's lattice: sample (i, j) lies at latitude
// (firstRow + i) / samplesPerDegree and longitude (firstColumn + j) / samplesPerDegree.
struct Lattice {
  std::int64_t firstRow = 0;  // southernmost row
  std::int64_t firstColumn = 0;
  int rows = 0, columns = 0;
  double samplesPerDegree = 0;
};
// The lattice points of `region` at `samplesPerDegree` (edges included). False when the
// region holds no sample or more than `maxSamples`.
bool RegionLattice(const Region& region, double samplesPerDegree, std::int64_t maxSamples, Lattice* lattice);

// Block number of block row R and block column C (sub-digits 0), as the host writes it.
std::int32_t BlockNumber(std::int64_t row, std::int64_t column);

// A served whole-globe map: where its sample grid starts, its tiles, and its blocks.
struct ServedMap {
  int originLat = 0, originLon = 0;  // south-west corner of its sample grid (row 0, column 0)
  int tileSpan = 1200;               // samples a tile side (1200 or 3600)
  std::int64_t width = 0, height = 0;  // samples
  // Reads block `blockNumber` (320 x 320, row 0 south) as served; false when it cannot.
  std::function<bool(std::int32_t blockNumber, std::vector<std::int16_t>* samples)> readBlock;
  // Whether the tile with south-west corner (lat, lon) is there to be served.
  std::function<bool(int lat, int lon)> hasTile;
};

// The served samples on `lattice` (at the map's own spacing) as relief: served 0 is sea
// with the sea on and no data with it off, h + 1 a height h >= 0, a negative value that
// height; samples in tiles that are not there are missing. False with `error` set when
// a block cannot be read.
bool ServedRelief(const ServedMap& map, const Lattice& lattice, bool seaOn, ReliefGrid* grid, std::string* error);

// An XEM grid as the host decodes it: its header's geometry, and its blocks after the
// XEM hook, with the values that stand for sea and for no data.
struct XemMap {
  int lat = 0, lon = 0;  // south-west corner
  int gridWidth = 0, gridHeight = 0, blockWidth = 0, blockHeight = 0;
  std::uint16_t seaValue = 0;
  std::uint16_t voidValue = 0;
  std::function<bool(int column, int row, std::vector<std::uint16_t>* samples, std::string* error)> readBlock;
};

// The XEM samples on `lattice` (at the grid's own spacing) as relief; samples outside
// the grid are missing.
bool XemRelief(const XemMap& map, const Lattice& lattice, ReliefGrid* grid, std::string* error);

}  // namespace srtm::picture
