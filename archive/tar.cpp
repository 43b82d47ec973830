// Tar: 512-byte headers, each followed by its data padded to 512 bytes; ustar's name
// prefix, GNU's long names ('L') and large sizes (base 256), pax's path and size
// records ('x'). Read front to back only, so that a tar inside a gzip is inflated once.
#include <algorithm>
#include <cstring>

#include "archive/archive_internal.h"

namespace srtm::archive::internal {
namespace {

constexpr std::uint64_t kBlock = 512;
constexpr std::uint64_t kMaxLongName = std::uint64_t{64} << 10;
constexpr std::uint64_t kMaxPaxBytes = std::uint64_t{1} << 20;

// A number field: octal digits (spaces and NULs around them), or GNU's base 256 (first
// byte 0x80). An empty field is 0.
bool ParseNumber(const std::uint8_t* p, std::size_t n, std::uint64_t* value) {
  *value = 0;
  if (p[0] == 0x80) {
    for (std::size_t i = 1; i < n; ++i) {
      if (*value >> 56) return false;
      *value = *value << 8 | p[i];
    }
    return true;
  }
  std::size_t i = 0;
  while (i < n && (p[i] == ' ' || p[i] == 0)) ++i;
  for (; i < n && p[i] >= '0' && p[i] <= '7'; ++i) {
    if (*value >> 60) return false;
    *value = *value << 3 | static_cast<unsigned>(p[i] - '0');
  }
  for (; i < n; ++i) {
    if (p[i] != ' ' && p[i] != 0) return false;
  }
  return true;
}

std::string Field(const std::uint8_t* p, std::size_t n) {
  const void* nul = std::memchr(p, 0, n);
  return std::string(reinterpret_cast<const char*>(p), nul ? static_cast<const std::uint8_t*>(nul) - p : n);
}

// The path and size records of a pax header ("LENGTH key=value\n" each).
bool ParsePax(const std::string& text, std::string* path, bool* hasSize, std::uint64_t* size) {
  for (std::size_t at = 0; at < text.size();) {
    std::size_t length = 0, i = at;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9' && length < kMaxPaxBytes; ++i) {
      length = length * 10 + static_cast<std::size_t>(text[i] - '0');
    }
    if (i == at || i >= text.size() || text[i] != ' ' || length > text.size() - at || length < i - at + 2 ||
        text[at + length - 1] != '\n') {
      return false;
    }
    const std::string record = text.substr(i + 1, at + length - i - 2);
    const std::size_t equals = record.find('=');
    if (equals == std::string::npos) return false;
    const std::string key = record.substr(0, equals), value = record.substr(equals + 1);
    if (key == "path") *path = value;
    if (key == "size") {
      std::uint64_t v = 0;
      for (char ch : value) {
        if (ch < '0' || ch > '9' || v > UINT64_MAX / 10 - 1) return false;
        v = v * 10 + static_cast<unsigned>(ch - '0');
      }
      *hasSize = !value.empty();
      *size = v;
    }
    at += length;
  }
  return true;
}

}  // namespace

bool TarChecksumOk(const std::uint8_t* block) {
  std::uint64_t recorded = 0;
  bool digits = false;
  for (std::size_t i = 148; i < 156; ++i) digits = digits || (block[i] >= '0' && block[i] <= '7');
  if (!digits || !ParseNumber(block + 148, 8, &recorded)) return false;
  std::int64_t sum = 0, signedSum = 0;  // some old writers summed signed chars
  for (std::size_t i = 0; i < kBlock; ++i) {
    const std::uint8_t b = i >= 148 && i < 156 ? ' ' : block[i];
    sum += b;
    signedSum += static_cast<signed char>(b);
  }
  return static_cast<std::int64_t>(recorded) == sum || static_cast<std::int64_t>(recorded) == signedSum;
}

Status ListTar(Source& tar, const std::string& label, std::size_t maxEntries, const EntrySink& sink,
               std::vector<Status>* problems) {
  std::uint8_t header[kBlock];
  std::string longName, paxPath;
  bool hasPaxSize = false;
  std::uint64_t paxSize = 0;
  std::size_t headers = 0;
  for (std::uint64_t at = 0;;) {
    std::size_t got = 0;
    Status st = tar.ReadAt(at, header, kBlock, &got);
    if (!st.ok()) return st;
    if (got == 0) break;  // no end blocks: accepted, as tar does
    if (got < kBlock) return CutShort(label, "tar", "", "its header at byte " + std::to_string(at) + " is incomplete");
    if (std::all_of(header, header + kBlock, [](std::uint8_t b) { return b == 0; })) break;
    if (!TarChecksumOk(header)) {
      return Damaged(label, "tar", "", "the header at byte " + std::to_string(at) + " does not match its checksum");
    }
    if (++headers > maxEntries) {
      return Status::Unsupported(label + ": more than " + std::to_string(maxEntries) + " entries: not read");
    }
    std::uint64_t size = 0;
    if (!ParseNumber(header + 124, 12, &size)) {
      return Damaged(label, "tar", "", "the header at byte " + std::to_string(at) + " has no size");
    }
    const char type = static_cast<char>(header[156]);
    const bool regular = type == '0' || type == '\0' || type == '7';
    if ((regular || type == 'S') && hasPaxSize) size = paxSize;
    const std::uint64_t data = at + kBlock;
    if (size > UINT64_MAX - data - kBlock) return Damaged(label, "tar", "", "a member of " + Bytes(size));
    const std::uint64_t next = data + (size + kBlock - 1) / kBlock * kBlock;

    if (type == 'L' || type == 'x') {
      if (size > (type == 'L' ? kMaxLongName : kMaxPaxBytes)) {
        return Damaged(label, "tar", "", "an extended header of " + Bytes(size) + " at byte " + std::to_string(at));
      }
      std::string text(static_cast<std::size_t>(size), '\0');
      st = tar.ReadAt(data, reinterpret_cast<std::uint8_t*>(&text[0]), text.size(), &got);
      if (!st.ok()) return st;
      if (got < text.size()) return CutShort(label, "tar", "", "its extended header at byte " + std::to_string(at));
      if (type == 'L') {
        longName = text.substr(0, text.find('\0'));
      } else if (!ParsePax(text, &paxPath, &hasPaxSize, &paxSize)) {
        return Damaged(label, "tar", "", "the pax header at byte " + std::to_string(at) + " is not readable");
      }
      at = next;
      continue;
    }
    if (type == 'K' || type == 'g') {  // a long link target; global pax records
      at = next;
      continue;
    }

    std::string raw = Field(header, 100);
    const bool posix = std::memcmp(header + 257, "ustar\0", 6) == 0;
    if (posix && header[345] != 0) raw = Field(header + 345, 155) + "/" + raw;
    if (!longName.empty()) raw = longName;
    const std::string path = NormalisePath(paxPath.empty() ? NameToUtf8(raw, false) : NameToUtf8(paxPath, true));
    const std::string member = MemberLabel(label, path);
    longName.clear();
    paxPath.clear();
    hasPaxSize = false;

    if (type == '1' || type == '2') {
      problems->push_back(Status::Unsupported(member + ": a link: passed over"));
    } else if (type == 'S') {
      problems->push_back(Status::Unsupported(member + ": a sparse file: not read"));
    } else if (regular && !path.empty()) {
      Entry e;
      e.path = path;
      e.offset = data;
      e.length = e.size = size;
      // Its first bytes, then its last: a member cut short is named before it is listed.
      e.head.resize(static_cast<std::size_t>(std::min<std::uint64_t>(size, kBlock)));
      st = tar.ReadAt(data, e.head.data(), e.head.size(), &got);
      bool whole = got == e.head.size();
      std::uint8_t last = 0;
      if (st.ok() && whole && size > kBlock) {
        st = tar.ReadAt(data + size - 1, &last, 1, &got);
        whole = got == 1;
      }
      if (!st.ok()) return st;
      if (!whole) {
        return CutShort(label, "tar", ToSystemText(path), "its data ends before its " + Bytes(size));
      }
      st = sink(e);
      if (!st.ok()) return st;
    }
    at = next;
  }
  if (headers == 0) return Status::NotFound(label + ": an empty tar");
  // To its end, so that a gzip around it is checked up to its trailer.
  std::uint64_t end = 0;
  return tar.Size(&end);
}

}  // namespace srtm::archive::internal
