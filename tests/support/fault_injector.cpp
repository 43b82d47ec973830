#include "tests/support/fault_injector.h"

#include <algorithm>

namespace srtm::test {

namespace {
bool Failed(platform::Failure failure) {
  platform::SimulateFailure(failure);
  return false;
}
}  // namespace

class FaultInjector::ReadFile final : public platform::File {
 public:
  ReadFile(std::unique_ptr<platform::File> inner, FaultInjector* env) : inner_(std::move(inner)), env_(env) {}
  bool Read(void* buffer, std::size_t size, std::size_t* got) override {
    if (Fails(got)) return false;
    const std::size_t missing = env_->shortReadBytes;
    return inner_->Read(buffer, size > missing ? size - missing : 0, got);
  }
  bool ReadAt(std::uint64_t offset, void* buffer, std::size_t size, std::size_t* got) override {
    if (Fails(got)) return false;
    return inner_->ReadAt(offset, buffer, size, got);
  }
  bool Write(const void* data, std::size_t size) override { return inner_->Write(data, size); }
  bool Seek(std::uint64_t offset) override { return inner_->Seek(offset); }
  std::uint64_t Tell() override { return inner_->Tell(); }
  bool Close() override { return inner_->Close(); }

 private:
  bool Fails(std::size_t* got) {
    if (++env_->reads != env_->failRead) return false;
    if (got) *got = 0;
    return true;
  }
  std::unique_ptr<platform::File> inner_;
  FaultInjector* env_;
};

class FaultInjector::WriteFile final : public platform::File {
 public:
  WriteFile(std::unique_ptr<platform::File> inner, FaultInjector* env) : inner_(std::move(inner)), env_(env) {}
  bool Read(void* buffer, std::size_t size, std::size_t* got) override { return inner_->Read(buffer, size, got); }
  bool ReadAt(std::uint64_t offset, void* buffer, std::size_t size, std::size_t* got) override {
    return inner_->ReadAt(offset, buffer, size, got);
  }
  bool Write(const void* data, std::size_t size) override {
    if (++env_->writes == env_->failWrite) return Failed(platform::Failure::kIoError);
    std::size_t fits = size;
    if (env_->diskSpace >= 0) fits = static_cast<std::size_t>(std::min<std::int64_t>(env_->diskSpace, size));
    if (fits > 0 && !inner_->Write(data, fits)) return false;
    env_->bytesWritten += static_cast<std::int64_t>(fits);
    if (env_->diskSpace >= 0) env_->diskSpace -= static_cast<std::int64_t>(fits);
    return fits == size || Failed(platform::Failure::kDiskFull);
  }
  bool Seek(std::uint64_t offset) override {
    return env_->failSeek ? Failed(platform::Failure::kIoError) : inner_->Seek(offset);
  }
  std::uint64_t Tell() override { return inner_->Tell(); }
  bool Close() override {
    if (closed_) return true;
    closed_ = true;
    const bool ok = inner_->Close();
    return ++env_->closes == env_->failClose ? Failed(platform::Failure::kIoError) : ok;
  }

 private:
  std::unique_ptr<platform::File> inner_;
  FaultInjector* env_;
  bool closed_ = false;
};

FaultInjector::FaultInjector() : previous_(platform::SetEnv(this)) {}

std::unique_ptr<platform::File> FaultInjector::Refused() {
  platform::SimulateFailure(platform::Failure::kAccessDenied);
  return nullptr;
}

FaultInjector::~FaultInjector() { platform::SetEnv(previous_); }

void FaultInjector::Heal() {
  failWrite = failRead = failAllocation = failCreate = failClose = failRename = 0;
  failSeek = false;
  refuseAllocations.clear();
  shortReadBytes = 0;
  diskSpace = -1;
  beforeOpen = nullptr;
  beforeCreate = nullptr;
}

std::unique_ptr<platform::File> FaultInjector::OpenShared(const char* path) {
  if (beforeOpen) beforeOpen(path);
  auto file = previous_->OpenShared(path);
  if (!file) return nullptr;
  return std::make_unique<ReadFile>(std::move(file), this);
}

std::unique_ptr<platform::File> FaultInjector::Create(const char* path) {
  if (beforeCreate) beforeCreate(path);
  if (++creates == failCreate) return Refused();
  auto file = previous_->Create(path);
  if (!file) return nullptr;
  return std::make_unique<WriteFile>(std::move(file), this);
}

std::unique_ptr<platform::File> FaultInjector::CreateNew(const char* path, const char* like) {
  if (beforeCreate) beforeCreate(path);
  if (++creates == failCreate) return Refused();
  auto file = previous_->CreateNew(path, like);
  if (!file) return nullptr;
  return std::make_unique<WriteFile>(std::move(file), this);
}

std::unique_ptr<platform::File> FaultInjector::OpenDescriptor(int descriptor) {
  auto file = previous_->OpenDescriptor(descriptor);
  if (!file) return nullptr;
  return std::make_unique<WriteFile>(std::move(file), this);
}

bool FaultInjector::Rename(const char* from, const char* to) {
  if (++renames == failRename) return Failed(platform::Failure::kAccessDenied);
  return previous_->Rename(from, to);
}

bool FaultInjector::MayAllocate(std::size_t bytes) {
  if (++allocations == failAllocation || refuseAllocations.count(bytes) != 0) return false;
  return previous_->MayAllocate(bytes);
}

}  // namespace srtm::test
