// The Reader: lists a file by walking its archives depth first, each member peeked at
// to see whether it is an archive itself, and reads a member through the chain of
// sources from the file to it. The listing is made once and shared by copies; each
// Reader keeps alive only the sources of the member it reads last.
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "archive/archive_internal.h"

namespace srtm::archive {

using internal::Node;
using internal::Source;

namespace internal {

std::string Bytes(std::uint64_t n) {
  std::string digits = std::to_string(n);
  for (std::size_t i = digits.size(); i > 3; i -= 3) digits.insert(i - 3, ",");
  return digits + (n == 1 ? " byte" : " bytes");
}

Status Damaged(const std::string& label, const char* kind, const std::string& member, const std::string& what) {
  return Status::Corrupt(label + ": a damaged " + kind + ": " + (member.empty() ? "" : member + ": ") + what);
}

Status CutShort(const std::string& label, const char* kind, const std::string& member, const std::string& what) {
  return Status::Corrupt(label + ": a " + kind + " cut short: " + (member.empty() ? "" : member + ": ") + what);
}

std::string CrcMismatch(std::uint32_t found, std::uint32_t recorded, const char* kind) {
  char text[80];
  std::snprintf(text, sizeof text, "CRC-32 is %08x, the %s records %08x", static_cast<unsigned>(found), kind,
                static_cast<unsigned>(recorded));
  return text;
}

}  // namespace internal

namespace {

bool EndsWithNoCase(const std::string& text, const std::string& suffix) {
  const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  return text.size() >= suffix.size() && std::equal(suffix.begin(), suffix.end(), text.end() - suffix.size(),
                                                    [&](char s, char t) { return s == lower(t); });
}

bool Readable(Format f) { return f == Format::kZip || f == Format::kGzip || f == Format::kTar; }

// The last part of a label or path of this system; natively too after a backslash, for
// labels written the Windows way (no byte of a UTF-8 character is one).
std::string BaseName(const std::string& path) {
  const std::string name = path.substr(platform::NameStart(path));
#if defined(_WIN32)
  return name;
#else
  return name.substr(name.find_last_of('\\') + 1);
#endif
}

// The last part of a path in UTF-8, as an archive stores it ('/' between folders: no
// byte of a multi-byte character is one, whatever the system's code page).
std::string Utf8BaseName(const std::string& path) { return path.substr(path.find_last_of('/') + 1); }

// What gunzip would name the content of `gzipName`; else the name stored inside (UTF-8).
std::string GzipContentName(const std::string& gzipName, const std::string& stored) {
  if (EndsWithNoCase(gzipName, ".tgz")) return gzipName.substr(0, gzipName.size() - 4) + ".tar";
  if (EndsWithNoCase(gzipName, ".gz")) return gzipName.substr(0, gzipName.size() - 3);
  return stored.empty() ? gzipName : Utf8BaseName(internal::NormalisePath(stored));
}

}  // namespace

Format Identify(const std::uint8_t* head, std::size_t size, const std::string& name) {
  const auto starts = [&](const char* signature, std::size_t n) {
    return size >= n && std::memcmp(head, signature, n) == 0;
  };
  if (starts("PK\3\4", 4) || starts("PK\5\6", 4) || starts("PK\7\10PK\3\4", 8)) return Format::kZip;
  if (starts("\x1F\x8B\x08", 3) && size >= 4 && (head[3] & 0xE0) == 0) return Format::kGzip;
  if (starts("7z\xBC\xAF\x27\x1C", 6)) return Format::k7z;
  if (starts("Rar!\x1A\x07", 6)) return Format::kRar;
  if (size >= 10 && starts("BZh", 3) && head[3] >= '1' && head[3] <= '9' &&
      (std::memcmp(head + 4, "1AY&SY", 6) == 0 || std::memcmp(head + 4, "\x17\x72\x45\x38\x50\x90", 6) == 0)) {
    return Format::kBzip2;
  }
  if (starts("\xFD"
             "7zXZ\0",
             6))
    return Format::kXz;
  if (starts("\x28\xB5\x2F\xFD", 4)) return Format::kZstd;
  if (size >= 512) {
    const bool tarName = EndsWithNoCase(name, ".tar");
    if (internal::TarChecksumOk(head) && (std::memcmp(head + 257, "ustar", 5) == 0 || tarName)) return Format::kTar;
    if (tarName && std::all_of(head, head + 512, [](std::uint8_t b) { return b == 0; })) return Format::kTar;
  }
  return Format::kNone;
}

const char* FormatName(Format format) {
  static const char* const kNames[] = {"a file",       "a zip",         "a gzip",       "a tar",      "a tar.gz",
                                       "a 7z archive", "a rar archive", "a bzip2 file", "an xz file", "a zstd file"};
  return kNames[static_cast<int>(format)];
}

namespace internal {

struct Listing {
  std::string path, label;
  Format format = Format::kNone;
  std::deque<Node> nodes;  // node 0 is the file; a deque keeps them in place as it grows
  std::vector<Member> members;
  std::vector<int> memberNodes;
  std::vector<Status> problems;
};

// The sources one Reader (or the listing) reads through, made when first needed.
class Sources {
 public:
  // `record`: the listing's nodes while they are being made (checkpoints go there).
  Sources(const Listing& listing, std::deque<Node>* record) : listing_(listing), record_(record) {}

  Status Get(int node, Source** out) {
    for (auto& live : live_) {
      if (live.first == node) {
        *out = live.second.get();
        return Status::Ok();
      }
    }
    const Node& entry = listing_.nodes[static_cast<std::size_t>(node)];
    Source* parent = nullptr;
    Status st;
    if (entry.parent >= 0) st = Get(entry.parent, &parent);
    if (!st.ok()) return st;
    std::unique_ptr<Source> made;
    try {
      if (entry.kind == Node::Kind::kFile) {
        made = internal::OpenFileSource(listing_.path, listing_.label, &st);
      } else if (entry.kind == Node::Kind::kRegion) {
        made = internal::NewRegionSource(parent, entry.offset, entry.length);
      } else {
        made = std::make_unique<internal::InflateSource>(
            parent, entry, record_ ? &(*record_)[static_cast<std::size_t>(node)] : nullptr);
      }
    } catch (const std::bad_alloc&) {
      return Status::IoError(listing_.label + ": not enough memory");
    }
    if (!made) return st;
    *out = made.get();
    live_.emplace_back(node, std::move(made));
    return Status::Ok();
  }

  // Frees every source but those `node` reads through.
  void Keep(int node) {
    std::vector<int> chain;
    for (int n = node; n >= 0; n = listing_.nodes[static_cast<std::size_t>(n)].parent) chain.push_back(n);
    live_.erase(std::remove_if(
                    live_.begin(), live_.end(),
                    [&](const auto& live) { return std::find(chain.begin(), chain.end(), live.first) == chain.end(); }),
                live_.end());
  }

 private:
  const Listing& listing_;
  std::deque<Node>* record_;
  std::vector<std::pair<int, std::unique_ptr<Source>>> live_;  // parents before children
};

}  // namespace internal

namespace {

// Makes a Listing: walks the file's archives depth first. Each container's access
// points (where reads of its members will start, in its own offsets) go up to its
// parent, so that an inflated stream keeps only the checkpoints that serve them.
class Builder {
 public:
  using Listing = internal::Listing;
  Builder(Listing* listing, const Limits& limits)
      : l_(*listing), limits_(limits), sources_(*listing, &listing->nodes) {}

  Status Run() {
    Node file;
    file.archive = l_.label;
    AddNode(std::move(file));
    Source* source = nullptr;
    Status st = sources_.Get(0, &source);
    if (!st.ok()) return st;
    Node& root = l_.nodes[0];
    st = source->Size(&root.size);
    if (!st.ok()) return st;
    root.length = root.size;
    root.sizeKnown = true;
    std::vector<std::uint8_t> head;
    st = Peek(0, &head);
    if (!st.ok()) return st;
    const std::string name = internal::SystemTextToUtf8(BaseName(l_.label));
    l_.format = Identify(head.data(), head.size(), name);
    if (l_.format == Format::kNone) {
      AddMember(0, l_.label, BaseName(l_.label), root.size);
      return Status::Ok();
    }
    if (!Readable(l_.format)) return NotRead(l_.label, l_.format);
    std::vector<std::uint64_t> access;
    st = Container(0, l_.format, l_.label, name, 1, &access);
    if (!st.ok() && l_.members.empty()) return st;
    if (!st.ok()) l_.problems.push_back(st);
    return Status::Ok();
  }

 private:
  static Status NotRead(const std::string& label, Format f) {
    return Status::Unsupported(label + ": " + FormatName(f) + ": not supported; unpack it first");
  }

  int AddNode(Node node) {
    l_.nodes.push_back(std::move(node));
    return static_cast<int>(l_.nodes.size() - 1);
  }

  void AddMember(int node, const std::string& label, const std::string& name, std::uint64_t size) {
    l_.members.push_back(Member{label, name, size, steps_});
    l_.memberNodes.push_back(node);
  }

  Status Peek(int node, std::vector<std::uint8_t>* head) {
    Source* source = nullptr;
    Status st = sources_.Get(node, &source);
    if (!st.ok()) return st;
    head->resize(512);
    std::size_t got = 0;
    st = source->ReadAt(0, head->data(), head->size(), &got);
    head->resize(got);
    return st;
  }

  // The archive of `format` held by `node`; `name` is its file name (UTF-8).
  Status Container(int node, Format format, const std::string& label, const std::string& name, int depth,
                   std::vector<std::uint64_t>* access) {
    Source* source = nullptr;
    Status st = sources_.Get(node, &source);
    if (!st.ok()) return st;
    const auto sink = [&](const internal::Entry& e) {
      steps_.push_back(Member::Step{format, e.path});
      const Status entry = OnEntry(node, e, label, depth, access);
      steps_.pop_back();
      return entry;
    };
    if (format == Format::kZip) return internal::ListZip(*source, label, limits_.maxEntries, sink, &l_.problems);
    if (format == Format::kTar) return internal::ListTar(*source, label, limits_.maxEntries, sink, &l_.problems);

    // A gzip: what it holds is a file, or a tar (together one archive), or an archive.
    std::uint64_t size = 0;
    st = source->Size(&size);
    if (!st.ok()) return st;
    Node gzip;
    gzip.kind = Node::Kind::kGzip;
    gzip.parent = node;
    gzip.length = size;
    gzip.archive = label;
    const int g = AddNode(std::move(gzip));
    std::vector<std::uint64_t> inner;
    steps_.push_back(Member::Step{Format::kGzip, ""});
    st = Gzip(g, *source, size, label, name, depth, &inner);
    steps_.pop_back();
    ToParent(g, inner, access);
    return st;
  }

  // The content of the gzip node `g` (the `size` bytes of `source`), named after `gzipName`.
  Status Gzip(int g, Source& source, std::uint64_t size, const std::string& label, const std::string& gzipName,
              int depth, std::vector<std::uint64_t>* inner) {
    Source* content = nullptr;
    internal::GzipHeader header;
    std::vector<std::uint8_t> head;
    Status st = internal::ReadGzipHeader(source, 0, size, label, &header);
    if (st.ok()) st = sources_.Get(g, &content);
    if (st.ok()) st = Peek(g, &head);
    if (!st.ok()) return st;
    const std::string name = GzipContentName(gzipName, header.name);
    const Format inside = Identify(head.data(), head.size(), name);
    if (inside == Format::kTar) {
      if (l_.nodes[static_cast<std::size_t>(g)].parent == 0) l_.format = Format::kTarGzip;
      return Container(g, inside, label, name, depth, inner);
    }
    if (!Readable(inside) && inside != Format::kNone) {
      return Status::Unsupported(label + ": " + FormatName(inside) + " inside a gzip: not supported; unpack it first");
    }
    if (inside != Format::kNone) {
      return depth + 1 > limits_.maxDepth ? TooDeep(label, inside, depth)
                                          : Container(g, inside, label, name, depth + 1, inner);
    }
    // A file: inflated to its end now, since its trailer records only the last member's
    // length, modulo 4 GiB, and a gzip cut short is best named before anything reads it.
    std::uint8_t beyond = 0;
    std::size_t got = 0;
    st = content->ReadAt(limits_.maxMemberBytes, &beyond, 1, &got);
    if (st.ok() && got == 1) {
      return Status::Unsupported(label + ": it holds more than " + internal::Bytes(limits_.maxMemberBytes) +
                                 ", more than is read of one member (a gzip bomb?)");
    }
    std::uint64_t length = 0;
    if (st.ok()) st = content->Size(&length);
    if (!st.ok()) return st;
    AddMember(g, label, internal::ToSystemText(name), length);
    inner->push_back(0);
    return Status::Ok();
  }

  Status TooDeep(const std::string& label, Format f, int depth) const {
    return Status::Unsupported(label + ": " + FormatName(f) + " inside " + std::to_string(depth) +
                               (depth == 1 ? " archive" : " archives") + ": not opened (archives are opened " +
                               std::to_string(limits_.maxDepth) + " deep at most)");
  }

  // A member of the archive in `parent`: a file, or an archive opened through.
  Status OnEntry(int parent, const internal::Entry& e, const std::string& archive, int depth,
                 std::vector<std::uint64_t>* access) {
    if (l_.nodes.size() > limits_.maxEntries) {
      return Status::Unsupported(l_.label + ": more than " + std::to_string(limits_.maxEntries) +
                                 " entries in all: not read");
    }
    Node n;
    n.kind = e.deflated ? Node::Kind::kDeflate : Node::Kind::kRegion;
    n.parent = parent;
    n.offset = e.offset;
    n.length = e.length;
    n.size = e.size;
    n.sizeKnown = true;
    n.hasCrc = e.hasCrc;
    n.crc = e.crc;
    n.archive = archive;
    n.member = internal::ToSystemText(e.path);
    const int node = AddNode(std::move(n));
    const std::string label = internal::MemberLabel(archive, e.path);
    const std::string name = Utf8BaseName(e.path);
    std::vector<std::uint8_t> peeked;
    Status st;
    if (e.head.empty() && e.size > 0) st = Peek(node, &peeked);
    const std::vector<std::uint8_t>& head = e.head.empty() ? peeked : e.head;
    const Format f = st.ok() ? Identify(head.data(), head.size(), name) : Format::kNone;
    std::vector<std::uint64_t> inner;
    if (!st.ok()) {
      l_.problems.push_back(st);
    } else if (f == Format::kNone) {
      AddMember(node, label, internal::ToSystemText(name), e.size);
      inner.push_back(0);
    } else if (!Readable(f)) {
      l_.problems.push_back(NotRead(label, f));
    } else if (depth + 1 > limits_.maxDepth) {
      l_.problems.push_back(TooDeep(label, f, depth));
    } else {
      st = Container(node, f, label, name, depth + 1, &inner);
      if (!st.ok()) l_.problems.push_back(st);
    }
    ToParent(node, inner, access);
    sources_.Keep(parent);
    return Status::Ok();
  }

  // Maps the access points of `node` (its own offsets) to its parent's, keeping of an
  // inflated stream's checkpoints only the nearest before each point.
  void ToParent(int node, const std::vector<std::uint64_t>& inner, std::vector<std::uint64_t>* outer) {
    Node& n = l_.nodes[static_cast<std::size_t>(node)];
    if (n.kind == Node::Kind::kRegion) {
      for (std::uint64_t p : inner) outer->push_back(n.offset + p);
      return;
    }
    std::vector<std::uint64_t> points = inner;
    std::sort(points.begin(), points.end());
    std::vector<internal::Checkpoint> kept;
    for (std::uint64_t p : points) {
      auto after = std::upper_bound(n.checkpoints.begin(), n.checkpoints.end(), p,
                                    [](std::uint64_t o, const internal::Checkpoint& cp) { return o < cp.out; });
      if (after == n.checkpoints.begin() || after[-1].window.empty()) continue;
      if (kept.empty() || kept.back().out != after[-1].out) kept.push_back(std::move(after[-1]));
    }
    n.checkpoints = std::move(kept);
    outer->push_back(n.offset);
    for (const internal::Checkpoint& cp : n.checkpoints) outer->push_back(n.offset + cp.Start());
  }

  Listing& l_;
  const Limits& limits_;
  internal::Sources sources_;
  std::vector<Member::Step> steps_;  // the way from the file to the entry being listed
};

// Member `m` of node `n`, read from `source` into `bytes` and checked.
Status ReadMember(Source& source, const Member& m, const Node& n, std::uint64_t limit,
                  std::vector<std::uint8_t>* bytes) {
  if (n.kind == Node::Kind::kGzip) {
    Status st = static_cast<internal::InflateSource&>(source).ReadAll(limit, m.size, bytes);
    if (st.ok() && bytes->size() != m.size) {
      st = Status::Corrupt(m.label + ": it holds " + internal::Bytes(bytes->size()) + " now, " +
                           internal::Bytes(m.size) + " when listed");
    }
    return st;
  }
  if (!platform::CurrentEnv()->MayAllocate(static_cast<std::size_t>(m.size))) throw std::bad_alloc();
  bytes->resize(static_cast<std::size_t>(m.size));
  std::size_t got = 0;
  Status st = source.ReadAt(0, bytes->data(), bytes->size(), &got);
  if (!st.ok()) return st;
  if (got < bytes->size()) {
    return Status::Corrupt(m.label + ": cut short: it ends after " + internal::Bytes(got) + " of its " +
                           internal::Bytes(m.size));
  }
  if (n.kind == Node::Kind::kRegion && n.hasCrc) {  // a stored zip member (an inflated one is checked as it ends)
    const auto crc = static_cast<std::uint32_t>(crc32_z(0, bytes->data(), bytes->size()));
    if (crc != n.crc) return internal::Damaged(n.archive, "zip", n.member, internal::CrcMismatch(crc, n.crc, "zip"));
  }
  return Status::Ok();
}

}  // namespace

Reader::Reader(const Limits& limits) : limits_(limits) {}
Reader::~Reader() = default;
Reader::Reader(const Reader& other)
    : limits_(other.limits_),
      listing_(other.listing_),
      sources_(listing_ ? std::make_unique<internal::Sources>(*listing_, nullptr) : nullptr) {}
Reader& Reader::operator=(const Reader& other) {
  if (this != &other) {
    sources_.reset();
    limits_ = other.limits_;
    listing_ = other.listing_;
    if (listing_) sources_ = std::make_unique<internal::Sources>(*listing_, nullptr);
  }
  return *this;
}
Reader::Reader(Reader&&) noexcept = default;
Reader& Reader::operator=(Reader&&) noexcept = default;

Status Reader::Open(const std::string& path, const std::string& label) {
  sources_.reset();
  listing_.reset();
  try {
    auto listing = std::make_shared<internal::Listing>();
    listing->path = path;
    listing->label = label;
    Status st = Builder(listing.get(), limits_).Run();
    if (!st.ok()) return st;
    listing_ = std::move(listing);
    sources_ = std::make_unique<internal::Sources>(*listing_, nullptr);
  } catch (const std::bad_alloc&) {
    return Status::IoError(label + ": not enough memory to list it");
  }
  return Status::Ok();
}

Format Reader::format() const { return listing_ ? listing_->format : Format::kNone; }

const std::vector<Member>& Reader::members() const {
  static const std::vector<Member> kNone;
  return listing_ ? listing_->members : kNone;
}

const std::vector<Status>& Reader::problems() const {
  static const std::vector<Status> kNone;
  return listing_ ? listing_->problems : kNone;
}

Status Reader::Read(std::size_t index, std::vector<std::uint8_t>* bytes) {
  bytes->clear();
  if (!listing_ || index >= listing_->members.size()) {
    return Status::InvalidArgument("no member " + std::to_string(index) + " to read");
  }
  const Member& m = listing_->members[index];
  const int node = listing_->memberNodes[index];
  const Node& n = listing_->nodes[static_cast<std::size_t>(node)];
  if (m.size > limits_.maxMemberBytes) {
    return Status::Unsupported(m.label + ": " + internal::Bytes(m.size) + ", more than the " +
                               internal::Bytes(limits_.maxMemberBytes) + " read of one member (a zip bomb?)");
  }
  Status st;
  try {
    sources_->Keep(node);
    Source* source = nullptr;
    st = sources_->Get(node, &source);
    if (st.ok()) st = ReadMember(*source, m, n, limits_.maxMemberBytes, bytes);
  } catch (const std::bad_alloc&) {
    st = Status::IoError(m.label + ": not enough memory for " + internal::Bytes(m.size));
  }
  if (!st.ok()) bytes->clear();
  return st;
}

}  // namespace srtm::archive
