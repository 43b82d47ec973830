#include "tools/import_archive.h"

namespace srtm::cli {

const archive::Reader* ArchiveReader::Open(const std::string& path, const std::string& label, std::size_t* archive,
                                           std::string* why) {
  archives_.emplace_back();
  const Status st = archives_.back().Open(path, label);
  if (!st.ok()) {
    archives_.pop_back();
    *why = st.message();
    return nullptr;
  }
  *archive = archives_.size() - 1;
  return &archives_.back();
}

bool ArchiveReader::Read(const ArchiveMember& member, std::vector<unsigned char>* bytes, std::string* why) const {
  // A copy shares the listing and opens the file anew: no handle stays open between
  // reads, however many archives a bulk download holds.
  archive::Reader reader(archives_[member.archive]);
  const Status st = reader.Read(member.index, bytes);
  if (!st.ok()) *why = st.message();
  return st.ok();
}

}  // namespace srtm::cli
