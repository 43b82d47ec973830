// XemFileWriter: writes one XEM file block by block.
//
//   Prepare(blockCount) -> caller fills the header -> StartFile(path, ...) ->
//   AppendBlock per block -> Finish
//
// The file is written by the output rule of platform/output_file.h: a regular file under
// a temporary name of its own beside the final one, which it takes only when Finish has
// written all of it (a file already there is replaced in one step, and stays as it was
// when the new one fails); a link is followed; a device or a named pipe is written in
// place, its blocks held in memory until Finish can write the file in order. A failed
// StartFile, AppendBlock or Finish closes the temporary file and deletes it, so no
// partial XEM file is ever left behind. Abandon does the same for a caller that stops
// early (a cancel); a writer destroyed with its file still open abandons it too.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/output_file.h"
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

  // Sets firstBlockOffset, opens the output `path`, writes the header, a zeroed index
  // and the sections that are given (their sizes come from the header). 1 on success; 0
  // when the file cannot be created, is the file `input` (when given), or a write fails
  // (file deleted).
  int StartFile(const std::string& path, const std::uint8_t* sectionA, const std::uint8_t* sectionB,
                const std::uint8_t* sectionC, const std::string& input = std::string());
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
  // Why the last StartFile, AppendBlock or Finish failed, in the system's words; empty
  // after a success.
  const std::string& error() const { return error_; }

 private:
  void Fail(const std::string& why);
  // Appends to the output, or to the blocks held for one that cannot go back.
  bool Put(const std::uint8_t* data, std::size_t size);

  platform::OutputFile out_;
  bool held_ = false;                 // the output cannot seek: sections and blocks held here
  std::vector<std::uint8_t> pending_;
  std::string path_;
  std::string error_;
  XemHeader header_;
  std::vector<XemIndexEntry> index_;
  std::int64_t position_ = 0;
};

}  // namespace srtm
