// The archives elevation tiles are downloaded in, read without any library beyond zlib:
// zip (stored and deflated members, ZIP64, data descriptors), gzip (one file, in one
// or several concatenated members), tar (ustar, GNU long names, pax path and size)
// and tar inside gzip; an archive inside another is opened through, to a set depth.
//
// A Reader lists the regular files of a file (a file that is no archive is its own one
// member) and reads any one of them whole into the caller's buffer, checked: every zip
// member against its CRC-32, every gzip against its CRC-32 and length. What cannot be
// read says what it is and names the archive and the member: "N35.7z: a 7z archive:
// not supported; unpack it first", "bulk.zip: a damaged zip: N35E138.hgt.zip: CRC-32
// is 1c291ca3, the zip records 1c291ca2", "x.hgt.gz: a gzip cut short: …". Sizes that an archive
// records are checked before they are trusted: a zip bomb or a lying size is refused,
// never followed, and no read goes past a buffer.
//
// Text: labels, names and messages are in the system's text, UTF-8 natively and code
// page 932 in the Windows world; member names stored in UTF-8 (zip flag bit 11, pax)
// or in code page 932 (what Japanese Windows writes) are converted, and bytes that are
// not valid in their encoding, or control characters, show as '?'.
//
// Threads: a Reader is used by one thread at a time. A copy of a Reader shares the
// listing already made (nothing is listed again) and reads with its own file handle
// and position, so each thread takes a copy.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/status.h"

namespace srtm::archive {

namespace internal {
struct Listing;
class Sources;
}  // namespace internal

enum class Format {
  kNone,  // no archive: the file is its own one member
  kZip,
  kGzip,
  kTar,
  kTarGzip,
  k7z,  // the formats below are recognised, named and refused
  kRar,
  kBzip2,
  kXz,
  kZstd,
};

// What the first bytes of a file or member say it is; `name` decides only where the
// bytes cannot (a tar without the ustar magic, which needs the name's .tar). `size`
// bytes of `head`, at most 512 looked at. Returns kGzip for any gzip (what it holds
// is known only once inflated).
Format Identify(const std::uint8_t* head, std::size_t size, const std::string& name);
// "a zip", "a tar.gz", "a 7z archive", ...; "a file" for kNone.
const char* FormatName(Format format);

// One regular file inside (directories, links and devices are passed over).
struct Member {
  // The whole chain from the file as the caller named it:
  // "bulk.zip/N35E138.SRTMGL1.hgt.zip/N35E138.SRTMGL1.hgt". A gzip adds no part of
  // its own: the content of "tiles/N35E138.hgt.gz" is labelled so.
  std::string label;
  // Its file name: the last part of its path in its archive; for a gzip's content the
  // gzip's name without ".gz" (".tgz" gives ".tar"), or the name stored inside it.
  std::string name;
  // Uncompressed bytes (a gzip's content is measured by inflating it while listing:
  // its trailer records only the last member's length, modulo 4 GiB).
  std::uint64_t size = 0;
};

struct Limits {
  // Archives opened one inside the other: the file is 1, a zip in it 2. A tar.gz is
  // one archive.
  int maxDepth = 4;
  // Read refuses a larger member (listing still shows it); a gzip holding more is
  // not listed (found out by inflating it: it may be a gzip bomb).
  std::uint64_t maxMemberBytes = std::uint64_t{1} << 30;
  // Entries of all the archives in a file together (the world's SRTM-1 tiles are
  // about 14,300); a file with more is refused.
  std::size_t maxEntries = 200000;
};

class Reader {
 public:
  explicit Reader(const Limits& limits = Limits());
  ~Reader();
  // Shares the listing of `other`; reads with a file handle and position of its own.
  Reader(const Reader& other);
  Reader& operator=(const Reader& other);
  Reader(Reader&&) noexcept;
  Reader& operator=(Reader&&) noexcept;

  // Opens the file at `path` (a path of the platform layer: platform::FromUserPath)
  // and lists its members, opening nested archives through. `label` is the file as the
  // user named it, in the system's text; every label and message starts with it.
  // Fails when the file cannot be read or is an archive that cannot be listed at all
  // (damaged directory, cut short, empty, a format not read); a nested archive that
  // cannot be opened goes into problems() instead and the rest is listed.
  Status Open(const std::string& path, const std::string& label);

  // What the file is (kTarGzip for a gzip holding a tar).
  Format format() const;
  // Every regular file, in the archive's own order (nested members in place of the
  // archive that holds them).
  const std::vector<Member>& members() const;
  // Members that could not be opened through or are not read, each naming its member:
  // an inner archive damaged or nested too deep, an encrypted member, a link.
  const std::vector<Status>& problems() const;

  // Reads member `index` whole into `bytes` (resized to it; its capacity is reused),
  // checked as above. On failure `bytes` is empty. Reading the members of a tar.gz in
  // order inflates it once; out of order, each read starts from a point close before
  // the member, not from the start.
  Status Read(std::size_t index, std::vector<std::uint8_t>* bytes);

 private:
  Limits limits_;
  std::shared_ptr<const internal::Listing> listing_;
  std::unique_ptr<internal::Sources> sources_;
};

}  // namespace srtm::archive
