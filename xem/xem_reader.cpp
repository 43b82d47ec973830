#include "xem/xem_reader.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "platform/platform.h"
#include "xem/codec.h"

namespace srtm {
namespace {

std::string N(std::int64_t v) { return std::to_string(v); }
std::string BlockName(std::int32_t column, std::int32_t row) { return "block (" + N(column) + ", " + N(row) + ")"; }

Status ReadExactly(platform::File& file, std::uint64_t offset, void* buffer, std::size_t size, const std::string& what) {
  std::size_t got = 0;
  if (!file.ReadAt(offset, buffer, size, &got)) return Status::IoError(what + " cannot be read");
  if (got != size) return Status::Corrupt(what + ": file ends after " + N(static_cast<std::int64_t>(got)) + " of " +
                                          N(static_cast<std::int64_t>(size)) + " bytes");
  return Status::Ok();
}

// Reads and decodes one block; `exactly`: from exactly its stored bytes (see
// TileCodec::DecodeBlockExactly), and damage named with its place in the file.
Status DecodeEntry(platform::File& file, const XemHeader& h, const XemIndexEntry& e, std::vector<std::uint8_t>& data,
                   std::int16_t* out, bool exactly = false) {
  std::string name = BlockName(e.column, e.row);
  if (exactly) name += ", " + N(e.length) + " bytes at offset " + N(e.offset);
  data.resize(static_cast<std::size_t>(e.length));
  Status s = ReadExactly(file, static_cast<std::uint64_t>(e.offset), data.data(), data.size(), name);
  if (!s.ok()) return s;
  s = exactly ? TileCodec::DecodeBlockExactly(data.data(), data.size(), h.codec, h.blockWidth, h.blockHeight, out)
              : TileCodec::DecodeBlock(data.data(), data.size(), h.codec, h.blockWidth, h.blockHeight, out);
  if (!s.ok()) return Status(s.code() == Status::kCorrupt ? Status::Corrupt(name + ": " + s.message()) : s);
  return Status::Ok();
}

}  // namespace

Status XemReader::Open(const std::string& path) {
  path_ = path;
  index_.clear();
  slots_.clear();
  open_ = false;
  header_ = XemHeader();
  if (!platform::GetFileSize(path.c_str(), &fileSize_)) return Status::NotFound(path + " does not exist");
  auto file = platform::OpenShared(path.c_str());
  if (!file) return Status::IoError(path + " cannot be opened");
  if (fileSize_ < kXemHeaderBytes) {
    return Status::Corrupt("file of " + N(static_cast<std::int64_t>(fileSize_)) + " bytes is shorter than the " +
                           N(kXemHeaderBytes) + "-byte header");
  }
  Status s = ReadExactly(*file, 0, headerBytes_, kXemHeaderBytes, "header");
  if (!s.ok()) return s;
  header_.DecodeFrom(headerBytes_);
  if (std::memcmp(header_.magic, kXemMagic, sizeof kXemMagic) != 0) return Status::Corrupt("magic is not XEM0");
  unsigned sum = 0;
  for (std::uint8_t b : headerBytes_) sum += b;
  if (sum % 256 != 0) return Status::Corrupt("header checksum does not match (bytes sum to " + N(sum % 256) + ")");

  // The index is read only once its size is known to lie inside the file.
  const std::int64_t indexEnd = std::int64_t{kXemHeaderBytes} + std::int64_t{kXemIndexEntryBytes} * header_.blockCount;
  if (header_.blockCount < 0 || indexEnd > static_cast<std::int64_t>(fileSize_)) {
    return Status::Corrupt("index of " + N(header_.blockCount) + " entries passes the end of the file (" +
                           N(static_cast<std::int64_t>(fileSize_)) + " bytes)");
  }
  std::vector<std::uint8_t> indexBytes(static_cast<std::size_t>(indexEnd) - kXemHeaderBytes);
  s = ReadExactly(*file, kXemHeaderBytes, indexBytes.data(), indexBytes.size(), "index");
  if (!s.ok()) return s;
  return Check(indexBytes.data());
}

Status XemReader::Check(const std::uint8_t* indexBytes) {
  const XemHeader& h = header_;
  const auto size = static_cast<std::int64_t>(fileSize_);
  if (h.sampleBytes != 2) return Status::Corrupt("sampleBytes is " + N(h.sampleBytes) + ", not 2");
  if (h.codec != TileCodec::kCodecCopy && h.codec != TileCodec::kCodecCopy2 &&
      h.codec != TileCodec::kCodecDifferential) {
    return Status::Corrupt("codec " + N(h.codec) + " is not one of 0, 2 and 3");
  }
  if (h.blockWidth < 1 || h.blockWidth > kMaxBlockSide || h.blockHeight < 1 || h.blockHeight > kMaxBlockSide) {
    return Status::Corrupt("block size " + N(h.blockWidth) + " x " + N(h.blockHeight) + " is out of range");
  }
  if (h.gridWidth < 1 || h.gridHeight < 1 || std::int64_t{h.gridWidth} * h.gridHeight > kMaxGridSamples) {
    return Status::Corrupt("grid size " + N(h.gridWidth) + " x " + N(h.gridHeight) + " is out of range");
  }
  if (h.blockColumns < 1 || h.blockRows < 1 ||
      std::int64_t{h.blockColumns} * h.blockRows > kMaxGridSamples) {
    return Status::Corrupt("block grid " + N(h.blockColumns) + " x " + N(h.blockRows) + " is out of range");
  }
  if (h.sectionSizeA < 0 || h.sectionSizeB < 0 || h.sectionSizeC < 0) {
    return Status::Corrupt("a section size is negative");
  }
  const std::int64_t first = std::int64_t{kXemHeaderBytes} + std::int64_t{kXemIndexEntryBytes} * h.blockCount +
                             h.sectionSizeA + h.sectionSizeB + h.sectionSizeC;
  if (h.firstBlockOffset != first) {
    return Status::Corrupt("firstBlockOffset is " + N(h.firstBlockOffset) + ", expected " + N(first));
  }
  if (first > size) return Status::Corrupt("firstBlockOffset " + N(first) + " passes the end of the file");

  index_.resize(static_cast<std::size_t>(h.blockCount));
  slots_.reserve(index_.size());
  for (std::size_t i = 0; i < index_.size(); ++i) {
    XemIndexEntry& e = index_[i];
    e.DecodeFrom(indexBytes + kXemIndexEntryBytes * i);
    const std::string where = "index entry " + N(static_cast<std::int64_t>(i)) + ", " + BlockName(e.column, e.row);
    if (e.column < 0 || e.column >= h.blockColumns || e.row < 0 || e.row >= h.blockRows) {
      return Status::Corrupt(where + ": outside the " + N(h.blockColumns) + " x " + N(h.blockRows) + " block grid");
    }
    if (e.length < 0 || e.offset < first || std::int64_t{e.offset} + e.length > size) {
      return Status::Corrupt(where + ": " + N(e.length) + " bytes at offset " + N(e.offset) +
                             " lie outside the block data (" + N(first) + " to " + N(size) + ")");
    }
    slots_.emplace_back(e.column + std::int64_t{e.row} * h.blockColumns, static_cast<std::int32_t>(i));
  }
  std::sort(slots_.begin(), slots_.end());
  for (std::size_t k = 1; k < slots_.size(); ++k) {
    if (slots_[k].first == slots_[k - 1].first) {
      const XemIndexEntry& e = index_[static_cast<std::size_t>(slots_[k].second)];
      return Status::Corrupt("index entry " + N(slots_[k].second) + ", " + BlockName(e.column, e.row) +
                             ": the block appears twice");
    }
  }
  open_ = true;
  return Status::Ok();
}

const XemIndexEntry* XemReader::FindBlock(std::int32_t column, std::int32_t row) const {
  if (!open_ || column < 0 || row < 0 || column >= header_.blockColumns || row >= header_.blockRows) {
    return nullptr;
  }
  const std::int64_t key = column + std::int64_t{row} * header_.blockColumns;
  const auto it = std::lower_bound(slots_.begin(), slots_.end(), std::make_pair(key, std::int32_t{-1}));
  return it == slots_.end() || it->first != key ? nullptr : &index_[static_cast<std::size_t>(it->second)];
}

Status XemReader::ReadBlock(std::int32_t column, std::int32_t row, std::vector<std::int16_t>* samples) const {
  const XemIndexEntry* entry = FindBlock(column, row);
  if (!entry) return Status::NotFound(BlockName(column, row) + " is not in the index");
  auto file = platform::OpenShared(path_.c_str());
  if (!file) return Status::IoError(path_ + " cannot be opened");
  samples->resize(static_cast<std::size_t>(header_.blockWidth) * static_cast<std::size_t>(header_.blockHeight));
  std::vector<std::uint8_t> data;
  return DecodeEntry(*file, header_, *entry, data, samples->data());
}

Status XemReader::ReadGrid(std::vector<std::int16_t>* grid) const {
  const XemHeader& h = header_;
  if (!open_) return Status::InvalidArgument("no file is open");
  const std::int32_t columns = (h.gridWidth + h.blockWidth - 1) / h.blockWidth;
  const std::int32_t rows = (h.gridHeight + h.blockHeight - 1) / h.blockHeight;
  // Every block is looked up before the grid is allocated, so a header that claims a
  // large grid over a short index costs nothing.
  for (std::int32_t r = 0; r < rows; ++r) {
    for (std::int32_t c = 0; c < columns; ++c) {
      if (!FindBlock(c, r)) return Status::Corrupt(BlockName(c, r) + " of the grid is not in the index");
    }
  }
  auto file = platform::OpenShared(path_.c_str());
  if (!file) return Status::IoError(path_ + " cannot be opened");
  const std::size_t width = static_cast<std::size_t>(h.gridWidth);
  grid->assign(width * static_cast<std::size_t>(h.gridHeight), 0);
  std::vector<std::int16_t> block(static_cast<std::size_t>(h.blockWidth) * static_cast<std::size_t>(h.blockHeight));
  std::vector<std::uint8_t> data;
  for (std::int32_t r = 0; r < rows; ++r) {
    for (std::int32_t c = 0; c < columns; ++c) {
      const XemIndexEntry* entry = FindBlock(c, r);
      Status s = DecodeEntry(*file, h, *entry, data, block.data());
      if (!s.ok()) return s;
      const std::int32_t x0 = c * h.blockWidth;
      const std::int32_t y0 = r * h.blockHeight;
      const std::int32_t w = std::min(h.blockWidth, h.gridWidth - x0);
      const std::int32_t ht = std::min(h.blockHeight, h.gridHeight - y0);
      for (std::int32_t j = 0; j < ht; ++j) {
        std::memcpy(grid->data() + static_cast<std::size_t>(y0 + j) * width + static_cast<std::size_t>(x0),
                    block.data() + static_cast<std::size_t>(j) * static_cast<std::size_t>(h.blockWidth),
                    static_cast<std::size_t>(w) * sizeof(std::int16_t));
      }
    }
  }
  return Status::Ok();
}

Status XemReader::CheckEveryBlock(XemBlockCheck* check) const {
  *check = XemBlockCheck();
  const XemHeader& h = header_;
  if (!open_) return Status::InvalidArgument("no file is open");
  auto file = platform::OpenShared(path_.c_str());
  if (!file) return Status::IoError(path_ + " cannot be opened");
  std::vector<const XemIndexEntry*> order;
  for (const XemIndexEntry& e : index_) order.push_back(&e);
  std::stable_sort(order.begin(), order.end(),
                   [](const XemIndexEntry* a, const XemIndexEntry* b) { return a->offset < b->offset; });
  std::vector<std::int16_t> block(static_cast<std::size_t>(h.blockWidth) * static_cast<std::size_t>(h.blockHeight));
  std::vector<std::uint8_t> data;
  for (const XemIndexEntry* e : order) {
    ++check->blocks;
    const Status s = DecodeEntry(*file, h, *e, data, block.data(), true);
    if (s.code() == Status::kIoError) return s;
    if (!s.ok()) {
      if (check->damaged++ == 0) check->firstDamage = s;
      continue;
    }
    // Voids inside the grid (a block may reach past its edge).
    const std::int64_t x0 = std::int64_t{e->column} * h.blockWidth, y0 = std::int64_t{e->row} * h.blockHeight;
    const std::int64_t w = std::min<std::int64_t>(h.blockWidth, h.gridWidth - x0);
    const std::int64_t ht = std::min<std::int64_t>(h.blockHeight, h.gridHeight - y0);
    for (std::int64_t j = 0; j < ht; ++j) {
      const std::int16_t* row = block.data() + j * h.blockWidth;
      check->voids += std::count(row, row + std::max<std::int64_t>(w, 0), std::int16_t{-32768});
    }
  }
  const std::int32_t columns = (h.gridWidth + h.blockWidth - 1) / h.blockWidth;
  const std::int32_t rows = (h.gridHeight + h.blockHeight - 1) / h.blockHeight;
  for (std::int32_t r = 0; r < rows; ++r) {
    for (std::int32_t c = 0; c < columns; ++c) {
      if (FindBlock(c, r)) continue;
      if (check->damaged++ == 0) check->firstDamage = Status::Corrupt(BlockName(c, r) + " of the grid is not in the index");
    }
  }
  return Status::Ok();
}

}  // namespace srtm
