#include "hgt/hgt_tile.h"

#include <algorithm>
#include <cstring>

#include <emmintrin.h>  // SSE2, the floor of both worlds

#include "hgt/paths.h"
#include "hgt/settings.h"
#include "platform/platform.h"

namespace srtm {
namespace {

// Before clamping to the globe, the map reaches this many samples (4100 blocks) beyond
// the opened tile on every side; clamping then leaves 180 tiles west and east and 90
// south and north.
constexpr std::int32_t kInitialMargin = 4100 * BLOCK_SIDE;

void ZeroRect(std::int16_t* target, int outRow, int rows, int outCol, int cols) {
  for (int i = 0; i < rows; ++i) {
    std::memset(target + (outRow + i) * BLOCK_SIDE + outCol, 0, sizeof(std::int16_t) * cols);
  }
}

// One stretch of the block along one axis that lies within one tile of the map, or
// wholly outside the map (tile < 0).
struct Segment {
  std::int64_t tile = -1;  // tile row or column counted from the map's origin
  int start = 0;           // first sample within the tile, from its south or west edge
  int count = 0;           // samples of the block in this stretch
};

// The stretch of the block that begins at block position `out`, where the block starts
// at map position `first`, for a map of `extent` samples cut into tiles of `span`.
Segment NextSegment(std::int64_t first, int out, std::int64_t extent, int span) {
  Segment segment;
  const std::int64_t at = first + out;
  const std::int64_t left = BLOCK_SIDE - out;
  if (at < 0) {
    segment.count = static_cast<int>(std::min<std::int64_t>(left, -at));
  } else if (at >= extent) {
    segment.count = static_cast<int>(left);
  } else {
    segment.tile = at / span;
    segment.start = static_cast<int>(at % span);
    segment.count = static_cast<int>(std::min({left, static_cast<std::int64_t>(span - segment.start), extent - at}));
  }
  return segment;
}

inline std::int16_t ConvertSample(const unsigned char* b) {
  const auto v = static_cast<std::int16_t>(b[0] << 8 | b[1]);
  return v == VOID_SAMPLE ? VOID_SAMPLE : static_cast<std::int16_t>(static_cast<std::uint16_t>(v) + 1u);
}

// Reads of whole runs of rows pay off while a file row is short: copying a 2402-byte
// SRTM-3 row costs less than a read call of its own, a 7202-byte SRTM-1 row does not.
constexpr std::size_t kMaxRowBytesForRuns = 4096;
constexpr std::size_t kRunReadBytes = 64 * 1024;

}  // namespace

void ConvertRow(const unsigned char* bytes, int count, std::int16_t* out) {
  int j = 0;
  const __m128i voids = _mm_set1_epi16(VOID_SAMPLE);
  const __m128i one = _mm_set1_epi16(1);
  for (; j + 8 <= count; j += 8) {
    const __m128i raw = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + 2 * j));
    const __m128i v = _mm_or_si128(_mm_slli_epi16(raw, 8), _mm_srli_epi16(raw, 8));
    const __m128i isVoid = _mm_cmpeq_epi16(v, voids);
    const __m128i shifted = _mm_add_epi16(v, _mm_andnot_si128(isVoid, one));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + j), shifted);
  }
  for (; j < count; ++j) out[j] = ConvertSample(bytes + 2 * j);  // the row's last 0 to 7
}

BlockOrigin DecodeBlockNumber(std::int32_t n) {
  // Signed division and remainder truncate toward zero, as the host's numbering expects.
  const std::int32_t bigY = (n % 1000000) / 10000 + (n / 100000000) * 100;
  const std::int32_t bigX = (n % 10000) / 100 + ((n % 100000000) / 1000000) * 100;
  const std::int32_t subY = (n % 100) / 10;
  const std::int32_t subX = n % 10;
  BlockOrigin origin;
  origin.row = (8 * bigY + subY) / 8;
  origin.column = (8 * bigX + subX) / 8;
  origin.firstRow = static_cast<std::int64_t>(BLOCK_SIDE) * origin.row;
  origin.firstColumn = static_cast<std::int64_t>(BLOCK_SIDE) * (origin.column - 1);
  return origin;
}

void ApplySeaLevel(std::int16_t* block, std::int32_t seaOn, std::int32_t seaLevel) {
  // The threshold never drops below the void value, so that a void is served as 0
  // whatever the sea level; and it is computed wide, so that no sea level overflows it.
  std::int64_t wide = seaOn ? static_cast<std::int64_t>(seaLevel) + 1 : VOID_SAMPLE;
  const auto threshold = static_cast<std::int16_t>(std::clamp<std::int64_t>(wide, VOID_SAMPLE, 32767));
  // In 16-bit lanes: above the threshold (never the void value) v - 1 cannot wrap.
  static_assert(BLOCK_SAMPLES % 8 == 0, "a block is whole vectors of 8 samples");
  const __m128i t = _mm_set1_epi16(threshold);
  const __m128i one = _mm_set1_epi16(1);
  for (int i = 0; i < BLOCK_SAMPLES; i += 8) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + i));
    const __m128i above = _mm_cmpgt_epi16(v, t);
    const __m128i notPositive = _mm_cmpgt_epi16(one, v);  // all ones where v <= 0
    const __m128i served = _mm_and_si128(_mm_add_epi16(v, notPositive), above);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(block + i), served);
  }
}

HgtTile::HgtTile() { Reset(); }

HgtTile::~HgtTile() { ReleaseBuffers(); }

void HgtTile::ReleaseBuffers() {
  rowBuffer_.reset();
  blockBuffer_.reset();
}

void HgtTile::Reset() {
  rowBuffer_.reset();
  blockBuffer_.reset();
  kind_ = kSrtm1;
  degreesPerTile_ = 1;
  folder_.clear();
  fileName_.clear();
  opened_ = 0;
}

std::int32_t HgtTile::Close() {
  ReleaseBuffers();
  Reset();
  return 1;
}

std::int32_t HgtTile::Open(const std::string& path, std::int32_t kind) {
  ReleaseBuffers();
  Reset();
  if (kind != kSrtm1 && kind != kSrtm3) return 0;
  tileSpanX_ = tileSpanY_ = kind == kSrtm1 ? 3600 : 1200;
  degreesPerTile_ = 1;
  kind_ = kind;
  samplesPerDegreeX_ = static_cast<double>(tileSpanX_) / degreesPerTile_;
  samplesPerDegreeY_ = static_cast<double>(tileSpanY_) / degreesPerTile_;
  fileSize_ = (tileSpanX_ + 1) * (tileSpanY_ + 1) * 2;

  std::string folder, name;
  if (!SplitPath(path, &folder, &name) || !ParseTileName(name, &tileLat_, &tileLon_)) {
    Reset();
    return 0;
  }
  if (EndsWithBackslash(folder.c_str())) folder.pop_back();
  folder_ = folder;
  fileName_ = name;

  // The map around the tile, clamped to the globe and cut back to whole tiles. Every
  // tile of a kind gives the same map; only the file name differs.
  marginX_ = tileSpanX_ * (kInitialMargin / tileSpanX_);
  marginY_ = tileSpanY_ * (kInitialMargin / tileSpanY_);
  south_ = tileLat_ - marginY_ / samplesPerDegreeY_;
  north_ = tileLat_ + (tileSpanY_ + marginY_) / samplesPerDegreeY_;
  west_ = tileLon_ - marginX_ / samplesPerDegreeX_;
  east_ = tileLon_ + (tileSpanX_ + marginX_) / samplesPerDegreeX_;
  south_ = std::max(south_, -90.0);
  north_ = std::min(north_, 90.0);
  west_ = std::max(west_, -180.0);
  east_ = std::min(east_, 180.0);
  marginX_ = tileSpanX_ * (static_cast<std::int32_t>((east_ - west_) * samplesPerDegreeX_) / tileSpanX_) / 2;
  marginY_ = tileSpanY_ * (static_cast<std::int32_t>((north_ - south_) * samplesPerDegreeY_) / tileSpanY_) / 2;
  north_ = south_ + (tileSpanY_ + 2 * marginY_) / samplesPerDegreeY_;
  east_ = west_ + (tileSpanX_ + 2 * marginX_) / samplesPerDegreeX_;
  originLat_ = static_cast<std::int32_t>(south_);
  originLon_ = static_cast<std::int32_t>(west_);

  // Each sample sits at the centre of its cell.
  const double halfY = 0.5 / samplesPerDegreeY_;
  const double halfX = 0.5 / samplesPerDegreeX_;
  south_ -= halfY;
  north_ -= halfY;
  west_ -= halfX;
  east_ -= halfX;

  // The row buffer takes one row segment, or a run of whole rows for short rows.
  rowsPerRead_ = RowBytes() <= kMaxRowBytesForRuns ? static_cast<int>(kRunReadBytes / RowBytes()) : 1;
  const std::size_t rowSamples =
      rowsPerRead_ > 1 ? rowsPerRead_ * RowBytes() / 2 : static_cast<std::size_t>(tileSpanX_);
  rowBuffer_ = platform::AllocateArray<std::int16_t>(rowSamples);
  blockBuffer_ = platform::AllocateArray<std::int16_t>(BLOCK_SAMPLES);
  if (!rowBuffer_ || !blockBuffer_) {
    ReleaseBuffers();
    return 0;
  }
  opened_ = 1;
  return 1;
}

std::int32_t HgtTile::ReadBlock(std::int32_t blockNumber, std::int16_t* buffer) {
  if (!opened_) {
    std::memset(buffer, 0, sizeof(std::int16_t) * BLOCK_SAMPLES);
    return 0;
  }
  // One snapshot of the settings serves the whole read.
  const PluginSettings settings = g_pluginSettings;
  const bool fill = settings.fillVoids != 0;
  std::int16_t* target = fill ? blockBuffer_.get() : buffer;

  const BlockOrigin origin = DecodeBlockNumber(blockNumber);
  for (int outRow = 0; outRow < BLOCK_SIDE;) {
    const Segment rows = NextSegment(origin.firstRow, outRow, height(), tileSpanY_);
    for (int outCol = 0; outCol < BLOCK_SIDE;) {
      const Segment cols = NextSegment(origin.firstColumn, outCol, width(), tileSpanX_);
      if (rows.tile >= 0 && cols.tile >= 0) {
        const int lat = originLat_ + static_cast<int>(rows.tile) * degreesPerTile_;
        const int lon = originLon_ + static_cast<int>(cols.tile) * degreesPerTile_;
        ReadTileSegment(lat, lon, rows.start, rows.count, cols.start, cols.count, target, outRow, outCol);
      } else {
        ZeroRect(target, outRow, rows.count, outCol, cols.count);
      }
      outCol += cols.count;
    }
    outRow += rows.count;
  }

  if (fill) FillVoids(blockBuffer_.get(), buffer);
  ApplySeaLevel(buffer, settings.seaOn, settings.seaLevel);
  return 1;
}

void HgtTile::ReadTileSegment(int lat, int lon, int rowStart, int rows, int colStart, int cols,
                              std::int16_t* target, int outRow, int outCol) {
  const std::string path = FormatTilePath(folder_, lat, lon);
  std::uint64_t size = 0;
  std::unique_ptr<platform::File> file;
  if (platform::GetFileSize(path.c_str(), &size) && size == static_cast<std::uint64_t>(fileSize_)) {
    file = platform::OpenShared(path.c_str());
  }
  if (!file) {
    ZeroRect(target, outRow, rows, outCol, cols);
    return;
  }

  auto* staging = reinterpret_cast<unsigned char*>(rowBuffer_.get());
  const std::size_t stride = RowBytes();
  const std::size_t segmentBytes = 2 * static_cast<std::size_t>(cols);
  // Block row i lies in file row (span - rowStart - i): file rows run north to south.
  auto fileRowOf = [&](int i) { return static_cast<std::uint64_t>(tileSpanY_ - rowStart - i); };
  auto readRow = [&](int i) {
    std::size_t got = 0;
    const std::uint64_t offset = fileRowOf(i) * stride + 2u * colStart;
    if (!file->ReadAt(offset, staging, segmentBytes, &got) || got != segmentBytes) {
      // A row that cannot be read counts as height 0 m; the next row is tried anyway.
      std::memset(staging, 0, segmentBytes);
    }
    ConvertRow(staging, cols, target + (outRow + i) * BLOCK_SIDE + outCol);
  };

  for (int i = 0; i < rows;) {
    const int n = std::min(rowsPerRead_, rows - i);
    if (n == 1) {
      readRow(i);
      ++i;
      continue;
    }
    // Rows i to i + n - 1 are n consecutive file rows, the northernmost first: one read
    // from the segment of the first to the end of the segment of the last.
    const std::uint64_t north = fileRowOf(i + n - 1);
    const std::size_t length = (n - 1) * stride + segmentBytes;
    std::size_t got = 0;
    if (file->ReadAt(north * stride + 2u * colStart, staging, length, &got) && got == length) {
      for (int k = 0; k < n; ++k) {
        ConvertRow(staging + (n - 1 - k) * stride, cols, target + (outRow + i + k) * BLOCK_SIDE + outCol);
      }
    } else {
      // Row by row, so that only the rows that really fail become 0 m.
      for (int k = 0; k < n; ++k) readRow(i + k);
    }
    i += n;
  }
}

}  // namespace srtm
