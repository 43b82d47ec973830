// Shared pieces of the fuzz targets: an in-memory file system behind the platform layer
// (so a target reads its input and its tiles as files without touching the disk), and a
// reader that takes typed values off the front of a fuzz input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace srtm::fuzz {

// Files held in memory under plug-in paths. Read-only: Create fails, so nothing a target
// does can write anywhere. Installed as the current Env for its lifetime.
class MemoryEnv : public platform::Env {
 public:
  // Fills `out` with `n` bytes of a file's content starting at `offset`.
  using Generator = std::function<void(std::uint64_t offset, std::uint8_t* out, std::size_t n)>;

  MemoryEnv();
  ~MemoryEnv() override;
  MemoryEnv(const MemoryEnv&) = delete;
  MemoryEnv& operator=(const MemoryEnv&) = delete;

  void AddFile(const std::string& path, std::vector<std::uint8_t> bytes);
  void AddGeneratedFile(const std::string& path, std::uint64_t size, Generator generator);
  void Clear() { files_.clear(); }
  // Allocations above this many bytes are refused, as a system short of memory would.
  std::size_t allocationLimit = std::size_t{256} << 20;

  bool GetFileSize(const char* path, std::uint64_t* size) override;
  bool FileExists(const char* path) override;
  std::unique_ptr<platform::File> OpenShared(const char* path) override;
  std::unique_ptr<platform::File> Create(const char* path) override;
  bool Delete(const char* path) override;
  bool Rename(const char*, const char*) override { return false; }
  bool FindFiles(const char* folder, const char* pattern, std::vector<platform::DirEntry>* out) override;
  bool MayAllocate(std::size_t bytes) override;
  int ShowMessageBox(void* owner, const char* text, const char* caption, unsigned type) override;

 private:
  struct Entry {
    std::uint64_t size = 0;
    Generator generator;
  };
  std::map<std::string, Entry> files_;
  platform::Env* previous_;
};

// Takes values off the front of a fuzz input; past its end every value is 0.
class InputReader {
 public:
  InputReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool empty() const { return size_ == 0; }
  std::size_t remaining() const { return size_; }
  std::uint8_t Byte();
  std::uint16_t U16();
  std::uint32_t U32();
  // Up to `maxLength` bytes, the count taken from the input first.
  std::string Bytes(std::size_t maxLength);
  // Everything that is left.
  std::vector<std::uint8_t> Rest();

 private:
  const std::uint8_t* data_;
  std::size_t size_;
};

// A tile file of `size` bytes whose content is a fixed function of its corner and
// sample position: big-endian heights with a void every so often.
std::vector<std::uint8_t> TileBytes(int lat, int lon, std::uint64_t size);
// A file of `size` bytes of no pattern a tile would have.
std::vector<std::uint8_t> GarbageBytes(std::uint64_t size);

}  // namespace srtm::fuzz
