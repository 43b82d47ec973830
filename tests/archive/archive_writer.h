// Archives made by the tests: zips (stored or deflated members, UTF-8 flag, data
// descriptors, ZIP64, and the lies a damaged or hostile zip tells), tars (GNU long
// names, pax records) and gzips, all with zlib, so both worlds make the same bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace srtm::test {

using Bytes = std::vector<std::uint8_t>;

// A gzip of one member holding `data`.
Bytes Gzip(const Bytes& data);

struct ZipMember {
  std::string name;  // the bytes stored
  Bytes data;
  bool deflate = true;
  bool utf8 = false;               // flag bit 11
  bool descriptor = false;         // sizes and CRC after the data, zeros in the local header
  bool zip64 = false;              // sizes and offset in ZIP64 fields
  std::uint16_t flags = 0;         // more flag bits (1: encrypted)
  int method = -1;                 // the method recorded, when not the one used
  std::int64_t recordedSize = -1;  // the size the directory records, when not the true one
};

class ZipWriter {
 public:
  void Add(ZipMember member) { members_.push_back(std::move(member)); }
  // The zip, with ZIP64 end records when `zip64End` or when it holds more than 65,535
  // members; `repeat`: how many times the directory lists each member.
  Bytes Finish(bool zip64End = false, int repeat = 1) const;

 private:
  std::vector<ZipMember> members_;
};

class TarWriter {
 public:
  // A member; a name longer than 100 bytes goes into a GNU long-name header first.
  void Add(const std::string& name, const Bytes& data, char type = '0');
  // A member whose path and size are in a pax header (its own fields say otherwise).
  void AddPax(const std::string& path, const Bytes& data);
  Bytes Finish() const;

 private:
  void Header(const std::string& name, std::uint64_t size, char type);
  void Data(const Bytes& data);
  Bytes bytes_;
};

}  // namespace srtm::test
