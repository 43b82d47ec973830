// An Env in front of the real one that counts what the plug-in asks of the system and
// fails chosen requests: the k-th write, read, allocation, create, close or rename,
// seeks, allocations of chosen sizes, reads that come up short, every write once the
// disk is full, and actions run just before a file is opened or created (to
// swap a tile, truncate it or take its folder away at that very moment). A failed
// request leaves the system's reason as a real one would (platform::LastErrorText: a
// full disk, an I/O error, or access denied for a create or a rename). Installed for
// its lifetime; everything not failed goes to the Env it replaced.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace srtm::test {

class FaultInjector : public platform::Env {
 public:
  FaultInjector();
  ~FaultInjector() override;
  FaultInjector(const FaultInjector&) = delete;
  FaultInjector& operator=(const FaultInjector&) = delete;

  // Requests so far (counted from 1 by the faults below).
  int writes = 0;       // File::Write on files it created
  int reads = 0;        // File::Read and File::ReadAt on files it opened
  int allocations = 0;  // MayAllocate
  int creates = 0;
  int closes = 0;       // File::Close on files it created
  int renames = 0;
  std::int64_t bytesWritten = 0;

  // The k-th request of a kind fails (0: none). A failed read delivers nothing.
  int failWrite = 0;
  int failRead = 0;
  int failAllocation = 0;
  int failCreate = 0;
  int failClose = 0;
  int failRename = 0;
  bool failSeek = false;                    // every Seek on files it created
  std::set<std::size_t> refuseAllocations;  // MayAllocate of these sizes answers false
  std::size_t shortReadBytes = 0;           // File::Read stops this many bytes early
  // Bytes that still fit on the disk (negative: unlimited). A write that does not fit
  // stores what fits and fails, as a full disk does.
  std::int64_t diskSpace = -1;
  // Run just before a file is opened for reading or created, with its plug-in path.
  std::function<void(const std::string& path)> beforeOpen;
  std::function<void(const std::string& path)> beforeCreate;

  // Every fault off, the counters kept.
  void Heal();

  std::unique_ptr<platform::File> OpenShared(const char* path) override;
  std::unique_ptr<platform::File> Create(const char* path) override;
  // Counted, failed and watched as Create is.
  std::unique_ptr<platform::File> CreateNew(const char* path, const char* like) override;
  bool MayAllocate(std::size_t bytes) override;
  bool GetFileSize(const char* path, std::uint64_t* size) override { return previous_->GetFileSize(path, size); }
  bool FileExists(const char* path) override { return previous_->FileExists(path); }
  bool Delete(const char* path) override { return previous_->Delete(path); }
  bool Rename(const char* from, const char* to) override;
  bool Locate(const char* path, platform::Destination* out) override { return previous_->Locate(path, out); }
  bool Identify(const char* path, platform::FileId* out) override { return previous_->Identify(path, out); }
  // Written through as files it created are.
  std::unique_ptr<platform::File> OpenDescriptor(int descriptor) override;
  bool FindFiles(const char* folder, const char* pattern, std::vector<platform::DirEntry>* out) override {
    return previous_->FindFiles(folder, pattern, out);
  }
  int ShowMessageBox(void* owner, const char* text, const char* caption, unsigned type) override {
    return previous_->ShowMessageBox(owner, text, caption, type);
  }

 private:
  class ReadFile;
  class WriteFile;
  static std::unique_ptr<platform::File> Refused();
  platform::Env* previous_;
};

}  // namespace srtm::test
