// Void filling before compression: the worked values, the left value carried across
// lines and passes, the averaging column pass, the in-place 5 x 5 mean and its border.
#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "gtest/gtest.h"
#include "xem/fill.h"

namespace srtm {
namespace {

constexpr std::int16_t V = -32768;
using Grid = std::vector<std::int16_t>;

Grid Fill(const Grid& source, int width, int lastPass = 3) {
  Grid out(source.size(), 12345);
  FillVoidsPasses(source.data(), out.data(), width, static_cast<int>(source.size()) / width, lastPass);
  return out;
}

TEST(FillRows, WorkedValuesAndRunsClosedBySamples) {
  EXPECT_EQ(Fill({0, V, V, V, 400}, 5, 1), (Grid{0, 58, 200, 341, 400}));
  EXPECT_EQ(Fill({-10, V, V, V, 10}, 5, 1), (Grid{-10, -7, 0, 7, 10}));
  // The second run starts from 50, the sample that closed the first.
  EXPECT_EQ(Fill({100, V, 50, V, 200}, 5, 1), (Grid{100, 75, 50, 125, 200}));
}

TEST(FillRows, LeftValueCarriedAcrossLines) {
  // The leading run of row 2 runs from 30, the last valid sample of the row above.
  EXPECT_EQ(Fill({10, 20, 30, V, V, 60}, 3, 1), (Grid{10, 20, 30, 37, 52, 60}));
  // Before any valid sample: a void row becomes 0, and 0 is the left value after it.
  EXPECT_EQ(Fill({V, V, V, 100}, 2, 1), (Grid{0, 0, 50, 100}));
  // Leading voids of the row holding the first valid sample take that sample.
  EXPECT_EQ(Fill({V, V, 80, 90}, 4, 1), (Grid{80, 80, 80, 90}));
  // A row ending in voids takes the last valid sample passed, which then starts the
  // leading run of the next row: 5 x 0.25 + 20 x 0.75 and 5 x 0.75 + 20 x 0.25.
  EXPECT_EQ(Fill({10, 20, V, V, V, 5}, 3, 1), (Grid{10, 20, 20, 16, 8, 5}));
}

TEST(FillColumns, AveragedWithRowsAndCarryingTheLeftValue) {
  // Column 1's leading run takes 3, the last valid sample of column 0: I = 4.5 and 7.5,
  // averaged with the row pass's 1 and 2.
  EXPECT_EQ(Fill({1, V, 2, V, 3, 9}, 2, 2), (Grid{1, 2, 2, 4, 3, 9}));
  // Column 0's leading run starts from 30, the value the row pass left: (25 + 10) / 2.
  EXPECT_EQ(Fill({V, 10, 20, 30}, 2, 2), (Grid{17, 10, 20, 30}));
}

TEST(FillAll, ThreePassesOnAColumn) {
  // Rows give 0 0 0 (runs to the line end); the column gives 29 100 170; the in-place
  // mean then reads its own earlier results: 36, then 108 from 36, then 171.
  EXPECT_EQ(Fill({0, V, V, V, 400}, 1), (Grid{0, 36, 108, 171, 400}));
  EXPECT_EQ(Fill({V, 10, 20, 30}, 2), (Grid{17, 10, 20, 30}));
}

TEST(FillAll, BorderCountsOutsidePositionsAsTheCentre) {
  Grid source(5 * 5);
  for (int i = 0; i < 25; ++i) source[static_cast<std::size_t>(i)] = static_cast<std::int16_t>(10 * i);
  source[0] = V;
  const Grid two = Fill(source, 5, 2);
  // 16 outside positions and the centre: 17 terms of the corner's own pass-2 value.
  const int inside = two[1] + two[2] + two[5] + two[6] + two[7] + two[10] + two[11] + two[12];
  const Grid three = Fill(source, 5);
  EXPECT_EQ(three[0], (17 * two[0] + inside) / 25);
  for (int i = 1; i < 25; ++i) EXPECT_EQ(three[static_cast<std::size_t>(i)], source[static_cast<std::size_t>(i)]);
}

TEST(FillAll, WholeTilesWithoutVoidsOrWithoutData) {
  EXPECT_EQ(Fill(Grid(7 * 4, V), 7), Grid(7 * 4, 0));
  std::mt19937 random(7);
  Grid tile(301 * 299);
  for (auto& v : tile) v = static_cast<std::int16_t>(random() % 4000 - 100);
  EXPECT_EQ(Fill(tile, 301), tile);
}

TEST(FillAll, OnlyVoidsChangeAndFilledValuesLieInRange) {
  // Blobs of voids in a tile wider than one strip of the column pass.
  std::mt19937 random(11);
  const int w = 611, h = 257;
  Grid tile(static_cast<std::size_t>(w) * h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) tile[static_cast<std::size_t>(y * w + x)] = static_cast<std::int16_t>(x + 2 * y);
  }
  for (int blob = 0; blob < 40; ++blob) {
    const int cx = static_cast<int>(random() % w), cy = static_cast<int>(random() % h);
    const int r = static_cast<int>(random() % 9) + 1;
    for (int y = cy - r; y <= cy + r; ++y) {
      for (int x = cx - r; x <= cx + r; ++x) {
        if (x >= 0 && x < w && y >= 0 && y < h && (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r) {
          tile[static_cast<std::size_t>(y * w + x)] = V;
        }
      }
    }
  }
  const Grid out = Fill(tile, w);
  for (std::size_t i = 0; i < tile.size(); ++i) {
    if (tile[i] != V) {
      ASSERT_EQ(out[i], tile[i]) << "valid sample " << i << " changed";
    } else {
      // The terrain rises by 1 east and 2 south: a fill stays within its span.
      ASSERT_GE(out[i], 0);
      ASSERT_LE(out[i], w + 2 * h);
    }
  }
}

// The three passes exactly as described, one line at a time with the left value carried
// through the whole scan: slow and plain, to hold the fast sweeps to.
Grid ReferenceFill(const Grid& src, int w, int h) {
  Grid out(src.size());
  bool haveLv = false;
  std::int32_t lv = 0;
  auto weight = [](int j, int d) { return 0.5 - 0.5 * std::cos(j * kFillPi / d); };
  // One line: `at(i)` is the index of its i-th sample; `store(index, I)` writes a void.
  auto line = [&](int n, auto at, auto store) {
    for (int i = 0; i < n;) {
      if (src[at(i)] != V) {
        lv = src[at(i)];
        haveLv = true;
        ++i;
        continue;
      }
      int e = i;
      while (e < n && src[at(e)] == V) ++e;
      const int d = e - i + 1;
      std::int32_t r;
      if (e < n) {
        r = src[at(e)];
        if (!haveLv) lv = r;
      } else {
        if (!haveLv) lv = 0;
        r = lv;
      }
      haveLv = true;
      for (int k = 1; k < d; ++k) store(at(i + k - 1), r * weight(k, d) + lv * weight(d - k, d));
      i = e;
    }
  };
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) out[y * w + x] = src[y * w + x];
    line(w, [&](int i) { return y * w + i; },
         [&](int at, double v) { out[at] = static_cast<std::int16_t>(static_cast<std::int32_t>(v)); });
  }
  for (int x = 0; x < w; ++x) {
    line(h, [&](int i) { return i * w + x; }, [&](int at, double v) {
      out[at] = static_cast<std::int16_t>(static_cast<std::int32_t>((v + out[at]) * 0.5));
    });
  }
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      if (src[y * w + x] != V) continue;
      const std::int32_t centre = out[y * w + x];
      std::int32_t sum = 0;
      for (int yy = y - 2; yy <= y + 2; ++yy) {
        for (int xx = x - 2; xx <= x + 2; ++xx) {
          sum += (yy >= 0 && yy < h && xx >= 0 && xx < w) ? out[yy * w + xx] : centre;
        }
      }
      out[y * w + x] = static_cast<std::int16_t>(sum / 25);
    }
  }
  return out;
}

TEST(FillAll, SameAsThePlainPassesOnRandomTiles) {
  std::mt19937 random(2024);
  const int sizes[][2] = {{1, 1}, {1, 9}, {9, 1}, {5, 5}, {257, 40}, {600, 300}, {300, 613}};
  for (const auto& size : sizes) {
    const int w = size[0], h = size[1];
    for (int variant = 0; variant < 4; ++variant) {
      Grid tile(static_cast<std::size_t>(w) * h);
      for (auto& v : tile) v = static_cast<std::int16_t>(random() % 3000 - 500);
      const int voidShare = variant == 3 ? 90 : 5 + 20 * variant;  // percent, in blobs and single samples
      for (std::size_t i = 0; i < tile.size(); ++i) {
        if (static_cast<int>(random() % 100) < voidShare / 3) tile[i] = V;
      }
      for (int blob = 0; blob < voidShare; ++blob) {
        const int cx = static_cast<int>(random() % w), cy = static_cast<int>(random() % h);
        const int r = static_cast<int>(random() % 12);
        for (int y = std::max(0, cy - r); y <= std::min(h - 1, cy + r); ++y) {
          for (int x = std::max(0, cx - r); x <= std::min(w - 1, cx + r); ++x) tile[static_cast<std::size_t>(y * w + x)] = V;
        }
      }
      if (variant == 2) {  // a void first row and a void column
        for (int x = 0; x < w; ++x) tile[static_cast<std::size_t>(x)] = V;
        for (int y = 0; y < h; ++y) tile[static_cast<std::size_t>(y * w + w / 2)] = V;
      }
      ASSERT_EQ(Fill(tile, w), ReferenceFill(tile, w, h)) << w << " x " << h << ", variant " << variant;
    }
  }
}

}  // namespace
}  // namespace srtm
