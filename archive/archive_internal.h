// The pieces behind archive.h, shared by its files: byte sources read at any offset
// (a file, a part of another source, an inflated stream with points to resume from),
// the zip, tar and gzip header parsers, and the text of member names.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "platform/platform.h"

namespace srtm::archive::internal {

// ---- Bytes ----

inline std::uint16_t Get16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
inline std::uint32_t Get32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(Get16(p)) | static_cast<std::uint32_t>(Get16(p + 2)) << 16;
}
inline std::uint64_t Get64(const std::uint8_t* p) {
  return static_cast<std::uint64_t>(Get32(p)) | static_cast<std::uint64_t>(Get32(p + 4)) << 32;
}

// "1,234,567 bytes".
std::string Bytes(std::uint64_t n);
// "CRC-32 is 1c291ca3, the zip records 1c291ca2".
std::string CrcMismatch(std::uint32_t found, std::uint32_t recorded, const char* kind);
// The messages of an archive of `kind` ("zip") labelled `label`, about `member` (a label
// of the system's text; empty for the archive as a whole).
Status Damaged(const std::string& label, const char* kind, const std::string& member, const std::string& what);
Status CutShort(const std::string& label, const char* kind, const std::string& member, const std::string& what);

// ---- Sources ----

// A stream of bytes read at any offset.
class Source {
 public:
  virtual ~Source() = default;
  // Its length. An inflated stream whose length is not recorded inflates to its end.
  virtual Status Size(std::uint64_t* size) = 0;
  // Up to n bytes at `offset`; *got < n only at the end of the data. Fails on damage.
  virtual Status ReadAt(std::uint64_t offset, std::uint8_t* out, std::size_t n, std::size_t* got) = 0;
};

// Where inflating can start again in the middle of a deflate stream.
struct Checkpoint {
  std::uint64_t in = 0;              // compressed bytes before it, a partly used byte counted
  int bits = 0;                      // bits of that byte still to use
  std::uint64_t out = 0;             // uncompressed offset
  std::vector<std::uint8_t> window;  // the 32 KiB of output before it
  // Where resuming reads the compressed bytes (the partly used byte).
  std::uint64_t Start() const { return in - (bits ? 1 : 0); }
};

// One stream of bytes in the chain from the file to a member.
struct Node {
  enum class Kind { kFile, kRegion, kDeflate, kGzip };
  Kind kind = Kind::kFile;
  int parent = -1;
  std::uint64_t offset = 0;  // where its bytes start in the parent
  std::uint64_t length = 0;  // bytes of the parent it takes (compressed ones when inflated)
  std::uint64_t size = 0;    // its own length, once sizeKnown
  bool sizeKnown = false;    // a file, a part, a zip member: always; a gzip: once inflated to its end
  bool hasCrc = false;       // a zip member: its recorded CRC-32
  std::uint32_t crc = 0;
  std::string archive;                  // for messages: the label of the archive it belongs to
  std::string member;                   // and its member label in it (empty for a gzip)
  std::vector<Checkpoint> checkpoints;  // an inflated stream: sorted by `out`
};

std::unique_ptr<Source> OpenFileSource(const std::string& path, const std::string& label, Status* status);
std::unique_ptr<Source> NewRegionSource(Source* parent, std::uint64_t offset, std::uint64_t length);

// Inflates a zip member (raw deflate, its size and CRC-32 recorded) or a gzip (one or
// more members, each with its CRC-32 and length) from `parent`, at any offset: it goes
// on from where it is, or starts again from the nearest checkpoint, else from the
// start. With `record` (the listing), a pass forward takes checkpoints and the length
// it finds into `*record`, which is `entry`.
class InflateSource final : public Source {
 public:
  InflateSource(Source* parent, const Node& entry, Node* record);
  ~InflateSource() override;
  InflateSource(const InflateSource&) = delete;
  InflateSource& operator=(const InflateSource&) = delete;

  Status Size(std::uint64_t* size) override;
  Status ReadAt(std::uint64_t offset, std::uint8_t* out, std::size_t n, std::size_t* got) override;
  // Everything from the start, appended to `out`; refused beyond `limit` bytes. `hint`:
  // the length expected (a gzip's trailer), room made for it at once.
  Status ReadAll(std::uint64_t limit, std::uint64_t hint, std::vector<std::uint8_t>* out);

 private:
  struct State;
  std::unique_ptr<State> s_;
};

// ---- Formats ----

// One regular file found in a zip or a tar.
struct Entry {
  std::string path;          // UTF-8, folders separated by '/'
  std::uint64_t offset = 0;  // where its data starts in the archive
  std::uint64_t length = 0;  // bytes it takes there
  std::uint64_t size = 0;    // bytes it holds
  bool deflated = false;
  bool hasCrc = false;
  std::uint32_t crc = 0;
  std::vector<std::uint8_t> head;  // its first bytes when the parser read them already
};

// Called for each entry in the archive's order; a failure stops the listing with it.
using EntrySink = std::function<Status(const Entry&)>;

// Entries passed over (encrypted, a method not read, links) go into `problems`.
Status ListZip(Source& zip, const std::string& label, std::size_t maxEntries, const EntrySink& sink,
               std::vector<Status>* problems);
Status ListTar(Source& tar, const std::string& label, std::size_t maxEntries, const EntrySink& sink,
               std::vector<Status>* problems);

struct GzipHeader {
  std::uint64_t length = 0;  // bytes of the header
  std::string name;          // the original name it stores (UTF-8), or empty
};
Status ReadGzipHeader(Source& source, std::uint64_t at, std::uint64_t end, const std::string& label,
                      GzipHeader* header);

// True when the 512-byte block is a tar header with a correct checksum.
bool TarChecksumOk(const std::uint8_t* block);

// ---- Names ----

// A stored name as UTF-8: `utf8` when its archive says it is; otherwise UTF-8 when it is
// valid as such, else code page 932. Invalid bytes and control characters become '?'.
std::string NameToUtf8(const std::string& raw, bool utf8);
// The system's text (a label the caller gave) as UTF-8.
std::string SystemTextToUtf8(const std::string& text);
// UTF-8 as the system's text (unchanged natively; code page 932 in the Windows world,
// '?' for what it cannot show).
std::string ToSystemText(const std::string& utf8);
// "a/./b\c" as "a/b/c": separators made '/', empty and "." parts dropped.
std::string NormalisePath(const std::string& utf8);
// The label of a member: "archive/path" in the system's text.
std::string MemberLabel(const std::string& archive, const std::string& utf8Path);

}  // namespace srtm::archive::internal
