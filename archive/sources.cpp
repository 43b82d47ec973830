// Byte sources: a file, a part of another source, and an inflated stream that can be
// read at any offset. Inflating is zlib's own loop straight into the caller's buffer;
// what this file adds is where to start: from the current position when the offset is
// ahead, else from the nearest checkpoint, a point between two deflate blocks with the
// 32 KiB of output before it (taken while the listing first passes, so that a member
// deep in a tar.gz is reached without inflating everything before it again).
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "archive/archive_internal.h"

namespace srtm::archive::internal {
namespace {

constexpr std::size_t kFirstInputChunk = std::size_t{4} << 10;  // a peek at a member's first bytes reads little
constexpr std::size_t kMaxInputChunk = std::size_t{256} << 10;
constexpr std::size_t kScratchBytes = std::size_t{64} << 10;
constexpr std::uint64_t kFirstSpan = std::uint64_t{1} << 20;  // output between two checkpoints, at first
constexpr std::size_t kMaxCheckpoints = 512;                  // 16 MiB of windows; then the span doubles
constexpr unsigned kWindowBytes = 32768;

class FileSource final : public Source {
 public:
  FileSource(std::unique_ptr<platform::File> file, std::uint64_t size, std::string label)
      : file_(std::move(file)), size_(size), label_(std::move(label)) {}
  Status Size(std::uint64_t* size) override {
    *size = size_;
    return Status::Ok();
  }
  Status ReadAt(std::uint64_t offset, std::uint8_t* out, std::size_t n, std::size_t* got) override {
    *got = 0;
    if (offset >= size_) return Status::Ok();
    n = static_cast<std::size_t>(std::min<std::uint64_t>(n, size_ - offset));
    while (*got < n) {
      std::size_t part = 0;
      if (!file_->ReadAt(offset + *got, out + *got, n - *got, &part)) {
        return Status::IoError(label_ + ": cannot be read at byte " + std::to_string(offset + *got));
      }
      if (part == 0) break;  // it became shorter while open
      *got += part;
    }
    return Status::Ok();
  }

 private:
  std::unique_ptr<platform::File> file_;
  std::uint64_t size_;
  std::string label_;
};

class RegionSource final : public Source {
 public:
  RegionSource(Source* parent, std::uint64_t offset, std::uint64_t length)
      : parent_(parent), offset_(offset), length_(length) {}
  Status Size(std::uint64_t* size) override {
    *size = length_;
    return Status::Ok();
  }
  Status ReadAt(std::uint64_t offset, std::uint8_t* out, std::size_t n, std::size_t* got) override {
    *got = 0;
    if (offset >= length_) return Status::Ok();
    n = static_cast<std::size_t>(std::min<std::uint64_t>(n, length_ - offset));
    return parent_->ReadAt(offset_ + offset, out, n, got);
  }

 private:
  Source* parent_;
  std::uint64_t offset_, length_;
};

}  // namespace

std::unique_ptr<Source> OpenFileSource(const std::string& path, const std::string& label, Status* status) {
  std::uint64_t size = 0;
  if (!platform::GetFileSize(path.c_str(), &size)) {
    *status = Status::NotFound(label + ": no such file");
    return nullptr;
  }
  std::unique_ptr<platform::File> file = platform::OpenShared(path.c_str());
  if (!file) {
    *status = Status::IoError(label + ": cannot be opened");
    return nullptr;
  }
  *status = Status::Ok();
  return std::make_unique<FileSource>(std::move(file), size, label);
}

std::unique_ptr<Source> NewRegionSource(Source* parent, std::uint64_t offset, std::uint64_t length) {
  return std::make_unique<RegionSource>(parent, offset, length);
}

// ---- InflateSource ----

struct InflateSource::State {
  Source* parent;
  const Node& entry;
  Node* record;  // the listing's copy of `entry` (the same object), or null when reading
  bool gzip;
  z_stream z{};
  bool ready = false;  // z is initialised and positioned
  std::vector<std::uint8_t> input;
  std::size_t chunk = kFirstInputChunk;
  std::uint64_t inNext = 0;  // compressed offset of the next byte to load
  std::uint64_t pos = 0;     // uncompressed offset of the next byte out
  bool atHeader = false;     // a gzip member's header (or the end) comes next
  bool ended = false;
  bool sizeKnown;
  std::uint64_t size;
  Status damage;  // once found, every later read fails with it
  // The output from 0 to `frontier` has passed in order, so its CRC-32 is known: it
  // is checked wherever a pass reaches a member's end with the frontier there.
  std::uint64_t frontier = 0;
  std::uint32_t frontierCrc = 0;
  std::uint64_t memberStart = 0;  // gzip: where the member holding the frontier began
  std::uint64_t span = kFirstSpan;
  std::vector<std::uint8_t> scratch;

  State(Source* p, const Node& s, Node* r)
      : parent(p), entry(s), record(r), gzip(s.kind == Node::Kind::kGzip), sizeKnown(s.sizeKnown), size(s.size) {}
  ~State() {
    if (ready) inflateEnd(&z);
  }

  const char* Kind() const { return gzip ? "gzip" : "zip"; }
  Status Broken(const std::string& what) const { return Damaged(entry.archive, Kind(), entry.member, what); }
  Status Fail(Status status) {
    damage = status;
    return status;
  }
  std::uint64_t Consumed() const { return inNext - z.avail_in; }

  Status Fill() {
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(chunk, entry.length - inNext));
    if (input.size() < n) {
      try {
        input.resize(chunk);
      } catch (const std::bad_alloc&) {
        return Status::IoError(entry.archive + ": not enough memory to inflate");
      }
    }
    std::size_t got = 0;
    Status st = parent->ReadAt(entry.offset + inNext, input.data(), n, &got);
    if (!st.ok()) return st;
    if (got < n) {
      return CutShort(entry.archive, Kind(), entry.member, "its compressed data ends after " + Bytes(inNext + got));
    }
    z.next_in = input.data();
    z.avail_in = static_cast<uInt>(got);
    inNext += got;
    chunk = std::min(chunk * 2, kMaxInputChunk);
    return Status::Ok();
  }

  Status Reset(const Checkpoint* from) {
    if (!ready) {
      if (inflateInit2(&z, -15) != Z_OK) return Status::IoError(entry.archive + ": not enough memory to inflate");
      ready = true;
    } else {
      inflateReset(&z);
    }
    z.avail_in = 0;
    chunk = kFirstInputChunk;
    ended = false;
    atHeader = false;
    if (!from) {
      pos = inNext = 0;
      atHeader = gzip;
      return Status::Ok();
    }
    pos = from->out;
    inNext = from->Start();
    if (from->bits) {
      Status st = Fill();
      if (!st.ok()) return st;
      const int byte = *z.next_in;
      ++z.next_in;
      --z.avail_in;
      inflatePrime(&z, from->bits, byte >> (8 - from->bits));
    }
    inflateSetDictionary(&z, from->window.data(), static_cast<uInt>(from->window.size()));
    return Status::Ok();
  }

  // Output [pos, pos + n) has been made at `p`.
  void Account(const std::uint8_t* p, std::size_t n) {
    if (pos <= frontier && frontier < pos + n) {
      const std::size_t skip = static_cast<std::size_t>(frontier - pos);
      frontierCrc = static_cast<std::uint32_t>(crc32_z(frontierCrc, p + skip, n - skip));
      frontier = pos + n;
    }
    pos += n;
  }

  void NoteEnd() {
    ended = true;
    sizeKnown = true;
    size = pos;
    if (record && !record->sizeKnown) {
      record->size = pos;
      record->sizeKnown = true;
    }
  }

  void TakeCheckpoint() {
    std::vector<Checkpoint>& points = record->checkpoints;
    Checkpoint cp;
    cp.in = Consumed();
    cp.bits = z.data_type & 7;
    cp.out = pos;
    try {
      cp.window.resize(kWindowBytes);
      uInt length = kWindowBytes;
      inflateGetDictionary(&z, cp.window.data(), &length);
      cp.window.resize(length);
      points.push_back(std::move(cp));
    } catch (const std::bad_alloc&) {
      return;  // a checkpoint only saves time
    }
    if (points.size() >= kMaxCheckpoints) {
      for (std::size_t i = 1; 2 * i < points.size(); ++i) points[i] = std::move(points[2 * i]);
      points.resize((points.size() + 1) / 2);
      span *= 2;
    }
  }
  std::uint64_t LastCheckpoint() const { return entry.checkpoints.empty() ? 0 : entry.checkpoints.back().out; }

  // A gzip member's header, or the end of the data.
  Status StartMember() {
    const std::uint64_t at = inNext;  // nothing is buffered at a member's end
    std::uint8_t magic[2] = {};
    std::size_t got = 0;
    if (at < entry.length) {
      Status st = parent->ReadAt(entry.offset + at, magic, 2, &got);
      if (!st.ok()) return st;
    }
    if (got < 2 || magic[0] != 0x1F || magic[1] != 0x8B) {
      if (at == 0) return Broken("no gzip header at its start");
      NoteEnd();  // what follows the last member (zeros from a tape block, mostly) is ignored, as gzip does
      return Status::Ok();
    }
    GzipHeader header;
    Status st = ReadGzipHeader(*parent, entry.offset + at, entry.offset + entry.length, entry.archive, &header);
    if (!st.ok()) return st;
    inNext = at + header.length;
    z.avail_in = 0;
    inflateReset(&z);
    atHeader = false;
    if (frontier == pos) {
      frontierCrc = 0;
      memberStart = pos;
    }
    return Status::Ok();
  }

  Status EndOfStream() {
    if (!gzip) {
      if (entry.sizeKnown && pos != entry.size) {
        return Broken("inflates to " + Bytes(pos) + ", the zip records " + Bytes(entry.size));
      }
      if (entry.hasCrc && frontier == pos && frontierCrc != entry.crc)
        return Broken(CrcMismatch(frontierCrc, entry.crc, "zip"));
      NoteEnd();
      return Status::Ok();
    }
    const std::uint64_t at = Consumed();
    std::uint8_t trailer[8];
    std::size_t got = 0;
    Status st = at + 8 <= entry.length ? parent->ReadAt(entry.offset + at, trailer, 8, &got) : Status::Ok();
    if (!st.ok()) return st;
    if (got < 8) return CutShort(entry.archive, "gzip", "", "its trailer (CRC-32 and length) is missing");
    if (frontier == pos) {
      if (frontierCrc != Get32(trailer)) return Broken(CrcMismatch(frontierCrc, Get32(trailer), "gzip"));
      const auto length = static_cast<std::uint32_t>(pos - memberStart);
      if (length != Get32(trailer + 4)) {
        return Broken("it holds " + Bytes(pos - memberStart) + ", its trailer records " + Bytes(Get32(trailer + 4)) +
                      " (modulo 4 GiB)");
      }
    }
    inNext = at + 8;
    z.avail_in = 0;
    atHeader = true;
    return Status::Ok();
  }

  Status InflateError(int rc) const {
    if (rc == Z_MEM_ERROR) return Status::IoError(entry.archive + ": not enough memory to inflate");
    return Broken(std::string("its deflate data is invalid (") + (z.msg ? z.msg : "no end") + ")");
  }
  Status RanOut() const {
    if (gzip) return CutShort(entry.archive, "gzip", "", "its data ends after " + Bytes(pos) + " of content");
    return Broken("its deflate data ends before its end mark");
  }
  Status TooLong() const { return Broken("inflates to more than the " + Bytes(entry.size) + " the zip records"); }

  // Up to n bytes at `pos` into `out`; fewer only at the end of the data.
  Status Produce(std::uint8_t* out, std::size_t n, std::size_t* made) {
    *made = 0;
    while (*made < n && !ended) {
      Status st;
      if (atHeader) {
        st = StartMember();
        if (!st.ok()) return Fail(st);
        continue;
      }
      if (z.avail_in == 0 && inNext < entry.length) {
        st = Fill();
        if (!st.ok()) return Fail(st);
      }
      const std::size_t want = std::min<std::size_t>(n - *made, std::size_t{1} << 30);
      z.next_out = out + *made;
      z.avail_out = static_cast<uInt>(want);
      const bool boundary = record && pos >= LastCheckpoint() + span;
      const int rc = inflate(&z, boundary ? Z_BLOCK : Z_NO_FLUSH);
      const std::size_t k = want - z.avail_out;
      Account(out + *made, k);
      *made += k;
      if (entry.sizeKnown && !gzip && pos > entry.size) return Fail(TooLong());
      if (rc == Z_STREAM_END) {
        st = EndOfStream();
        if (!st.ok()) return Fail(st);
      } else if (rc == Z_BUF_ERROR || (rc == Z_OK && k == 0 && z.avail_in == 0)) {
        if (z.avail_in == 0 && inNext >= entry.length) return Fail(RanOut());
        if (rc == Z_BUF_ERROR && z.avail_in > 0) return Fail(InflateError(Z_DATA_ERROR));
      } else if (rc != Z_OK) {
        return Fail(InflateError(rc));
      } else if (boundary && (z.data_type & 128) && !(z.data_type & 64)) {
        TakeCheckpoint();
      }
    }
    // A zip member that has given all its recorded bytes must end right there.
    if (!ended && !gzip && entry.sizeKnown && pos == entry.size) {
      std::uint8_t probe = 0;
      while (!ended) {
        if (z.avail_in == 0 && inNext < entry.length) {
          Status st = Fill();
          if (!st.ok()) return Fail(st);
        }
        z.next_out = &probe;
        z.avail_out = 1;
        const int rc = inflate(&z, Z_NO_FLUSH);
        if (z.avail_out == 0) return Fail(TooLong());
        if (rc == Z_STREAM_END) {
          Status st = EndOfStream();
          if (!st.ok()) return Fail(st);
        } else if (rc == Z_BUF_ERROR) {
          return Fail(z.avail_in == 0 && inNext >= entry.length ? RanOut() : InflateError(Z_DATA_ERROR));
        } else if (rc != Z_OK) {
          return Fail(InflateError(rc));
        }
      }
    }
    return Status::Ok();
  }

  // Positions at `offset` (or at the end of the data when it is shorter).
  Status Seek(std::uint64_t offset) {
    const std::vector<Checkpoint>& points = entry.checkpoints;
    auto after = std::upper_bound(points.begin(), points.end(), offset,
                                  [](std::uint64_t o, const Checkpoint& cp) { return o < cp.out; });
    const Checkpoint* nearest = after == points.begin() ? nullptr : &*(after - 1);
    Status st;
    if (!ready || offset < pos) {
      st = Reset(nearest);
    } else if (nearest && nearest->out > pos && offset - nearest->out < offset - pos) {
      st = Reset(nearest);
    }
    if (!st.ok()) return Fail(st);
    if (scratch.empty() && pos < offset) {
      try {
        scratch.resize(kScratchBytes);
      } catch (const std::bad_alloc&) {
        return Status::IoError(entry.archive + ": not enough memory to inflate");
      }
    }
    while (pos < offset && !ended) {
      std::size_t made = 0;
      st = Produce(scratch.data(), static_cast<std::size_t>(std::min<std::uint64_t>(offset - pos, scratch.size())),
                   &made);
      if (!st.ok()) return st;
    }
    return Status::Ok();
  }
};

Status ReadGzipHeader(Source& source, std::uint64_t at, std::uint64_t end, const std::string& label,
                      GzipHeader* header) {
  const auto cutShort = [&] {
    return CutShort(label, "gzip", "", "its header at byte " + std::to_string(at) + " is incomplete");
  };
  std::uint8_t fixed[10];
  std::size_t got = 0;
  Status st = source.ReadAt(at, fixed, sizeof fixed, &got);
  if (!st.ok()) return st;
  if (got < sizeof fixed || at + sizeof fixed > end) return cutShort();
  if (fixed[0] != 0x1F || fixed[1] != 0x8B)
    return Damaged(label, "gzip", "", "no gzip header at byte " + std::to_string(at));
  if (fixed[2] != 8)
    return Status::Unsupported(label + ": a gzip compressed by method " + std::to_string(fixed[2]) + ": not supported");
  const unsigned flags = fixed[3];
  if (flags & 0xE0) return Damaged(label, "gzip", "", "its header has flags no gzip sets");
  std::uint64_t p = at + sizeof fixed;
  if (flags & 4) {  // an extra field
    std::uint8_t length[2];
    st = source.ReadAt(p, length, 2, &got);
    if (!st.ok()) return st;
    if (got < 2) return cutShort();
    p += 2 + Get16(length);
  }
  for (unsigned text : {8u, 16u}) {  // the original name, a comment: each ends with a NUL
    if (!(flags & text)) continue;
    std::string bytes;
    for (bool ended = false; !ended;) {
      std::uint8_t chunk[256];
      st = source.ReadAt(p, chunk, sizeof chunk, &got);
      if (!st.ok()) return st;
      if (got == 0 || bytes.size() > (std::size_t{64} << 10)) return cutShort();
      const void* nul = std::memchr(chunk, 0, got);
      const std::size_t used = nul ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(nul) - chunk) : got;
      bytes.append(reinterpret_cast<const char*>(chunk), used);
      p += used + (nul ? 1 : 0);
      ended = nul != nullptr;
    }
    if (text == 8) header->name = NormalisePath(NameToUtf8(bytes, false));
  }
  if (flags & 2) p += 2;  // a CRC-16 of the header
  if (p > end) return cutShort();
  header->length = p - at;
  return Status::Ok();
}

InflateSource::InflateSource(Source* parent, const Node& entry, Node* record)
    : s_(std::make_unique<State>(parent, entry, record)) {}
InflateSource::~InflateSource() = default;

Status InflateSource::Size(std::uint64_t* size) {
  if (!s_->sizeKnown) {
    Status st = s_->damage.ok() ? s_->Seek(UINT64_MAX) : s_->damage;
    if (!st.ok()) return st;
  }
  *size = s_->size;
  return Status::Ok();
}

Status InflateSource::ReadAt(std::uint64_t offset, std::uint8_t* out, std::size_t n, std::size_t* got) {
  *got = 0;
  if (!s_->damage.ok()) return s_->damage;
  Status st = s_->Seek(offset);
  if (!st.ok()) return st;
  if (s_->pos != offset) return Status::Ok();  // the data ends before it
  return s_->Produce(out, n, got);
}

Status InflateSource::ReadAll(std::uint64_t limit, std::uint64_t hint, std::vector<std::uint8_t>* out) {
  if (!s_->damage.ok()) return s_->damage;
  Status st = s_->Seek(0);
  if (!st.ok()) return st;
  const std::size_t start = out->size();
  while (!s_->ended) {
    const std::size_t have = out->size() - start;
    const std::uint64_t room = limit + 1 - have;  // one byte more shows that it is too long
    // The length the caller expects (and one byte to see the end) in one go, then doubling.
    const std::uint64_t want = have == 0 ? hint + 1 : std::max<std::uint64_t>(have, 1 << 20);
    const auto step = static_cast<std::size_t>(std::min(want, room));
    if (!platform::CurrentEnv()->MayAllocate(out->size() + step)) {
      return Status::IoError(s_->entry.archive + ": not enough memory for " + Bytes(have + step));
    }
    try {
      out->resize(out->size() + step);
    } catch (const std::bad_alloc&) {
      return Status::IoError(s_->entry.archive + ": not enough memory for " + Bytes(have + step));
    }
    std::size_t made = 0;
    st = s_->Produce(out->data() + start + have, step, &made);
    out->resize(start + have + made);
    if (!st.ok()) return st;
    if (out->size() - start > limit) {
      return Status::Unsupported(s_->entry.archive + ": it holds more than " + Bytes(limit) +
                                 ", more than is read of one member (a gzip bomb?)");
    }
  }
  return Status::Ok();
}

}  // namespace srtm::archive::internal
