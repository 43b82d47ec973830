// Zip: the end record (ZIP64's too), the central directory, and each member's local
// header. Only the directory's sizes are used (a data descriptor repeats them), and
// each is checked before it is trusted: against the file, against the others (members
// that share bytes are a zip bomb) and against what deflate can give.
#include <zlib.h>

#include <algorithm>
#include <new>

#include "archive/archive_internal.h"

namespace srtm::archive::internal {
namespace {

constexpr std::uint32_t kLocalSignature = 0x04034b50;
constexpr std::uint32_t kCentralSignature = 0x02014b50;
constexpr std::uint32_t kEndSignature = 0x06054b50;
constexpr std::uint32_t kEnd64Signature = 0x06064b50;
constexpr std::uint32_t kLocator64Signature = 0x07064b50;
constexpr std::size_t kEndBytes = 22, kLocatorBytes = 20, kEnd64Bytes = 56, kCentralBytes = 46, kLocalBytes = 30;
constexpr std::uint64_t kMaxDirectoryBytes = std::uint64_t{256} << 20;
// Deflate gives at most 258 bytes for 2 bits: 1032 to 1.
constexpr std::uint64_t kMaxDeflateRatio = 1032;

struct Central {
  std::string path;  // UTF-8, normalised
  std::uint16_t flags = 0, method = 0;
  std::uint32_t crc = 0;
  std::uint64_t compressed = 0, size = 0, local = 0;
  std::size_t nameBytes = 0;
  bool folder = false, link = false;
};

const char* MethodName(unsigned method) {
  static const struct {
    unsigned method;
    const char* name;
  } kNames[] = {{1, "shrink"},     {6, "implode"}, {9, "Deflate64"}, {12, "bzip2"},         {14, "LZMA"},
                {93, "Zstandard"}, {95, "xz"},     {98, "PPMd"},     {99, "AES encryption"}};
  for (const auto& n : kNames) {
    if (n.method == method) return n.name;
  }
  return "unknown";
}

Status ReadExact(Source& source, std::uint64_t at, std::uint8_t* out, std::size_t n, bool* whole) {
  std::size_t got = 0;
  Status st = source.ReadAt(at, out, n, &got);
  *whole = got == n;
  return st;
}

// Finds the end record in the last `tail` bytes; its offset, or false.
bool FindEnd(const std::vector<std::uint8_t>& tail, std::uint64_t tailStart, std::uint64_t* at) {
  // The record nearest the end whose comment reaches no further than the file.
  for (std::size_t i = tail.size() - kEndBytes + 1; i-- > 0;) {
    if (Get32(&tail[i]) == kEndSignature && i + kEndBytes + Get16(&tail[i + 20]) <= tail.size()) {
      *at = tailStart + i;
      return true;
    }
  }
  return false;
}

// Fills in the sizes and offset a ZIP64 extra field holds for the fields set to all ones.
bool ReadZip64Extra(const std::uint8_t* p, std::size_t n, Central* c, std::uint32_t size32, std::uint32_t comp32,
                    std::uint32_t local32) {
  std::size_t at = 0;
  const auto take = [&](std::uint64_t* v) {
    if (at + 8 > n) return false;
    *v = Get64(p + at);
    at += 8;
    return true;
  };
  return (size32 != 0xFFFFFFFF || take(&c->size)) && (comp32 != 0xFFFFFFFF || take(&c->compressed)) &&
         (local32 != 0xFFFFFFFF || take(&c->local));
}

// One directory record at `p` (with `n` bytes left); false when it does not fit.
bool ParseCentral(const std::uint8_t* p, std::size_t n, Central* c, std::size_t* length, std::string* bad) {
  if (n < kCentralBytes || Get32(p) != kCentralSignature) return false;
  const unsigned madeBy = Get16(p + 4);
  c->flags = Get16(p + 8);
  c->method = Get16(p + 10);
  c->crc = Get32(p + 16);
  const std::uint32_t comp32 = Get32(p + 20), size32 = Get32(p + 24), local32 = Get32(p + 42);
  c->compressed = comp32;
  c->size = size32;
  c->local = local32;
  const std::size_t nameLength = Get16(p + 28), extraLength = Get16(p + 30), commentLength = Get16(p + 32);
  *length = kCentralBytes + nameLength + extraLength + commentLength;
  if (*length > n) return false;
  const std::string raw(reinterpret_cast<const char*>(p + kCentralBytes), nameLength);
  std::string name = NameToUtf8(raw, (c->flags & 0x800) != 0);
  const std::uint8_t* extra = p + kCentralBytes + nameLength;
  for (std::size_t at = 0; at + 4 <= extraLength;) {
    const unsigned id = Get16(extra + at), size = Get16(extra + at + 2);
    const std::uint8_t* field = extra + at + 4;
    if (at + 4 + size > extraLength) break;
    if (id == 0x0001 && !ReadZip64Extra(field, size, c, size32, comp32, local32)) {
      *bad = "its ZIP64 field is too short";
    } else if (id == 0x7075 && size >= 5 && field[0] == 1 && !(c->flags & 0x800) &&
               Get32(field + 1) == crc32(0, p + kCentralBytes, static_cast<uInt>(nameLength))) {
      // Info-ZIP's Unicode path: the name in UTF-8 beside one in a local code page.
      name = NameToUtf8(std::string(reinterpret_cast<const char*>(field + 5), size - 5), true);
    }
    at += 4 + size;
  }
  const unsigned attributes = Get32(p + 38) >> 16;  // Unix mode, for a zip made on Unix
  c->folder = !name.empty() && (name.back() == '/' || name.back() == '\\');
  c->link = (madeBy >> 8) == 3 && (attributes & 0170000) == 0120000;
  if ((madeBy >> 8) == 3 && (attributes & 0170000) == 0040000) c->folder = true;
  c->path = NormalisePath(name);
  c->nameBytes = nameLength;
  return true;
}

}  // namespace

Status ListZip(Source& zip, const std::string& label, std::size_t maxEntries, const EntrySink& sink,
               std::vector<Status>* problems) {
  std::uint64_t size = 0;
  Status st = zip.Size(&size);
  if (!st.ok()) return st;
  const auto cutShort = [&](const std::string& member, const std::string& what) {
    return CutShort(label, "zip", member, what);
  };
  const auto damaged = [&](const std::string& member, const std::string& what) {
    return Damaged(label, "zip", member, what);
  };
  bool whole = false;

  // The end record: in the last 22 bytes, or before a comment of up to 64 KiB.
  std::uint64_t end = 0;
  bool found = false;
  for (std::uint64_t tailBytes : {std::uint64_t{1024}, std::uint64_t{kEndBytes + 65535}}) {
    const std::uint64_t n = std::min(size, tailBytes);
    if (n < kEndBytes) break;
    std::vector<std::uint8_t> tail(static_cast<std::size_t>(n));
    st = ReadExact(zip, size - n, tail.data(), tail.size(), &whole);
    if (!st.ok()) return st;
    if (!whole) return cutShort("", "it ends before its recorded length");
    if ((found = FindEnd(tail, size - n, &end)) || n == size) break;
  }
  if (!found) return cutShort("", "the directory at its end is missing");
  std::uint8_t record[kEnd64Bytes];
  st = ReadExact(zip, end, record, kEndBytes, &whole);
  if (!st.ok()) return st;
  std::uint64_t disk = Get16(record + 4), directoryDisk = Get16(record + 6), count = Get16(record + 10);
  std::uint64_t directoryBytes = Get32(record + 12), directory = Get32(record + 16);
  std::uint64_t directoryEnd = end;
  bool zip64 = false;
  if (end >= kLocatorBytes) {
    std::uint8_t locator[kLocatorBytes];
    st = ReadExact(zip, end - kLocatorBytes, locator, kLocatorBytes, &whole);
    if (!st.ok()) return st;
    if (Get32(locator) == kLocator64Signature) {
      const std::uint64_t at = Get64(locator + 8);
      st = at < end ? ReadExact(zip, at, record, kEnd64Bytes, &whole) : Status::Ok();
      if (!st.ok()) return st;
      if (at >= end || !whole || Get32(record) != kEnd64Signature) {
        return damaged("", "its ZIP64 end record is not at byte " + std::to_string(at));
      }
      zip64 = true;
      disk = Get32(record + 16);
      directoryDisk = Get32(record + 20);
      count = Get64(record + 32);
      directoryBytes = Get64(record + 40);
      directory = Get64(record + 48);
      directoryEnd = at;
    }
  }
  if (disk != 0 || directoryDisk != 0) {
    return Status::Unsupported(label + ": one part of a zip split into several: not supported; join the parts first");
  }
  if (count == 0 && directoryBytes == 0) return Status::NotFound(label + ": an empty zip");
  if (directoryBytes > directoryEnd || directory > directoryEnd - directoryBytes) {
    return damaged("", "its directory (" + Bytes(directoryBytes) + " at byte " + std::to_string(directory) +
                           ") does not end before its end record");
  }
  // Bytes before the zip (a self-extracting program) move every offset it records.
  const std::uint64_t shift = directoryEnd - directoryBytes - directory;
  if (directoryBytes > kMaxDirectoryBytes || count > maxEntries) {
    return Status::Unsupported(label + ": a zip directory of " + std::to_string(count) + " entries in " +
                               Bytes(directoryBytes) + ": more than is read");
  }
  std::vector<std::uint8_t> listing;
  try {
    listing.resize(static_cast<std::size_t>(directoryBytes));
  } catch (const std::bad_alloc&) {
    return Status::IoError(label + ": not enough memory for its directory of " + Bytes(directoryBytes));
  }
  st = ReadExact(zip, directory + shift, listing.data(), listing.size(), &whole);
  if (!st.ok()) return st;
  if (!whole) return cutShort("", "its directory is missing");

  std::vector<Central> entries;
  for (std::size_t at = 0; at < listing.size();) {
    Central c;
    std::size_t length = 0;
    std::string bad;
    if (entries.size() >= maxEntries) {
      return Status::Unsupported(label + ": more than " + std::to_string(maxEntries) + " entries: not read");
    }
    if (!ParseCentral(&listing[at], listing.size() - at, &c, &length, &bad)) {
      return damaged("", "its directory is damaged at entry " + std::to_string(entries.size() + 1));
    }
    if (!bad.empty()) return damaged(MemberLabel(label, c.path), bad);
    c.local += shift;
    entries.push_back(std::move(c));
    at += length;
  }
  // Writers without ZIP64 record the count modulo 65,536.
  if (entries.size() != count && (zip64 || entries.size() % 65536 != count)) {
    return damaged("", "its directory holds " + std::to_string(entries.size()) + " entries, its end record says " +
                           std::to_string(count));
  }

  // No two members may share bytes, nor reach into the directory: lower bounds of each
  // member's extent (its local name and extra field may be longer, never shorter).
  std::vector<const Central*> byOffset;
  for (const Central& c : entries) byOffset.push_back(&c);
  std::sort(byOffset.begin(), byOffset.end(), [](const Central* a, const Central* b) { return a->local < b->local; });
  for (std::size_t i = 0; i < byOffset.size(); ++i) {
    const Central& c = *byOffset[i];
    const std::uint64_t limit = i + 1 < byOffset.size() ? byOffset[i + 1]->local : directory + shift;
    if (c.compressed > size || c.local > size || c.local + kLocalBytes + c.nameBytes + c.compressed > limit) {
      const std::string other = i + 1 < byOffset.size() ? byOffset[i + 1]->path : "its directory";
      return damaged("", c.path + " and " + other + " share bytes (a zip bomb?)");
    }
  }

  for (const Central& c : entries) {
    const std::string member = MemberLabel(label, c.path);
    if (c.folder || c.path.empty()) continue;
    if (c.link) {
      problems->push_back(Status::Unsupported(member + ": a symbolic link: passed over"));
      continue;
    }
    if (c.flags & 1) {
      problems->push_back(Status::Unsupported(member + ": encrypted: not read; unpack it with its password first"));
      continue;
    }
    if (c.method != 0 && c.method != 8) {
      problems->push_back(Status::Unsupported(member + ": compressed by method " + std::to_string(c.method) + " (" +
                                              MethodName(c.method) +
                                              "): not read; only stored and deflated "
                                              "members are"));
      continue;
    }
    const std::string name = ToSystemText(c.path);
    if (c.method == 0 && c.size != c.compressed) {
      problems->push_back(damaged(name, "stored, yet it records " + Bytes(c.size) + " in " + Bytes(c.compressed)));
      continue;
    }
    if (c.method == 8 && c.size / kMaxDeflateRatio > c.compressed) {
      problems->push_back(damaged(name, "it records " + Bytes(c.size) + " from " + Bytes(c.compressed) +
                                            " compressed, more than deflate gives (a zip bomb?)"));
      continue;
    }
    std::uint8_t local[kLocalBytes];
    st = ReadExact(zip, c.local, local, kLocalBytes, &whole);
    if (!st.ok()) return st;
    if (!whole) return cutShort(name, "its header at byte " + std::to_string(c.local) + " is missing");
    if (Get32(local) != kLocalSignature) {
      problems->push_back(damaged(name, "no member header at byte " + std::to_string(c.local)));
      continue;
    }
    Entry e;
    e.path = c.path;
    e.offset = c.local + kLocalBytes + Get16(local + 26) + Get16(local + 28);
    e.length = c.compressed;
    e.size = c.size;
    e.deflated = c.method == 8;
    e.hasCrc = true;
    e.crc = c.crc;
    if (e.offset + e.length > size) {
      return cutShort(name, "its data ends at byte " + std::to_string(e.offset + e.length) + ", the zip at " +
                                std::to_string(size));
    }
    st = sink(e);
    if (!st.ok()) return st;
  }
  return Status::Ok();
}

}  // namespace srtm::archive::internal
