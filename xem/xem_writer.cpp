#include "xem/xem_writer.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace srtm {
namespace {
constexpr std::size_t kIndexGrowth = 10;  // entries added at a time
}  // namespace

XemFileWriter::~XemFileWriter() { Abandon(); }

std::string XemFileWriter::TemporaryPath(const std::string& path) {
  std::string temporary = path;
  const std::size_t n = temporary.size();
  if (n >= 4 && temporary[n - 4] == '.' && (temporary[n - 3] | 0x20) == 'x' && (temporary[n - 2] | 0x20) == 'e' &&
      (temporary[n - 1] | 0x20) == 'm') {
    temporary[n - 1] = '~';
  } else {
    temporary += '~';
  }
  return temporary;
}

int XemFileWriter::Prepare(std::int32_t blockCount) {
  std::vector<XemIndexEntry>().swap(index_);
  header_ = XemHeader();
  std::memcpy(header_.magic, kXemMagic, sizeof header_.magic);
  header_.formatNumber = kXemFormatNumber;
  header_.blockCount = blockCount;
  return 1;
}

int XemFileWriter::StartFile(const std::string& path, const std::uint8_t* sectionA, const std::uint8_t* sectionB,
                             const std::uint8_t* sectionC) {
  Abandon();
  const std::int64_t first = std::int64_t{header_.sectionSizeA} + header_.sectionSizeB + header_.sectionSizeC +
                             std::int64_t{kXemIndexEntryBytes} * header_.blockCount + std::int64_t{kXemHeaderBytes};
  if (header_.blockCount < 0 || header_.sectionSizeA < 0 || header_.sectionSizeB < 0 || header_.sectionSizeC < 0 ||
      first > std::numeric_limits<std::int32_t>::max()) {
    return 0;
  }
  header_.firstBlockOffset = static_cast<std::int32_t>(first);

  temporaryPath_ = TemporaryPath(path);
  file_ = platform::CreateOutputFile(temporaryPath_.c_str());
  if (!file_) {
    temporaryPath_.clear();
    return 0;
  }
  path_ = path;

  std::uint8_t bytes[kXemHeaderBytes];
  header_.EncodeTo(bytes);
  const std::vector<std::uint8_t> zeroIndex(kXemIndexEntryBytes * static_cast<std::size_t>(header_.blockCount));
  bool ok = file_->Write(bytes, sizeof bytes) && file_->Write(zeroIndex.data(), zeroIndex.size());
  const std::pair<const std::uint8_t*, std::int32_t> sections[] = {
      {sectionA, header_.sectionSizeA}, {sectionB, header_.sectionSizeB}, {sectionC, header_.sectionSizeC}};
  for (const auto& section : sections) {
    if (!ok || section.second == 0) continue;
    // A section with a size but no contents is written as zeros, so the blocks still
    // begin at firstBlockOffset.
    const std::vector<std::uint8_t> zeros(section.first ? 0 : static_cast<std::size_t>(section.second));
    ok = file_->Write(section.first ? section.first : zeros.data(), static_cast<std::size_t>(section.second));
  }
  if (!ok) {
    Fail();
    return 0;
  }
  position_ = first;
  index_.reserve(std::max<std::size_t>(kIndexGrowth, static_cast<std::size_t>(header_.blockCount)));
  return 1;
}

int XemFileWriter::AppendBlock(std::int32_t column, std::int32_t row, const std::uint8_t* data,
                               std::int32_t length) {
  if (!file_) return 0;
  // More blocks than the index has room for would overwrite the first blocks at Finish.
  if (index_.size() >= static_cast<std::size_t>(header_.blockCount) || length < 0 || position_ > std::numeric_limits<std::int32_t>::max() ||
      !file_->Write(data, static_cast<std::size_t>(length))) {
    Fail();
    return 0;
  }
  if (index_.size() == index_.capacity()) index_.reserve(index_.size() + kIndexGrowth);
  index_.push_back(XemIndexEntry{column, row, static_cast<std::int32_t>(position_), length});
  position_ += length;
  return 1;
}

int XemFileWriter::Finish() {
  if (!file_) return 0;
  // Index entries never appended would stay zero: an index pointing at the header.
  if (index_.size() != static_cast<std::size_t>(header_.blockCount)) {
    Fail();
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
  if (!file_->Seek(0) || !file_->Write(bytes.data(), bytes.size()) || !file_->Close() ||
      !platform::ReplaceFile(temporaryPath_.c_str(), path_.c_str())) {
    Fail();
    return 0;
  }
  file_.reset();
  path_.clear();
  temporaryPath_.clear();
  return 1;
}

void XemFileWriter::Abandon() {
  if (file_) Fail();
}

void XemFileWriter::Fail() {
  file_.reset();  // closes it
  if (!temporaryPath_.empty()) platform::RemoveFile(temporaryPath_.c_str());
  path_.clear();
  temporaryPath_.clear();
}

}  // namespace srtm
