// The XEM reader on arbitrary file contents: Open must name any damage, and whatever it
// accepts must decode block by block and as a whole grid without a read outside the
// file or a write outside the caller's buffers.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "xem/xem_reader.h"

namespace {
constexpr char kPath[] = "Z:\\fuzz\\input.xem";
// Whole grids above this are skipped: the reader accepts up to 2^26 samples, which is
// too slow to decode on every input yet says nothing new about the decoding itself.
constexpr std::int64_t kMaxGridSamplesDecoded = std::int64_t{1} << 21;
constexpr std::size_t kMaxBlocksDecoded = 256;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  srtm::fuzz::MemoryEnv env;
  env.AddFile(kPath, std::vector<std::uint8_t>(data, data + size));

  srtm::XemReader reader;
  const srtm::Status opened = reader.Open(kPath);
  if (!opened.ok()) {
    if (opened.message().empty()) std::abort();  // every refusal names its check
    return 0;
  }
  const srtm::XemHeader& h = reader.header();
  std::vector<std::int16_t> samples;
  std::size_t decoded = 0;
  for (const srtm::XemIndexEntry& entry : reader.index()) {
    if (++decoded > kMaxBlocksDecoded) break;
    if (reader.FindBlock(entry.column, entry.row) == nullptr) std::abort();
    const srtm::Status s = reader.ReadBlock(entry.column, entry.row, &samples);
    if (s.ok() && samples.size() != static_cast<std::size_t>(h.blockWidth) * static_cast<std::size_t>(h.blockHeight)) {
      std::abort();
    }
  }
  // A block the index does not hold is refused, never decoded from elsewhere.
  if (reader.FindBlock(-1, 0) != nullptr || reader.ReadBlock(-1, 0, &samples).ok()) std::abort();

  if (std::int64_t{h.gridWidth} * h.gridHeight <= kMaxGridSamplesDecoded) {
    std::vector<std::int16_t> grid;
    const srtm::Status s = reader.ReadGrid(&grid);
    if (s.ok() && grid.size() != static_cast<std::size_t>(h.gridWidth) * static_cast<std::size_t>(h.gridHeight)) {
      std::abort();
    }
  }
  return 0;
}
