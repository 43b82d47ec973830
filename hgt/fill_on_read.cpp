#include "hgt/fill_on_read.h"

#include <cstring>

#include "hgt/paths.h"

namespace srtm {
namespace {

constexpr int kSide = BLOCK_SIDE;
constexpr int kNoneYet = VOID_SAMPLE;  // `last` before any valid value was met

// The value at position k of a run of n voids between left (before it) and right
// (after it); integer division truncates toward zero.
inline int Interpolate(int k, int n, int left, int right) { return ((k + 1) * right + (n - k) * left) / (n + 1); }

// Written without an early exit so that the compiler can vectorise it: most rows of
// most blocks have no voids, and this test decides the fast path for them.
inline bool HasVoid(const std::int16_t* line) {
  int voids = 0;
  for (int i = 0; i < kSide; ++i) voids |= line[i] == VOID_SAMPLE;
  return voids != 0;
}

}  // namespace

void FillVoids(const std::int16_t* source, std::int16_t* target) {
  ReadFiller filler(source, target);
  filler.RowPass();
  filler.ColumnPass();
  filler.MeanPass();
}

void ReadFiller::RowPass() {
  static_assert(kNoneYet == -32768, "the initial value of last_ is the void value");
  for (int r = 0; r < kSide; ++r) {
    const std::int16_t* s = source_ + r * kSide;
    std::int16_t* t = target_ + r * kSide;
    rowHasVoid_[r] = HasVoid(s);
    if (!rowHasVoid_[r]) {
      std::memcpy(t, s, kSide * sizeof *s);
      last_ = s[kSide - 1];
      continue;
    }
    anyVoid_ = true;
    int gap = -1;  // first void of the open run
    for (int i = 0; i < kSide; ++i) {
      const int v = s[i];
      if (v == VOID_SAMPLE) {
        columnHasVoid_[i] = true;
        if (gap < 0) gap = i;
        continue;
      }
      if (gap >= 0) {
        if (last_ == kNoneYet) last_ = v;
        const int n = i - gap;
        for (int k = 0; k < n; ++k) t[gap + k] = static_cast<std::int16_t>(Interpolate(k, n, last_, v));
        gap = -1;
      }
      t[i] = static_cast<std::int16_t>(v);
      last_ = v;
    }
    if (gap >= 0) {
      if (last_ == kNoneYet) last_ = 0;
      for (int i = gap; i < kSide; ++i) t[i] = static_cast<std::int16_t>(last_);
    }
  }
}

void ReadFiller::ColumnPass() {
  if (!anyVoid_) return;  // nothing to change, and `last` is not needed any more
  for (int c = 0; c < kSide; ++c) {
    if (!columnHasVoid_[c]) {
      // Every sample valid: the walk would only move `last` on to the northernmost one.
      last_ = source_[(kSide - 1) * kSide + c];
      continue;
    }
    int gap = -1;
    for (int j = 0; j < kSide; ++j) {
      const int v = source_[j * kSide + c];
      if (v == VOID_SAMPLE) {
        if (gap < 0) gap = j;
        continue;
      }
      if (gap >= 0) {
        if (last_ == kNoneYet) last_ = v;
        const int n = j - gap;
        for (int k = 0; k < n; ++k) {
          std::int16_t& t = target_[(gap + k) * kSide + c];
          t = static_cast<std::int16_t>((Interpolate(k, n, last_, v) + t) / 2);
        }
        gap = -1;
      }
      last_ = v;
    }
    if (gap >= 0) {
      if (last_ == kNoneYet) last_ = 0;
      for (int j = gap; j < kSide; ++j) {
        std::int16_t& t = target_[j * kSide + c];
        t = static_cast<std::int16_t>((last_ + t) / 2);
      }
    }
  }
}

void ReadFiller::MeanPass() {
  // In place and in raster order: later windows see the samples this pass has already
  // replaced. Window positions outside the block count as the centre's current value.
  for (int r = 0; r < kSide; ++r) {
    if (!rowHasVoid_[r]) continue;
    for (int c = 0; c < kSide; ++c) {
      if (source_[r * kSide + c] != VOID_SAMPLE) continue;
      const int centre = target_[r * kSide + c];
      int sum = 0;
      for (int rr = r - 2; rr <= r + 2; ++rr) {
        for (int cc = c - 2; cc <= c + 2; ++cc) {
          const bool inside = rr >= 0 && rr < kSide && cc >= 0 && cc < kSide;
          sum += inside ? target_[rr * kSide + cc] : centre;
        }
      }
      target_[r * kSide + c] = static_cast<std::int16_t>(sum / 25);
    }
  }
}

}  // namespace srtm
