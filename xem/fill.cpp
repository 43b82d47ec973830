// The three passes touch only void samples beyond a copy of the tile, so the cost lies
// in finding the voids: rows are searched in chunks whose void test vectorises, and the
// column pass sweeps the tile row by row in strips of columns instead of walking each
// column down the tile, which would miss the cache at every sample.
#include "xem/fill.h"

#include <cmath>
#include <cstddef>
#include <cstring>

namespace srtm {
namespace {

constexpr std::int16_t kVoid = -32768;
constexpr int kChunk = 64;
constexpr int kStrip = 256;           // columns swept together in pass 2
constexpr int kCachedWeights = 4096;  // runs up to this long use precomputed weights

bool AnyVoid(const std::int16_t* p, int n) {
  int any = 0;
  for (int i = 0; i < n; ++i) any |= p[i] == kVoid;
  return any != 0;
}

// The first void in p[from, to), or `to`.
int FindVoid(const std::int16_t* p, int from, int to) {
  while (from < to) {
    const int n = to - from < kChunk ? to - from : kChunk;
    if (AnyVoid(p + from, n)) {
      for (int i = from; i < from + n; ++i) {
        if (p[i] == kVoid) return i;
      }
    }
    from += n;
  }
  return to;
}

// The left value of the scan: empty until the first valid sample or line end.
struct LeftValue {
  bool set = false;
  std::int32_t value = 0;
  void Set(std::int32_t v) {
    set = true;
    value = v;
  }
};

// The weights 0.5 - 0.5 cos(j pi' / D) for j = 1 .. D - 1 of one run of D - 1 voids,
// computed once per run; run position k takes weight(k) for R and weight(D - k) for Lv.
class RunWeights {
 public:
  explicit RunWeights(int d) : d_(d) {
    if (d_ - 1 <= kCachedWeights) {
      for (int j = 1; j < d_; ++j) cached_[j] = Compute(j);
    }
  }
  double operator()(int j) const { return d_ - 1 <= kCachedWeights ? cached_[j] : Compute(j); }
  // The value inside the truncation for the k-th void of the run.
  double Interpolate(int k, std::int32_t r, std::int32_t lv) const { return r * (*this)(k) + lv * (*this)(d_ - k); }

 private:
  double Compute(int j) const { return 0.5 - 0.5 * std::cos(static_cast<double>(j) * kFillPi / d_); }
  int d_;
  double cached_[kCachedWeights + 1];
};

inline std::int16_t Trunc(double v) { return static_cast<std::int16_t>(static_cast<std::int32_t>(v)); }

// The columns from the first to the last void of a row, or first = -1: what passes 2
// and 3 need to look at, so they need not read void-free rows again.
struct VoidSpan {
  int first = -1;
  int last = -1;
};

// Pass 1 over one row: copies it and fills its void runs.
VoidSpan FillRow(const std::int16_t* s, std::int16_t* o, int width, LeftValue& lv) {
  std::memcpy(o, s, static_cast<std::size_t>(width) * sizeof *o);
  VoidSpan span;
  int c = FindVoid(s, 0, width);
  if (c < width) span.first = c;
  while (c < width) {
    if (c > 0) lv.Set(s[c - 1]);
    int e = c;
    while (e < width && s[e] == kVoid) ++e;
    span.last = e - 1;
    const int n = e - c;
    const RunWeights w(n + 1);
    std::int32_t r;
    if (e < width) {
      r = s[e];
      if (!lv.set) lv.Set(r);
    } else {
      if (!lv.set) lv.Set(0);
      r = lv.value;
    }
    for (int k = 1; k <= n; ++k) o[c + k - 1] = Trunc(w.Interpolate(k, r, lv.value));
    if (e == width) break;
    lv.Set(r);
    c = FindVoid(s, e + 1, width);
  }
  if (width > 0 && s[width - 1] != kVoid) lv.Set(s[width - 1]);
  return span;
}

// The void spans of the rows, kept for tiles of up to kSpanRows rows (every tile in use);
// taller grids are read again in full.
constexpr int kSpanRows = 4096;
class RowSpans {
 public:
  explicit RowSpans(int height) : kept_(height <= kSpanRows) {}
  void Set(int row, VoidSpan span) {
    if (kept_) spans_[row] = span;
  }
  // True when row may hold a void in columns [from, to).
  bool Touches(int row, int from, int to) const {
    if (!kept_) return true;
    return spans_[row].first >= 0 && spans_[row].first < to && spans_[row].last >= from;
  }
  VoidSpan Of(int row, int width) const { return kept_ ? spans_[row] : VoidSpan{0, width - 1}; }

 private:
  bool kept_;
  VoidSpan spans_[kSpanRows];
};

// Pass 2 for one void run of a column: rows [start, start + n) of column c.
void FillColumnRun(std::int16_t* out, std::size_t width, int c, int start, int n, std::int32_t r,
                   std::int32_t lv) {
  const RunWeights w(n + 1);
  std::int16_t* p = out + static_cast<std::size_t>(start) * width + static_cast<std::size_t>(c);
  for (int k = 1; k <= n; ++k, p += width) *p = Trunc((w.Interpolate(k, r, lv) + *p) * 0.5);
}

// Pass 2 over the columns [c0, c0 + count), in column order as far as Lv is concerned:
// runs inside a column take their left value from the sample above them; a leading run
// (from row 0) takes the left value carried from the columns before, so those are
// settled after the sweep, column by column.
void FillColumnStrip(const std::int16_t* src, std::int16_t* out, int width, int height, int c0, int count,
                     const RowSpans& spans, LeftValue& lv) {
  const std::size_t w = static_cast<std::size_t>(width);
  int open[kStrip];        // first row of the open run, or -1
  int firstValid[kStrip];  // first valid row, or -1 while none was seen
  int openIn[kStrip / kChunk] = {};  // open runs per chunk of columns
  int openCount = 0;
  for (int i = 0; i < count; ++i) {
    open[i] = -1;
    firstValid[i] = -1;
  }
  for (int row = 0; row < height; ++row) {
    const std::int16_t* s = src + static_cast<std::size_t>(row) * w + static_cast<std::size_t>(c0);
    if (openCount == 0 && !spans.Touches(row, c0, c0 + count)) {
      if (row == 0) {
        for (int i = 0; i < count; ++i) firstValid[i] = 0;
      }
      continue;
    }
    // Chunks without a void and without an open run have nothing to do in this row.
    for (int chunk = 0; chunk * kChunk < count; ++chunk) {
      const int from = chunk * kChunk;
      const int to = count - from < kChunk ? count : from + kChunk;
      if (row > 0 && openIn[chunk] == 0 && !spans.Touches(row, c0 + from, c0 + to)) continue;
      for (int i = from; i < to; ++i) {
        if (s[i] == kVoid) {
          if (open[i] < 0) {
            open[i] = row;
            ++openCount;
            ++openIn[chunk];
          }
          continue;
        }
        if (firstValid[i] < 0) firstValid[i] = row;
        if (open[i] < 0) continue;
        const int start = open[i];
        if (start > 0) {
          const std::int32_t above = src[static_cast<std::size_t>(start - 1) * w + static_cast<std::size_t>(c0 + i)];
          FillColumnRun(out, w, c0 + i, start, row - start, s[i], above);
        }
        open[i] = -1;
        --openCount;
        --openIn[chunk];
      }
    }
  }
  // Runs reaching the bottom, and then the carried left value, column by column.
  for (int i = 0; i < count; ++i) {
    const int c = c0 + i;
    const auto at = [&](int row) { return src[static_cast<std::size_t>(row) * w + static_cast<std::size_t>(c)]; };
    if (firstValid[i] < 0) {  // the whole column is void
      if (!lv.set) lv.Set(0);
      FillColumnRun(out, w, c, 0, height, lv.value, lv.value);
      continue;
    }
    if (firstValid[i] > 0) {
      const std::int32_t r = at(firstValid[i]);
      if (!lv.set) lv.Set(r);
      FillColumnRun(out, w, c, 0, firstValid[i], r, lv.value);
    }
    if (open[i] > 0) {
      const std::int32_t above = at(open[i] - 1);
      FillColumnRun(out, w, c, open[i], height - open[i], above, above);
      lv.Set(above);
    } else {
      lv.Set(at(height - 1));
    }
  }
}

// Pass 3: the 5 x 5 mean of the current output around every void, in place.
void BoxMean(const std::int16_t* src, std::int16_t* out, int width, int height, const RowSpans& spans) {
  const std::size_t w = static_cast<std::size_t>(width);
  for (int row = 0; row < height; ++row) {
    const VoidSpan span = spans.Of(row, width);
    if (span.first < 0) continue;
    const std::int16_t* s = src + static_cast<std::size_t>(row) * w;
    for (int c = FindVoid(s, span.first, span.last + 1); c <= span.last; c = FindVoid(s, c + 1, span.last + 1)) {
      const std::int32_t centre = out[static_cast<std::size_t>(row) * w + static_cast<std::size_t>(c)];
      std::int32_t sum = 0;
      if (row >= 2 && row + 2 < height && c >= 2 && c + 2 < width) {
        const std::int16_t* p = out + static_cast<std::size_t>(row - 2) * w + static_cast<std::size_t>(c - 2);
        for (int y = 0; y < 5; ++y, p += w) sum += p[0] + p[1] + p[2] + p[3] + p[4];
      } else {
        for (int y = row - 2; y <= row + 2; ++y) {
          for (int x = c - 2; x <= c + 2; ++x) {
            const bool inside = y >= 0 && y < height && x >= 0 && x < width;
            sum += inside ? out[static_cast<std::size_t>(y) * w + static_cast<std::size_t>(x)] : centre;
          }
        }
      }
      out[static_cast<std::size_t>(row) * w + static_cast<std::size_t>(c)] = static_cast<std::int16_t>(sum / 25);
    }
  }
}

}  // namespace

void FillVoidsForCompression(const std::int16_t* source, std::int16_t* output, int width, int height) {
  FillVoidsPasses(source, output, width, height, 3);
}

void FillVoidsPasses(const std::int16_t* source, std::int16_t* output, int width, int height, int lastPass) {
  if (width <= 0 || height <= 0) return;
  LeftValue lv;
  const std::size_t w = static_cast<std::size_t>(width);
  RowSpans spans(height);  // 32 KB on the stack: the passes allocate nothing
  for (int row = 0; row < height; ++row) {
    spans.Set(row, FillRow(source + static_cast<std::size_t>(row) * w, output + static_cast<std::size_t>(row) * w,
                            width, lv));
  }
  if (lastPass < 2) return;
  for (int c0 = 0; c0 < width; c0 += kStrip) {
    FillColumnStrip(source, output, width, height, c0, width - c0 < kStrip ? width - c0 : kStrip, spans, lv);
  }
  if (lastPass < 3) return;
  BoxMean(source, output, width, height, spans);
}

}  // namespace srtm
