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

void TileBytes(int lat, int lon, std::uint64_t offset, std::uint8_t* out, std::size_t n) {
  const std::uint64_t corner = static_cast<std::uint64_t>(lat * 131 + lon * 17);
  for (std::size_t i = 0; i < n;) {
    const std::uint64_t at = offset + i;
    const std::uint64_t sample = at / 2;
    std::int32_t h = static_cast<std::int32_t>((sample * 7 + corner) % 2600) - 300;
    if (sample % 997 == 13) h = -32768;
    const auto u = static_cast<std::uint16_t>(h);
    if (at % 2 == 0) out[i++] = static_cast<std::uint8_t>(u >> 8);
    if (i < n) out[i++] = static_cast<std::uint8_t>(u);
  }
}

}  // namespace srtm::fuzz
