// Where the members of archives enter srtm import: one reader lists an archive's files
// and reads them. Today the raster engine's reader (GDAL's virtual file systems) serves
// zip, tar, tar.gz and gzip; the rule of which archive a file is, and everything done
// with the members (which are tiles, which are rasters, which are passed over), stays
// with import, whatever reader lists them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace srtm::cli {

enum class ArchiveKind { kNone, kZip, kTar, kGzip };

// The archive a file is by its name (.zip; .tar, .tar.gz, .tgz; .gz), letter case
// ignored; kNone for any other name.
ArchiveKind ArchiveKindOf(const std::string& name);

struct ArchiveMember {
  std::string name;      // its path in the archive, '/' between folders
  std::uint64_t size = 0;  // bytes, uncompressed
  std::string location;  // where the raster engine reads it
};

class ArchiveReader {
 public:
  virtual ~ArchiveReader() = default;
  // The regular files of the archive at `path` (a path of this system), at every depth,
  // in any order. False with the reason when it cannot be read as an archive of `kind`.
  virtual bool List(const std::string& path, ArchiveKind kind, std::vector<ArchiveMember>* members,
                    std::string* why) = 0;
  // A member's bytes, all of them: false with the reason when they cannot all be read
  // (a damaged or truncated archive). Callable from several threads at once.
  virtual bool Read(const ArchiveMember& member, std::vector<unsigned char>* bytes, std::string* why) = 0;
};

}  // namespace srtm::cli
