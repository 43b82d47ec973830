#include "xem/xem_writer.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

namespace srtm {
namespace {
constexpr std::size_t kIndexGrowth = 10;  // entries added at a time
}  // namespace

XemFileWriter::~XemFileWriter() { Abandon(); }

int XemFileWriter::Prepare(std::int32_t blockCount) {
  std::vector<XemIndexEntry>().swap(index_);
  header_ = XemHeader();
  std::memcpy(header_.magic, kXemMagic, sizeof header_.magic);
  header_.formatNumber = kXemFormatNumber;
  header_.blockCount = blockCount;
  return 1;
}

bool XemFileWriter::Put(const std::uint8_t* data, std::size_t size) {
  if (!held_) return out_.Write(data, size);
  try {
    pending_.insert(pending_.end(), data, data + size);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

int XemFileWriter::StartFile(const std::string& path, const std::uint8_t* sectionA, const std::uint8_t* sectionB,
                             const std::uint8_t* sectionC, const std::string& input) {
  Abandon();
  error_.clear();
  const std::int64_t first = std::int64_t{header_.sectionSizeA} + header_.sectionSizeB + header_.sectionSizeC +
                             std::int64_t{kXemIndexEntryBytes} * header_.blockCount + std::int64_t{kXemHeaderBytes};
  if (header_.blockCount < 0 || header_.sectionSizeA < 0 || header_.sectionSizeB < 0 || header_.sectionSizeC < 0 ||
      first > std::numeric_limits<std::int32_t>::max()) {
    error_ = "the header describes no file that can be written";
    return 0;
  }
  header_.firstBlockOffset = static_cast<std::int32_t>(first);

  if (!out_.Open(path, input.empty() ? std::vector<std::string>() : std::vector<std::string>{input})) {
    error_ = out_.error();
    return 0;
  }
  path_ = path;
  // A pipe or a device cannot go back for the header: all of it is written at the end.
  held_ = !out_.seekable();
  std::vector<std::uint8_t>().swap(pending_);

  bool ok = true;
  if (!held_) {
    std::uint8_t bytes[kXemHeaderBytes];
    header_.EncodeTo(bytes);
    const std::vector<std::uint8_t> zeroIndex(kXemIndexEntryBytes * static_cast<std::size_t>(header_.blockCount));
    ok = out_.Write(bytes, sizeof bytes) && out_.Write(zeroIndex.data(), zeroIndex.size());
  }
  const std::pair<const std::uint8_t*, std::int32_t> sections[] = {
      {sectionA, header_.sectionSizeA}, {sectionB, header_.sectionSizeB}, {sectionC, header_.sectionSizeC}};
  for (const auto& section : sections) {
    if (!ok || section.second == 0) continue;
    // A section with a size but no contents is written as zeros, so the blocks still
    // begin at firstBlockOffset.
    const std::vector<std::uint8_t> zeros(section.first ? 0 : static_cast<std::size_t>(section.second));
    ok = Put(section.first ? section.first : zeros.data(), static_cast<std::size_t>(section.second));
  }
  if (!ok) {
    Fail(out_.error());
    return 0;
  }
  position_ = first;
  index_.reserve(std::max<std::size_t>(kIndexGrowth, static_cast<std::size_t>(header_.blockCount)));
  return 1;
}

int XemFileWriter::AppendBlock(std::int32_t column, std::int32_t row, const std::uint8_t* data,
                               std::int32_t length) {
  if (path_.empty()) return 0;
  // More blocks than the index has room for would overwrite the first blocks at Finish.
  if (index_.size() >= static_cast<std::size_t>(header_.blockCount) || length < 0 ||
      position_ > std::numeric_limits<std::int32_t>::max()) {
    Fail("more blocks than the index holds");
    return 0;
  }
  if (!Put(data, static_cast<std::size_t>(length))) {
    Fail(held_ ? "out of memory" : out_.error());
    return 0;
  }
  if (index_.size() == index_.capacity()) index_.reserve(index_.size() + kIndexGrowth);
  index_.push_back(XemIndexEntry{column, row, static_cast<std::int32_t>(position_), length});
  position_ += length;
  return 1;
}

int XemFileWriter::Finish() {
  if (path_.empty()) return 0;
  // Index entries never appended would stay zero: an index pointing at the header.
  if (index_.size() != static_cast<std::size_t>(header_.blockCount)) {
    Fail("fewer blocks than the index holds");
    return 0;
  }
  std::int32_t maxColumn = 0;
  std::int32_t maxRow = 0;
  for (const XemIndexEntry& e : index_) {
    maxColumn = std::max(maxColumn, e.column);
    maxRow = std::max(maxRow, e.row);
  }
  header_.blockColumns = maxColumn + 1;
  header_.blockRows = maxRow + 1;
  header_.headerChecksum = 0;
  header_.headerChecksum = header_.ComputeChecksum();

  std::vector<std::uint8_t> bytes(kXemHeaderBytes + kXemIndexEntryBytes * index_.size());
  header_.EncodeTo(bytes.data());
  for (std::size_t i = 0; i < index_.size(); ++i) {
    index_[i].EncodeTo(bytes.data() + kXemHeaderBytes + kXemIndexEntryBytes * i);
  }
  const bool written = held_ ? out_.Write(bytes.data(), bytes.size()) && out_.Write(pending_.data(), pending_.size())
                             : out_.Seek(0) && out_.Write(bytes.data(), bytes.size());
  if (!written || !out_.Commit()) {
    Fail(out_.error());
    return 0;
  }
  path_.clear();
  std::vector<std::uint8_t>().swap(pending_);
  return 1;
}

void XemFileWriter::Abandon() {
  if (!path_.empty()) Fail(error_);
}

void XemFileWriter::Fail(const std::string& why) {
  out_.Abandon();  // closes the file and deletes a temporary one
  error_ = why;
  path_.clear();
  std::vector<std::uint8_t>().swap(pending_);
}

}  // namespace srtm
