#include "fuzz/fuzz_support.h"

#include <algorithm>
#include <cstring>

namespace srtm::fuzz {
namespace {

class MemoryFile final : public platform::File {
 public:
  MemoryFile(std::uint64_t size, MemoryEnv::Generator generator) : size_(size), generator_(std::move(generator)) {}
  bool Read(void* buffer, std::size_t size, std::size_t* got) override {
    const bool ok = ReadAt(position_, buffer, size, got);
    position_ += *got;
    return ok;
  }
  bool ReadAt(std::uint64_t offset, void* buffer, std::size_t size, std::size_t* got) override {
    const std::uint64_t available = offset < size_ ? size_ - offset : 0;
    const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(available, size));
    if (n > 0) generator_(offset, static_cast<std::uint8_t*>(buffer), n);
    if (got) *got = n;
    return true;
  }
  bool Write(const void*, std::size_t) override { return false; }
  bool Seek(std::uint64_t offset) override {
    position_ = offset;
    return true;
  }
  std::uint64_t Tell() override { return position_; }
  bool Close() override { return true; }

 private:
  std::uint64_t size_;
  std::uint64_t position_ = 0;
  MemoryEnv::Generator generator_;
};

}  // namespace

MemoryEnv::MemoryEnv() : previous_(platform::SetEnv(this)) {}
MemoryEnv::~MemoryEnv() { platform::SetEnv(previous_); }

void MemoryEnv::AddFile(const std::string& path, std::vector<std::uint8_t> bytes) {
  auto shared = std::make_shared<const std::vector<std::uint8_t>>(std::move(bytes));
  AddGeneratedFile(path, shared->size(), [shared](std::uint64_t offset, std::uint8_t* out, std::size_t n) {
    std::memcpy(out, shared->data() + offset, n);
  });
}

void MemoryEnv::AddGeneratedFile(const std::string& path, std::uint64_t size, Generator generator) {
  files_[path] = Entry{size, std::move(generator)};
}

bool MemoryEnv::GetFileSize(const char* path, std::uint64_t* size) {
  auto it = files_.find(path);
  if (it == files_.end()) return false;
  *size = it->second.size;
  return true;
}

bool MemoryEnv::FileExists(const char* path) { return files_.count(path) != 0; }

std::unique_ptr<platform::File> MemoryEnv::OpenShared(const char* path) {
  auto it = files_.find(path);
  if (it == files_.end()) return nullptr;
  return std::make_unique<MemoryFile>(it->second.size, it->second.generator);
}

std::unique_ptr<platform::File> MemoryEnv::Create(const char*) { return nullptr; }

bool MemoryEnv::Delete(const char* path) { return files_.erase(path) != 0; }

bool MemoryEnv::FindFiles(const char* folder, const char*, std::vector<platform::DirEntry>* out) {
  out->clear();
  std::string prefix = folder;
  if (prefix.empty() || prefix.back() != '\\') prefix += '\\';
  for (const auto& file : files_) {
    const std::string& path = file.first;
    if (path.compare(0, prefix.size(), prefix) == 0 && path.find('\\', prefix.size()) == std::string::npos) {
      out->push_back(platform::DirEntry{path.substr(prefix.size()), false});
    }
  }
  return true;
}

bool MemoryEnv::MayAllocate(std::size_t bytes) { return bytes <= allocationLimit; }

int MemoryEnv::ShowMessageBox(void*, const char*, const char*, unsigned) { return platform::kIdOk; }

std::uint8_t InputReader::Byte() {
  if (size_ == 0) return 0;
  --size_;
  return *data_++;
}

std::uint16_t InputReader::U16() {
  const unsigned low = Byte();
  return static_cast<std::uint16_t>(low | static_cast<unsigned>(Byte()) << 8);
}

std::uint32_t InputReader::U32() {
  const std::uint32_t low = U16();
  return low | static_cast<std::uint32_t>(U16()) << 16;
}

std::string InputReader::Bytes(std::size_t maxLength) {
  const std::size_t length = std::min<std::size_t>({U16() % (maxLength + 1), size_});
  std::string bytes(reinterpret_cast<const char*>(data_), length);
  data_ += length;
  size_ -= length;
  return bytes;
}

std::vector<std::uint8_t> InputReader::Rest() {
  std::vector<std::uint8_t> rest(data_, data_ + size_);
  data_ += size_;
  size_ = 0;
  return rest;
}

namespace {

// `size` bytes made of `period` repeated: a copy per period, not a computation per byte.
std::vector<std::uint8_t> Repeated(const std::vector<std::uint8_t>& period, std::uint64_t size) {
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
  for (std::size_t at = 0; at < bytes.size(); at += period.size()) {
    std::memcpy(bytes.data() + at, period.data(), std::min(period.size(), bytes.size() - at));
  }
  return bytes;
}

}  // namespace

std::vector<std::uint8_t> TileBytes(int lat, int lon, std::uint64_t size) {
  // Sample s is 7 s + corner (mod 2600) - 300 m, with the unsigned arithmetic wrapping for
  // a corner below 0: from sample 2600 on the heights repeat every 2600 samples.
  constexpr std::size_t kPeriod = 2600;
  const std::uint64_t corner = static_cast<std::uint64_t>(lat * 131 + lon * 17);
  auto put = [corner](std::uint8_t* out, std::uint64_t s) {
    const auto h = static_cast<std::uint16_t>(static_cast<std::int32_t>((s * 7 + corner) % kPeriod) - 300);
    out[0] = static_cast<std::uint8_t>(h >> 8);
    out[1] = static_cast<std::uint8_t>(h);
  };
  std::vector<std::uint8_t> period(2 * kPeriod);
  for (std::size_t s = 0; s < kPeriod; ++s) put(&period[2 * s], kPeriod + s);
  std::vector<std::uint8_t> bytes = Repeated(period, size);
  for (std::size_t s = 0; s < kPeriod && 2 * s < bytes.size(); ++s) {
    std::uint8_t sample[2];
    put(sample, s);
    std::memcpy(&bytes[2 * s], sample, std::min<std::size_t>(2, bytes.size() - 2 * s));
  }
  for (std::size_t at = 2 * 13; at < bytes.size(); at += 2 * 997) {  // a void (-32768) every 997 samples
    bytes[at] = 0x80;
    if (at + 1 < bytes.size()) bytes[at + 1] = 0;
  }
  return bytes;
}

std::vector<std::uint8_t> GarbageBytes(std::uint64_t size) {
  // Byte i is bits 13 to 20 of i * 2654435761, which repeat every 2^21 bytes.
  std::vector<std::uint8_t> period(std::size_t{1} << 21);
  for (std::size_t i = 0; i < period.size(); ++i) period[i] = static_cast<std::uint8_t>(i * 2654435761u >> 13);
  return Repeated(period, size);
}

}  // namespace srtm::fuzz
