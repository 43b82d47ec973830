#include "tests/archive/archive_writer.h"

#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace srtm::test {
namespace {

Bytes Deflate(const Bytes& data, int windowBits) {
  z_stream z{};
  if (deflateInit2(&z, 6, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY) != Z_OK) throw std::runtime_error("zlib");
  Bytes out(deflateBound(&z, static_cast<uLong>(data.size())) + 32);
  z.next_in = const_cast<Bytef*>(data.data());
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  const int rc = deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  if (rc != Z_STREAM_END) throw std::runtime_error("zlib deflate");
  return out;
}

void Put(Bytes& b, std::uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void Put(Bytes& b, const Bytes& more) { b.insert(b.end(), more.begin(), more.end()); }
void Put(Bytes& b, const std::string& s) { b.insert(b.end(), s.begin(), s.end()); }

}  // namespace

Bytes Gzip(const Bytes& data) { return Deflate(data, 31); }

Bytes ZipWriter::Finish(bool zip64End, int repeat) const {
  Bytes zip, directory;
  for (const ZipMember& m : members_) {
    const Bytes stored = m.deflate ? Deflate(m.data, -15) : m.data;
    const auto crc = static_cast<std::uint32_t>(crc32(0, m.data.data(), static_cast<uInt>(m.data.size())));
    const std::uint64_t size = m.recordedSize >= 0 ? static_cast<std::uint64_t>(m.recordedSize) : m.data.size();
    const std::uint16_t flags = static_cast<std::uint16_t>(m.flags | (m.utf8 ? 0x800 : 0) | (m.descriptor ? 8 : 0));
    const int method = m.method >= 0 ? m.method : m.deflate ? 8 : 0;
    const std::uint64_t offset = zip.size();
    const std::uint32_t big = 0xFFFFFFFF;
    for (bool central : {false, true}) {
      Bytes& b = central ? directory : zip;
      Put(b, central ? 0x02014b50 : 0x04034b50, 4);
      if (central) Put(b, 0x0314, 2);  // made on Unix
      Put(b, m.zip64 ? 45 : 20, 2);
      Put(b, flags, 2);
      Put(b, method, 2);
      Put(b, 0, 4);  // time and date
      const bool blank = m.descriptor && !central;
      Put(b, blank ? 0 : crc, 4);
      Put(b, m.zip64 ? big : blank ? 0 : stored.size(), 4);
      Put(b, m.zip64 ? big : blank ? 0 : size, 4);
      Put(b, m.name.size(), 2);
      Put(b, m.zip64 ? (central ? 28 : 20) : 0, 2);
      if (central) {
        Put(b, 0, 6);               // comment length, disk, internal attributes
        Put(b, 0100644u << 16, 4);  // a regular file
        Put(b, m.zip64 ? big : offset, 4);
      }
      Put(b, m.name);
      if (m.zip64) {
        Put(b, 1, 2);
        Put(b, central ? 24 : 16, 2);
        Put(b, size, 8);
        Put(b, stored.size(), 8);
        if (central) Put(b, offset, 8);
      }
    }
    Put(zip, stored);
    if (m.descriptor) {
      Put(zip, 0x08074b50, 4);
      Put(zip, crc, 4);
      Put(zip, stored.size(), m.zip64 ? 8 : 4);
      Put(zip, size, m.zip64 ? 8 : 4);
    }
  }
  Bytes listed;
  for (int i = 0; i < repeat; ++i) Put(listed, directory);
  const std::uint64_t count = members_.size() * static_cast<std::uint64_t>(repeat);
  const std::uint64_t start = zip.size();
  Put(zip, listed);
  if (zip64End || count > 0xFFFF) {
    const std::uint64_t record = zip.size();
    Put(zip, 0x06064b50, 4);
    Put(zip, 44, 8);
    Put(zip, 45, 2);
    Put(zip, 45, 2);
    Put(zip, 0, 8);  // disks
    Put(zip, count, 8);
    Put(zip, count, 8);
    Put(zip, listed.size(), 8);
    Put(zip, start, 8);
    Put(zip, 0x07064b50, 4);
    Put(zip, 0, 4);
    Put(zip, record, 8);
    Put(zip, 1, 4);
  }
  const bool wide = zip64End || count > 0xFFFF;
  Put(zip, 0x06054b50, 4);
  Put(zip, 0, 4);
  Put(zip, wide ? 0xFFFF : count, 2);
  Put(zip, wide ? 0xFFFF : count, 2);
  Put(zip, wide ? 0xFFFFFFFF : listed.size(), 4);
  Put(zip, wide ? 0xFFFFFFFF : start, 4);
  Put(zip, 0, 2);
  return zip;
}

void TarWriter::Header(const std::string& name, std::uint64_t size, char type) {
  std::uint8_t h[512] = {};
  std::memcpy(h, name.data(), std::min<std::size_t>(name.size(), 100));
  std::snprintf(reinterpret_cast<char*>(h + 100), 24, "%07o", 0644u);
  std::snprintf(reinterpret_cast<char*>(h + 108), 16, "%07o", 0u);
  std::snprintf(reinterpret_cast<char*>(h + 116), 16, "%07o", 0u);
  std::snprintf(reinterpret_cast<char*>(h + 124), 13, "%011llo", static_cast<unsigned long long>(size));
  std::snprintf(reinterpret_cast<char*>(h + 136), 13, "%011o", 0u);
  h[156] = static_cast<std::uint8_t>(type);
  std::memcpy(h + 257,
              "ustar\0"
              "00",
              8);
  std::memset(h + 148, ' ', 8);
  unsigned sum = 0;
  for (std::uint8_t b : h) sum += b;
  std::snprintf(reinterpret_cast<char*>(h + 148), 8, "%06o", sum);
  bytes_.insert(bytes_.end(), h, h + 512);
}

void TarWriter::Data(const Bytes& data) {
  Put(bytes_, data);
  bytes_.resize((bytes_.size() + 511) / 512 * 512);
}

void TarWriter::Add(const std::string& name, const Bytes& data, char type) {
  if (name.size() > 100) {
    Header("././@LongLink", name.size() + 1, 'L');
    Data(Bytes(name.c_str(), name.c_str() + name.size() + 1));
  }
  Header(name, data.size(), type);
  Data(data);
}

void TarWriter::AddPax(const std::string& path, const Bytes& data) {
  std::string records;
  for (const std::string& record : {"path=" + path, "size=" + std::to_string(data.size())}) {
    // The length counts itself: find the one that fits.
    std::size_t n = record.size() + 3;
    while (std::to_string(n).size() + 2 + record.size() != n) ++n;
    records += std::to_string(n) + " " + record + "\n";
  }
  Header("PaxHeaders/x", records.size(), 'x');
  Data(Bytes(records.begin(), records.end()));
  Header("short-name", 0, '0');
  Data(data);
}

Bytes TarWriter::Finish() const {
  Bytes out = bytes_;
  out.resize(out.size() + 1024);
  return out;
}

}  // namespace srtm::test
