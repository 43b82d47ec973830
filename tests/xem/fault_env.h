// An Env in front of the real one that fails chosen operations: the nth write to a file
// it created, seeks, closes, allocations of chosen sizes, and reads that come up short.
#pragma once

#include <cstddef>
#include <memory>
#include <set>
#include <string>

#include "platform/platform.h"

namespace srtm::test {

class FaultEnv : public platform::Env {
 public:
  FaultEnv() : previous_(platform::SetEnv(this)) {}
  ~FaultEnv() override { platform::SetEnv(previous_); }

  int failWriteNumber = 0;       // the nth Write (from 1) to a created file fails; 0 none
  bool failSeek = false;         // Seek on a created file fails
  bool failClose = false;        // Close of a created file fails
  bool failCreate = false;       // Create fails
  std::set<std::size_t> refuseAllocations;  // MayAllocate of these sizes answers false
  std::size_t shortReadBytes = 0;  // reads of opened files stop this many bytes early

  int writes = 0;  // writes to created files so far
  std::set<std::size_t> allocations;  // sizes asked for

  std::unique_ptr<platform::File> Create(const char* path) override {
    if (failCreate) return nullptr;
    auto file = platform::DefaultEnv()->Create(path);
    if (!file) return nullptr;
    return std::make_unique<WriteFile>(std::move(file), this);
  }
  std::unique_ptr<platform::File> OpenShared(const char* path) override {
    auto file = platform::DefaultEnv()->OpenShared(path);
    if (!file || shortReadBytes == 0) return file;
    return std::make_unique<ShortFile>(std::move(file), shortReadBytes);
  }
  bool MayAllocate(std::size_t bytes) override {
    allocations.insert(bytes);
    return refuseAllocations.count(bytes) == 0;
  }

 private:
  class Forward : public platform::File {
   public:
    explicit Forward(std::unique_ptr<platform::File> inner) : inner_(std::move(inner)) {}
    bool Read(void* b, std::size_t n, std::size_t* got) override { return inner_->Read(b, n, got); }
    bool ReadAt(std::uint64_t o, void* b, std::size_t n, std::size_t* got) override {
      return inner_->ReadAt(o, b, n, got);
    }
    bool Write(const void* d, std::size_t n) override { return inner_->Write(d, n); }
    bool Seek(std::uint64_t o) override { return inner_->Seek(o); }
    std::uint64_t Tell() override { return inner_->Tell(); }
    bool Close() override { return inner_->Close(); }

   protected:
    std::unique_ptr<platform::File> inner_;
  };

  class WriteFile final : public Forward {
   public:
    WriteFile(std::unique_ptr<platform::File> inner, FaultEnv* env) : Forward(std::move(inner)), env_(env) {}
    bool Write(const void* d, std::size_t n) override {
      if (++env_->writes == env_->failWriteNumber) return false;
      return inner_->Write(d, n);
    }
    bool Seek(std::uint64_t o) override { return !env_->failSeek && inner_->Seek(o); }
    bool Close() override {
      const bool ok = inner_->Close();
      return ok && !env_->failClose;
    }

   private:
    FaultEnv* env_;
  };

  class ShortFile final : public Forward {
   public:
    ShortFile(std::unique_ptr<platform::File> inner, std::size_t missing) : Forward(std::move(inner)), missing_(missing) {}
    bool Read(void* b, std::size_t n, std::size_t* got) override {
      const bool ok = inner_->Read(b, n > missing_ ? n - missing_ : 0, got);
      return ok;
    }

   private:
    std::size_t missing_;
  };

  platform::Env* previous_;
};

}  // namespace srtm::test
