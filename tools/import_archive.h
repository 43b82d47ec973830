// Where the members of archives enter srtm import, in both worlds: the project's own
// readers (archive/archive.h, on zlib alone) list a zip, tar, tar.gz or gzip, archives
// inside it opened through, and read any member's bytes, checked, on any thread. Which
// members are tiles, which are rasters and which are passed over is import's rule
// (import_sources.cpp), whatever reads them.
#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <vector>

#include "archive/archive.h"

namespace srtm::cli {

// A member of an archive the reader opened.
struct ArchiveMember {
  std::size_t archive = 0;  // the archive, numbered in the order opened
  std::size_t index = 0;    // its member, as listed
};

class ArchiveReader {
 public:
  // Opens the file at `path` (in the platform layer's form, platform::FromUserPath; the
  // user's `label` for it) and lists its members, nested archives opened through;
  // `*archive` receives its number. Null with the reader's message (naming the file)
  // when it cannot be listed: damaged, cut short, empty, or a format not read (7z, rar,
  // ...). A file that is no archive is listed as its own one member (format kNone).
  const archive::Reader* Open(const std::string& path, const std::string& label, std::size_t* archive,
                              std::string* why);
  // All the bytes of `member`, checked against what its archive records; false with the
  // reason naming the archive and the member. Callable from several threads at once:
  // each read is made by a copy of the archive's reader, with a file handle of its own
  // for the time of the read.
  bool Read(const ArchiveMember& member, std::vector<unsigned char>* bytes, std::string* why) const;

 private:
  std::deque<archive::Reader> archives_;  // only added to, and only before reads begin
};

}  // namespace srtm::cli
