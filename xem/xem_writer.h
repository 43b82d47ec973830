// XemFileWriter: writes one XEM file block by block.
//
//   Prepare(blockCount) -> caller fills the header -> StartFile(path, ...) ->
//   AppendBlock per block -> Finish
//
// The file is written under a temporary name beside the final one (TemporaryPath) and
// takes the final name only when Finish has written all of it: a file already there is
// replaced in one step, and stays as it was when the new one fails. A failed StartFile,
// AppendBlock or Finish closes the temporary file and deletes it, so no partial XEM
// file is ever left behind. Abandon does the same for a caller that stops early (a
// cancel); a writer destroyed with its file still open abandons it too.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "xem/xem_format.h"

namespace srtm {

class XemFileWriter {
 public:
  XemFileWriter() = default;
  ~XemFileWriter();
  XemFileWriter(const XemFileWriter&) = delete;
  XemFileWriter& operator=(const XemFileWriter&) = delete;

  // Empties the index, zeroes the header, sets magic, formatNumber and blockCount. 1.
  int Prepare(std::int32_t blockCount);
  // The header being built; the caller fills it between Prepare and StartFile.
  XemHeader& header() { return header_; }
  const std::vector<XemIndexEntry>& index() const { return index_; }

  // Sets firstBlockOffset, creates the temporary file of `path`, writes the header, a
  // zeroed index and the sections that are given (their sizes come from the header).
  // 1 on success; 0 when the file cannot be created or a write fails (file deleted).
  int StartFile(const std::string& path, const std::uint8_t* sectionA, const std::uint8_t* sectionB,
                const std::uint8_t* sectionC);
  // Appends one compressed block and its index entry. 1, or 0 on a write failure or a
  // block beyond blockCount (the file is then closed and deleted).
  int AppendBlock(std::int32_t column, std::int32_t row, const std::uint8_t* data, std::int32_t length);
  // Sets blockColumns and blockRows from the index, computes the checksum, writes the
  // final header and index, closes the file and gives it its final name. 1, or 0 when
  // any of that fails, fewer than blockCount blocks were appended (the temporary file
  // is then deleted and a file already at the path is left as it was), or no file is
  // open.
  int Finish();
  // Closes and deletes a file still being written. Nothing happens when none is open.
  void Abandon();

  // The final path of the file being written; empty when none is open.
  const std::string& path() const { return path_; }

  // Where the file for `path` is written until it is complete: the same length, so it
  // fits wherever the final path does, with the last character of an ".xem" name
  // turned into '~' (".xe~": no search for "*.xem" ever finds it); any other name gets
  // a '~' appended.
  static std::string TemporaryPath(const std::string& path);

 private:
  void Fail();

  std::unique_ptr<platform::File> file_;
  std::string path_;
  std::string temporaryPath_;
  XemHeader header_;
  std::vector<XemIndexEntry> index_;
  std::int64_t position_ = 0;
};

}  // namespace srtm
