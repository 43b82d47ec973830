#include "hgt/fill_on_read.h"

#include <cstring>

#include <emmintrin.h>  // SSE2, the floor of both worlds

#include "hgt/paths.h"

namespace srtm {
namespace {

constexpr int kSide = BLOCK_SIDE;
constexpr int kNoneYet = VOID_SAMPLE;  // `last` before any valid value was met
static_assert(kSide % 64 == 0, "void masks cover whole 64-sample words");

// The value at position k of a run of n voids between left (before it) and right
// (after it); integer division truncates toward zero.
inline int Interpolate(int k, int n, int left, int right) { return ((k + 1) * right + (n - k) * left) / (n + 1); }

// One bit per void sample of a row. Most rows of most blocks have none, and voids are
// rare within the others, so this is the only test every sample goes through.
void MakeVoidMask(const std::int16_t* row, std::uint64_t* mask) {
  const __m128i voidLanes = _mm_set1_epi16(VOID_SAMPLE);
  for (int w = 0; w < kSide / 64; ++w) {
    std::uint64_t bits = 0;
    for (int k = 0; k < 64; k += 16) {
      const auto* at = reinterpret_cast<const __m128i*>(row + 64 * w + k);
      // Lanes compare to all ones or zero; packing keeps that in one byte per sample.
      const __m128i low = _mm_cmpeq_epi16(_mm_loadu_si128(at), voidLanes);
      const __m128i high = _mm_cmpeq_epi16(_mm_loadu_si128(at + 1), voidLanes);
      const auto lanes = static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_packs_epi16(low, high)));
      bits |= static_cast<std::uint64_t>(lanes) << k;
    }
    mask[w] = bits;
  }
}

inline int LowestBit(std::uint64_t word) { return __builtin_ctzll(word); }

}  // namespace

void FillVoids(const std::int16_t* source, std::int16_t* target) {
  ReadFiller filler(source, target);
  filler.RowPass();
  filler.ColumnPass();
  filler.MeanPass();
}

bool ReadFiller::RowHasVoid(int row) const {
  std::uint64_t any = 0;
  for (int w = 0; w < kMaskWords; ++w) any |= voids_[row][w];
  return any != 0;
}

void ReadFiller::RowPass() {
  static_assert(kNoneYet == -32768, "the initial value of last_ is the void value");
  for (int r = 0; r < kSide; ++r) {
    const std::int16_t* s = source_ + r * kSide;
    std::int16_t* t = target_ + r * kSide;
    MakeVoidMask(s, voids_[r]);
    std::memcpy(t, s, kSide * sizeof *s);
    if (!RowHasVoid(r)) {
      last_ = s[kSide - 1];
      continue;
    }
    anyVoid_ = true;
    // Each run of voids is interpolated between `last` (the valid sample before it, or
    // what earlier rows left) and the valid sample that closes it.
    int column = 0;
    while (column < kSide) {
      // The next void at or after `column`.
      int w = column >> 6;
      std::uint64_t bits = voids_[r][w] & (~std::uint64_t{0} << (column & 63));
      while (!bits && ++w < kMaskWords) bits = voids_[r][w];
      if (!bits) break;
      const int gap = 64 * w + LowestBit(bits);
      int end = gap + 1;
      while (end < kSide && IsVoid(r, end)) ++end;
      if (gap > 0) last_ = s[gap - 1];
      if (end == kSide) {
        // The row ends inside the run: it takes `last` (0 if nothing valid was met yet).
        if (last_ == kNoneYet) last_ = 0;
        for (int k = gap; k < kSide; ++k) t[k] = static_cast<std::int16_t>(last_);
        break;
      }
      const int v = s[end];
      if (last_ == kNoneYet) last_ = v;
      const int n = end - gap;
      for (int k = 0; k < n; ++k) t[gap + k] = static_cast<std::int16_t>(Interpolate(k, n, last_, v));
      column = end;
    }
    if (s[kSide - 1] != VOID_SAMPLE) last_ = s[kSide - 1];
  }
}

void ReadFiller::ColumnPass() {
  if (!anyVoid_) return;  // nothing to change, and `last` is not needed any more
  // The walk column by column, done without walking: a run's left end is the valid
  // sample just south of it, or, for a run from row 0, the `last` that the walk brings
  // into the column, which is the northernmost valid sample of an earlier column.
  int incoming[kSide];
  for (int c = 0; c < kSide; ++c) {
    incoming[c] = last_;
    int j = kSide - 1;
    while (j >= 0 && IsVoid(j, c)) --j;
    if (j >= 0) {
      last_ = source_[j * kSide + c];
    } else if (last_ == kNoneYet) {
      last_ = 0;  // a column all void ends its run with 0 when nothing was met before
    }
  }

  for (int r = 0; r < kSide; ++r) {
    for (int w = 0; w < kMaskWords; ++w) {
      // Only the first void of each vertical run starts work.
      std::uint64_t starts = voids_[r][w] & ~(r > 0 ? voids_[r - 1][w] : 0);
      for (; starts; starts &= starts - 1) {
        const int c = 64 * w + LowestBit(starts);
        int end = r + 1;
        while (end < kSide && IsVoid(end, c)) ++end;
        int left = r > 0 ? source_[(r - 1) * kSide + c] : incoming[c];
        if (end == kSide) {
          if (left == kNoneYet) left = 0;
          for (int j = r; j < kSide; ++j) {
            std::int16_t& t = target_[j * kSide + c];
            t = static_cast<std::int16_t>((left + t) / 2);
          }
          continue;
        }
        const int right = source_[end * kSide + c];
        if (left == kNoneYet) left = right;
        const int n = end - r;
        for (int k = 0; k < n; ++k) {
          std::int16_t& t = target_[(r + k) * kSide + c];
          t = static_cast<std::int16_t>((Interpolate(k, n, left, right) + t) / 2);
        }
      }
    }
  }
}

void ReadFiller::MeanPass() {
  if (!anyVoid_) return;
  // In place and in raster order: later windows see the samples this pass has already
  // replaced. Window positions outside the block count as the centre's current value.
  for (int r = 0; r < kSide; ++r) {
    for (int w = 0; w < kMaskWords; ++w) {
      for (std::uint64_t bits = voids_[r][w]; bits; bits &= bits - 1) {
        const int c = 64 * w + LowestBit(bits);
        int sum = 0;
        if (r >= 2 && r < kSide - 2 && c >= 2 && c < kSide - 2) {
          for (int rr = r - 2; rr <= r + 2; ++rr) {
            const std::int16_t* t = target_ + rr * kSide + c - 2;
            sum += t[0] + t[1] + t[2] + t[3] + t[4];
          }
        } else {
          const int centre = target_[r * kSide + c];
          for (int rr = r - 2; rr <= r + 2; ++rr) {
            for (int cc = c - 2; cc <= c + 2; ++cc) {
              const bool inside = rr >= 0 && rr < kSide && cc >= 0 && cc < kSide;
              sum += inside ? target_[rr * kSide + cc] : centre;
            }
          }
        }
        target_[r * kSide + c] = static_cast<std::int16_t>(sum / 25);
      }
    }
  }
}

}  // namespace srtm
