// Relief grids of served maps and XEM grids: where samples land, and what counts as sea
// and as missing.
#include <cstdint>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "hgt/hgt_tile.h"
#include "hgt/paths.h"
#include "picture/map_picture.h"
#include "xem/xem_format.h"

namespace srtm {
namespace {

using picture::Lattice;
using picture::Region;
using picture::ReliefGrid;
using picture::Surface;

TEST(RegionLattice, EdgesOnTheLatticeAreIncludedAndTheSampleCountIsBounded) {
  Lattice l;
  ASSERT_TRUE(picture::RegionLattice(Region{57, 11, 58, 12}, 1200, 1 << 22, &l));
  EXPECT_EQ(l.firstRow, 57 * 1200);
  EXPECT_EQ(l.firstColumn, 11 * 1200);
  EXPECT_EQ(l.rows, 1201);
  EXPECT_EQ(l.columns, 1201);
  ASSERT_TRUE(picture::RegionLattice(Region{-0.5, -180, -0.25, -179.9}, 1200, 1 << 22, &l));
  EXPECT_EQ(l.firstRow, -600);
  EXPECT_EQ(l.firstColumn, -216000);
  EXPECT_EQ(l.rows, 301);
  EXPECT_EQ(l.columns, 121);
  EXPECT_FALSE(picture::RegionLattice(Region{57, 11, 58, 12}, 1200, 1000, &l));
  EXPECT_FALSE(picture::RegionLattice(Region{57.0001, 11, 57.0002, 12}, 1200, 1 << 22, &l));

  Region r;
  EXPECT_TRUE(picture::ParseRegion("56.5,10.5,58.5,12.5", &r));
  EXPECT_EQ(r.west, 10.5);
  for (const char* bad : {"1,2,3", "1,2,3,4,5", "3,2,1,4", "1,4,3,2", "-91,0,0,1", "0,0,1,181", "a,b,c,d", "1,2,3,4x",
                          "nan,0,1,1"}) {
    EXPECT_FALSE(picture::ParseRegion(bad, &r)) << bad;
  }
}

// A map whose served sample at map row r, column c is (r * 7 + c) % 500 + 1 (a height),
// with every fifth sample served as 0, and tile (1, 1) of its 2 x 2 tiles missing.
picture::ServedMap Synthetic(int* reads) {
  picture::ServedMap map;
  map.originLat = 10;
  map.originLon = 20;
  map.tileSpan = 400;
  map.width = map.height = 800;
  map.hasTile = [](int lat, int lon) { return !(lat == 11 && lon == 21); };
  map.readBlock = [reads](std::int32_t number, std::vector<std::int16_t>* samples) {
    ++*reads;
    const BlockOrigin o = DecodeBlockNumber(number);
    samples->assign(320 * 320, 0);
    for (int j = 0; j < 320; ++j) {
      for (int i = 0; i < 320; ++i) {
        const std::int64_t r = o.firstRow + j, c = o.firstColumn + i;
        (*samples)[j * 320 + i] = (r + c) % 5 == 0 ? 0 : static_cast<std::int16_t>((r * 7 + c) % 500 + 1);
      }
    }
    return true;
  };
  return map;
}

TEST(ServedRelief, SamplesLandWhereTheirLatitudeAndLongitudeAre) {
  int reads = 0;
  const picture::ServedMap map = Synthetic(&reads);
  Lattice l;
  ASSERT_TRUE(picture::RegionLattice(Region{10.5, 20.25, 11.5, 21.5}, 400, 1 << 22, &l));
  ReliefGrid grid;
  std::string error;
  ASSERT_TRUE(picture::ServedRelief(map, l, true, &grid, &error)) << error;
  ASSERT_EQ(grid.width, 501);
  ASSERT_EQ(grid.height, 401);
  EXPECT_LE(reads, 4);  // each block once
  for (int row = 0; row < grid.height; row += 7) {
    for (int col = 0; col < grid.width; col += 3) {
      const std::int64_t r = 200 + (grid.height - 1 - row), c = 100 + col;  // map row and column
      const std::size_t at = grid.At(row, col);
      if (r >= 400 && c >= 400) {
        ASSERT_EQ(grid.surface[at], Surface::kMissing) << row << ", " << col;
      } else if ((r + c) % 5 == 0) {
        ASSERT_EQ(grid.surface[at], Surface::kSea) << row << ", " << col;
      } else {
        ASSERT_EQ(grid.surface[at], Surface::kLand) << row << ", " << col;
        ASSERT_EQ(grid.heights[at], (r * 7 + c) % 500) << row << ", " << col;
      }
    }
  }
  // With the sea off, a served 0 is no data.
  ASSERT_TRUE(picture::ServedRelief(map, l, false, &grid, &error));
  EXPECT_EQ(grid.surface[grid.At(grid.height - 1, 0)], Surface::kMissing);  // r 200, c 100
}

TEST(ServedRelief, BeyondTheMapIsMissingAndAFailedReadIsReported) {
  int reads = 0;
  picture::ServedMap map = Synthetic(&reads);
  Lattice l;
  ASSERT_TRUE(picture::RegionLattice(Region{9.5, 19.5, 10.5, 20.5}, 400, 1 << 22, &l));
  ReliefGrid grid;
  std::string error;
  ASSERT_TRUE(picture::ServedRelief(map, l, true, &grid, &error));
  EXPECT_EQ(grid.surface[grid.At(grid.height - 1, 0)], Surface::kMissing);  // south-west of the map
  EXPECT_NE(grid.surface[grid.At(0, grid.width - 1)], Surface::kMissing);  // 10.5 N 20.5 E
  EXPECT_EQ(reads, 1);

  map.readBlock = [](std::int32_t, std::vector<std::int16_t>*) { return false; };
  EXPECT_FALSE(picture::ServedRelief(map, l, true, &grid, &error));
  EXPECT_NE(error.find("cannot be read"), std::string::npos);
}

TEST(XemRelief, SeaVoidsAndHeightsAsTheHostDecodesThem) {
  picture::XemMap map;
  map.lat = 57;
  map.lon = 11;
  map.gridWidth = map.gridHeight = 240;
  map.blockWidth = map.blockHeight = 120;
  map.seaValue = static_cast<std::uint16_t>(kXemSeaValue);
  map.voidValue = static_cast<std::uint16_t>(VOID_SAMPLE);
  map.readBlock = [](int column, int row, std::vector<std::uint16_t>* samples, std::string*) {
    samples->assign(120 * 120, static_cast<std::uint16_t>(column * 10 + row));
    (*samples)[0] = static_cast<std::uint16_t>(kXemSeaValue);
    (*samples)[1] = static_cast<std::uint16_t>(VOID_SAMPLE);
    (*samples)[2] = static_cast<std::uint16_t>(-5);
    return true;
  };
  Lattice l;
  ASSERT_TRUE(picture::RegionLattice(Region{57, 11.5, 58, 12}, 240, 1 << 22, &l));
  ReliefGrid grid;
  std::string error;
  ASSERT_TRUE(picture::XemRelief(map, l, &grid, &error)) << error;
  ASSERT_EQ(grid.height, 241);
  ASSERT_EQ(grid.width, 121);
  const int south = grid.height - 1;
  EXPECT_EQ(grid.surface[grid.At(south, 0)], Surface::kSea);       // block (1, 0), sample 0
  EXPECT_EQ(grid.surface[grid.At(south, 1)], Surface::kMissing);   // its void
  EXPECT_EQ(grid.heights[grid.At(south, 2)], -5);                  // a height below 0 stays land
  EXPECT_EQ(grid.heights[grid.At(south, 3)], 10);
  EXPECT_EQ(grid.heights[grid.At(south - 120, 3)], 11);            // block (1, 1)
  EXPECT_EQ(grid.surface[grid.At(0, 5)], Surface::kMissing);       // 58 N is beyond the grid
  EXPECT_EQ(grid.surface[grid.At(south, 120)], Surface::kMissing); // and 12 E
}

}  // namespace
}  // namespace srtm
