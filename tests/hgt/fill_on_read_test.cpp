// Void filling of a served block: each pass on hand-worked blocks, and the whole filler.
#include "hgt/fill_on_read.h"

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "gtest/gtest.h"
#include "hgt/paths.h"

namespace srtm {
namespace {

constexpr std::int16_t V = VOID_SAMPLE;

class Block {
 public:
  explicit Block(std::int16_t fill = 0) : samples_(BLOCK_SAMPLES, fill) {}
  std::int16_t& at(int row, int column) { return samples_[row * BLOCK_SIDE + column]; }
  std::int16_t at(int row, int column) const { return samples_[row * BLOCK_SIDE + column]; }
  // Sets consecutive samples of a row from `column` on.
  void Row(int row, int column, std::initializer_list<std::int16_t> values) {
    for (std::int16_t v : values) at(row, column++) = v;
  }
  std::int16_t* data() { return samples_.data(); }
  const std::int16_t* data() const { return samples_.data(); }
  bool operator==(const Block& other) const { return samples_ == other.samples_; }

 private:
  std::vector<std::int16_t> samples_;
};

TEST(FillOnRead, WorkedExampleThroughAllThreePasses) {
  Block source(50);
  source.Row(10, 10, {V, V, 80});
  Block target(-1);
  ReadFiller filler(source.data(), target.data());

  filler.RowPass();
  EXPECT_EQ(target.at(10, 10), 60);
  EXPECT_EQ(target.at(10, 11), 70);
  EXPECT_EQ(target.at(10, 12), 80);
  filler.ColumnPass();
  EXPECT_EQ(target.at(10, 10), 55);
  EXPECT_EQ(target.at(10, 11), 60);
  filler.MeanPass();
  EXPECT_EQ(target.at(10, 10), 51);
  EXPECT_EQ(target.at(10, 11), 51);  // its window already sees the replaced 51
  EXPECT_EQ(target.at(10, 12), 80);
  EXPECT_EQ(target.at(9, 10), 50);

  Block whole(-1);
  FillVoids(source.data(), whole.data());
  EXPECT_TRUE(whole == target);
}

TEST(FillOnRead, RowPassInterpolatesEachRunFromTheLastValidValue) {
  Block source(7);
  source.Row(100, 0, {10, V, 30, V, 90});
  // Negative ends: division truncates toward zero.
  source.Row(200, 0, {-10, V, V, -20});
  Block target;
  ReadFiller filler(source.data(), target.data());
  filler.RowPass();
  EXPECT_EQ(target.at(100, 1), 20);
  EXPECT_EQ(target.at(100, 3), 60);  // the second run starts from 30
  EXPECT_EQ(target.at(200, 1), -13);
  EXPECT_EQ(target.at(200, 2), -16);
  EXPECT_EQ(target.at(200, 3), -20);
}

TEST(FillOnRead, LastValueIsCarriedAcrossRowsAndIntoTheColumnPass) {
  Block source(0);
  // Row 0 ends with 40; row 1 opens with two voids before 100: they lean on that 40.
  source.at(0, BLOCK_SIDE - 1) = 40;
  source.Row(1, 0, {V, V, 100});
  Block target;
  ReadFiller filler(source.data(), target.data());
  filler.RowPass();
  EXPECT_EQ(target.at(1, 0), (1 * 100 + 2 * 40) / 3);
  EXPECT_EQ(target.at(1, 1), (2 * 100 + 1 * 40) / 3);
  // The row pass ended on the last sample of row 319.
  EXPECT_EQ(filler.last(), 0);

  // Column 0 opens with its void at row 1 after source row 0's 0; before the column pass
  // `last` holds what the row pass met last, and column 0's walk replaces it with 0.
  filler.ColumnPass();
  EXPECT_EQ(target.at(1, 0), (60 + 0) / 2);
}

TEST(FillOnRead, RunsBeforeAnyValidValueTakeTheFirstOneOrZero) {
  // Rows 0 and 1 all void: row 0 ends before anything valid was met, so `last` becomes 0
  // and the whole row is 0; row 1 is then filled with that 0 as well.
  Block source(V);
  source.Row(2, 0, {V, 90});
  for (int c = 2; c < BLOCK_SIDE; ++c) source.at(2, c) = 90;
  Block target(-1);
  ReadFiller filler(source.data(), target.data());
  filler.RowPass();
  EXPECT_EQ(target.at(0, 0), 0);
  EXPECT_EQ(target.at(1, 319), 0);
  EXPECT_EQ(target.at(2, 0), 45);  // between the carried 0 and 90

  // With a valid value first met in a run's closing sample, the run takes that value.
  Block first(V);
  first.Row(0, 0, {V, V, 30});
  ReadFiller filler2(first.data(), target.data());
  filler2.RowPass();
  EXPECT_EQ(target.at(0, 0), 30);
  EXPECT_EQ(target.at(0, 1), 30);
}

TEST(FillOnRead, BlockWithoutAnyValidSampleBecomesZero) {
  Block source(V);
  Block target(-1);
  FillVoids(source.data(), target.data());
  EXPECT_TRUE(target == Block(0));
}

TEST(FillOnRead, CornerVoidInUniformBlockTakesTheCentreForOutsidePositions) {
  for (auto [row, column] : {std::pair{0, 0}, {0, 319}, {319, 0}, {319, 319}}) {
    Block source(100);
    source.at(row, column) = V;
    Block target;
    FillVoids(source.data(), target.data());
    EXPECT_TRUE(target == Block(100)) << row << "," << column;
  }
}

TEST(FillOnRead, ZerosOfMissingTilesAreValidEnds) {
  // A missing western tile (zeros) next to data at 100: the void between is interpolated,
  // the zeros themselves are never touched.
  Block source(0);
  for (int r = 0; r < BLOCK_SIDE; ++r) {
    for (int c = 161; c < BLOCK_SIDE; ++c) source.at(r, c) = 100;
    source.at(r, 160) = V;
  }
  Block target;
  ReadFiller filler(source.data(), target.data());
  filler.RowPass();
  EXPECT_EQ(target.at(50, 160), 50);
  EXPECT_EQ(target.at(50, 159), 0);
  FillVoids(source.data(), target.data());
  for (int r = 0; r < BLOCK_SIDE; ++r) {
    ASSERT_EQ(target.at(r, 159), 0);
    ASSERT_EQ(target.at(r, 161), 100);
    ASSERT_NE(target.at(r, 160), V);
  }
}

TEST(FillOnRead, BlockWithoutVoidsIsCopiedUnchanged) {
  std::mt19937 random(7);
  std::uniform_int_distribution<int> height(-32767, 32767);
  Block source;
  for (int r = 0; r < BLOCK_SIDE; ++r) {
    for (int c = 0; c < BLOCK_SIDE; ++c) source.at(r, c) = static_cast<std::int16_t>(height(random));
  }
  Block target(V);
  FillVoids(source.data(), target.data());
  EXPECT_TRUE(target == source);
}

// The filler transcribed literally, sample by sample, as the reference for the one that
// visits voids only.
void LiteralFill(const std::int16_t* s, std::int16_t* t) {
  constexpr int n = BLOCK_SIDE;
  auto interpolate = [](int k, int run, int left, int right) { return ((k + 1) * right + (run - k) * left) / (run + 1); };
  int last = V;
  for (int r = 0; r < n; ++r) {
    int gap = -1;
    for (int i = 0; i < n; ++i) {
      int v = s[r * n + i];
      if (v == V) {
        if (gap < 0) gap = i;
        continue;
      }
      if (gap >= 0) {
        if (last == V) last = v;
        for (int k = 0; k < i - gap; ++k) t[r * n + gap + k] = static_cast<std::int16_t>(interpolate(k, i - gap, last, v));
        gap = -1;
      }
      t[r * n + i] = static_cast<std::int16_t>(v);
      last = v;
    }
    if (gap >= 0) {
      if (last == V) last = 0;
      for (int i = gap; i < n; ++i) t[r * n + i] = static_cast<std::int16_t>(last);
    }
  }
  for (int c = 0; c < n; ++c) {
    int gap = -1;
    for (int j = 0; j < n; ++j) {
      int v = s[j * n + c];
      if (v == V) {
        if (gap < 0) gap = j;
        continue;
      }
      if (gap >= 0) {
        if (last == V) last = v;
        for (int k = 0; k < j - gap; ++k) {
          std::int16_t& x = t[(gap + k) * n + c];
          x = static_cast<std::int16_t>((interpolate(k, j - gap, last, v) + x) / 2);
        }
        gap = -1;
      }
      last = v;
    }
    if (gap >= 0) {
      if (last == V) last = 0;
      for (int j = gap; j < n; ++j) t[j * n + c] = static_cast<std::int16_t>((last + t[j * n + c]) / 2);
    }
  }
  for (int r = 0; r < n; ++r) {
    for (int c = 0; c < n; ++c) {
      if (s[r * n + c] != V) continue;
      int centre = t[r * n + c], sum = 0;
      for (int rr = r - 2; rr <= r + 2; ++rr) {
        for (int cc = c - 2; cc <= c + 2; ++cc) {
          sum += (rr >= 0 && rr < n && cc >= 0 && cc < n) ? t[rr * n + cc] : centre;
        }
      }
      t[r * n + c] = static_cast<std::int16_t>(sum / 25);
    }
  }
}

TEST(FillOnRead, AgreesWithTheLiteralFillerOnRandomAndPatchyBlocks) {
  std::mt19937 random(2024);
  std::uniform_int_distribution<int> height(-500, 3000);
  int checked = 0;
  for (double density : {0.001, 0.01, 0.1, 0.5, 0.9, 0.999}) {
    for (bool patches : {false, true}) {
      Block source;
      for (int r = 0; r < BLOCK_SIDE; ++r) {
        for (int c = 0; c < BLOCK_SIDE; ++c) source.at(r, c) = static_cast<std::int16_t>(height(random));
      }
      std::uniform_int_distribution<int> at(0, BLOCK_SIDE - 1);
      const int count = static_cast<int>(density * BLOCK_SAMPLES);
      for (int i = 0; i < (patches ? count / 30 : count); ++i) {
        int r = at(random), c = at(random);
        // Patches: long runs across rows and columns, and over the block's edges.
        int h = patches ? 1 + at(random) % 9 : 1, w = patches ? 1 + at(random) % 7 : 1;
        for (int rr = r; rr < std::min(r + h, BLOCK_SIDE); ++rr) {
          for (int cc = c; cc < std::min(c + w, BLOCK_SIDE); ++cc) source.at(rr, cc) = V;
        }
      }
      // Whole void rows and columns, at the edges too.
      if (patches) {
        for (int i = 0; i < BLOCK_SIDE; ++i) source.at(0, i) = source.at(200, i) = source.at(i, 319) = source.at(i, 64) = V;
      }
      Block fast(-1), literal(-1);
      FillVoids(source.data(), fast.data());
      LiteralFill(source.data(), literal.data());
      ASSERT_TRUE(fast == literal) << "density " << density << (patches ? " in patches" : "");
      ++checked;
    }
  }
  EXPECT_EQ(checked, 12);
}

}  // namespace
}  // namespace srtm
