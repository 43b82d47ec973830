// Void filling of one served block, applied while the host reads the map.
//
// The filler sees the block alone, never samples outside it. Three passes:
//   1. rows: each run of voids is interpolated linearly between the last valid value met
//      before it and the first valid value after it;
//   2. columns: the same along each column, and every void takes the mean of its row and
//      column estimates;
//   3. a 5 x 5 mean over every sample that was void, in raster order and in place.
// The "last valid value" is carried on across rows, across columns and from the row
// pass into the column pass, so a run at the start of a line leans on the line before.
// All divisions truncate toward zero. This is not the smoother filler used before
// compression; the two give different results on purpose.
#pragma once

#include <cstdint>

namespace srtm {

// Samples per side of a block served to the host.
constexpr int BLOCK_SIDE = 320;
constexpr int BLOCK_SAMPLES = BLOCK_SIDE * BLOCK_SIDE;

// Writes a void-free copy of `source` into `target` (both BLOCK_SIDE x BLOCK_SIDE,
// row-major, row 0 south; distinct buffers). Valid samples, zeros of missing tiles
// included, are copied unchanged and serve as interpolation ends. A block without any
// valid sample becomes all zeros.
void FillVoids(const std::int16_t* source, std::int16_t* target);

// The three passes of FillVoids one by one, with the value they carry between them.
class ReadFiller {
 public:
  ReadFiller(const std::int16_t* source, std::int16_t* target) : source_(source), target_(target) {}
  // Writes every sample of the target; voids become row interpolations.
  void RowPass();
  // Averages every void with its column interpolation. Call after RowPass.
  void ColumnPass();
  // Replaces every void by the 5 x 5 mean around it. Call after ColumnPass.
  void MeanPass();
  // The last valid value met so far (VOID_SAMPLE: none yet).
  int last() const { return last_; }

 private:
  static constexpr int kMaskWords = BLOCK_SIDE / 64;
  bool IsVoid(int row, int column) const { return (voids_[row][column >> 6] >> (column & 63)) & 1u; }
  bool RowHasVoid(int row) const;

  const std::int16_t* source_;
  std::int16_t* target_;
  int last_ = -32768;
  bool anyVoid_ = false;
  // Where the source's voids are, one bit per sample, made by the row pass: the later
  // passes visit the voids only, instead of testing every sample again.
  std::uint64_t voids_[BLOCK_SIDE][kMaskWords] = {};
};

}  // namespace srtm
