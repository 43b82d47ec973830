#include "platform/output_file.h"

#include <atomic>
#include <chrono>
#include <cstdio>

#include "platform/platform_internal.h"

namespace srtm::platform {
namespace {

// Names of temporary files differ between processes (the start is taken from the clock)
// and within one (the counter); a name that is taken anyway is passed over, since the
// file is created new.
std::atomic<std::uint32_t> g_serial{static_cast<std::uint32_t>(
    static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) * 2654435761u)};

// The longest file name the systems take (bytes, which are at least as many as characters).
constexpr std::size_t kMaxName = 255;

// Where the temporary file of `target` goes: beside it, ".<name>.~<8 hex digits>", or,
// when that would not fit a name or a path buffer, ".~<8 hex digits>" in the same
// folder. No search for the target's extension finds either.
std::string TemporaryName(const std::string& target) {
  std::size_t nameStart = 0;
  for (std::size_t i = 0; i < target.size(); ++i) {
    const auto c = static_cast<unsigned char>(target[i]);
    if (IsPathLeadByte(c, kPathCodePage)) {
      ++i;
    } else if (c == '\\' || c == ':') {
      nameStart = i + 1;
    }
  }
  char serial[16];
  std::snprintf(serial, sizeof serial, "%08X", static_cast<unsigned>(g_serial.fetch_add(1)));
  const std::string folder = target.substr(0, nameStart);
  std::string name = "." + target.substr(nameStart) + ".~" + serial;
  if (name.size() > kMaxName || folder.size() + name.size() >= kMaxPath) name = std::string(".~") + serial;
  return folder + name;
}

// Creates the temporary file of `target` (like `like` when given) under a name not
// taken; null, with the system's reason in `why`, when the folder takes no new file.
std::unique_ptr<File> CreateTemporary(const std::string& target, const char* like, std::string* temporary,
                                      std::string* why) {
  Env* env = CurrentEnv();
  for (int attempt = 0; attempt < 100; ++attempt) {
    *temporary = TemporaryName(target);
    if (auto file = env->CreateNew(temporary->c_str(), like)) return file;
    *why = LastErrorText();
    Destination taken;
    if (env->Locate(temporary->c_str(), &taken) && taken.kind == PathKind::kMissing && taken.path == *temporary) {
      return nullptr;  // not a name taken: the folder takes no new file
    }
  }
  return nullptr;
}

}  // namespace

OutputFile::~OutputFile() { Abandon(); }

bool OutputFile::Fail(std::string why) {
  error_ = std::move(why);
  return false;
}

bool OutputFile::Open(const std::string& path, const std::vector<std::string>& inputs) {
  Abandon();
  error_.clear();
  isAnInput_ = false;
  Env* env = CurrentEnv();
  Destination to;
  if (!env->Locate(path.c_str(), &to)) return Fail(LastErrorText());
  if (to.kind != PathKind::kMissing && to.descriptor < 0) {
    for (const std::string& input : inputs) {
      FileId id;
      if (env->Identify(input.c_str(), &id) && id == to.id) {
        isAnInput_ = true;
        return Fail("is the input " + ToNativePath(input));
      }
    }
  }
  if (to.descriptor >= 0) {
    std::fflush(stdout);
    std::fflush(stderr);
    file_ = env->OpenDescriptor(to.descriptor);
    if (!file_) return Fail(LastErrorText());
    kind_ = Kind::kStandardOutput;
    failed_ = false;
    return true;
  }
  switch (to.kind) {
    case PathKind::kFolder:
      return Fail(ErrorText(Failure::kIsADirectory));
    case PathKind::kOther:
      file_ = env->Create(to.path.c_str());
      if (!file_) return Fail(LastErrorText());
      kind_ = Kind::kInPlace;
      break;
    case PathKind::kMissing:
    case PathKind::kRegular: {
      std::string why;
      file_ = CreateTemporary(to.path, to.kind == PathKind::kRegular ? to.path.c_str() : nullptr, &temporary_, &why);
      if (!file_) {
        temporary_.clear();
        return Fail(why);
      }
      slot_ = RegisterTemporary(ToNativePath(temporary_));
      kind_ = Kind::kReplaced;
      break;
    }
  }
  target_ = std::move(to.path);
  failed_ = false;
  return true;
}

bool OutputFile::OpenStandardOutput() {
  Abandon();
  error_.clear();
  isAnInput_ = false;
  std::fflush(stdout);
  file_ = CurrentEnv()->OpenDescriptor(1);
  if (!file_) return Fail(LastErrorText());
  kind_ = Kind::kStandardOutput;
  failed_ = false;
  return true;
}

bool OutputFile::Write(const void* data, std::size_t size) {
  if (!file_ || failed_) return false;
  if (size > 0 && !file_->Write(data, size)) {
    failed_ = true;
    Fail(LastErrorText());
  }
  return !failed_;
}

bool OutputFile::Seek(std::uint64_t offset) {
  if (!file_ || failed_ || kind_ != Kind::kReplaced) return false;
  if (!file_->Seek(offset)) {
    failed_ = true;
    Fail(LastErrorText());
  }
  return !failed_;
}

bool OutputFile::Commit() {
  if (!file_) return false;
  bool ok = !failed_;
  if (ok && !file_->Close()) ok = Fail(LastErrorText());
  file_.reset();
  if (ok && kind_ == Kind::kReplaced && !CurrentEnv()->Rename(temporary_.c_str(), target_.c_str())) {
    ok = Fail(LastErrorText());
  }
  if (!ok) {
    const std::string why = error_;
    Abandon();
    error_ = why;
    return false;
  }
  Close();
  return true;
}

void OutputFile::Abandon() {
  file_.reset();
  if (!temporary_.empty()) CurrentEnv()->Delete(temporary_.c_str());
  Close();
}

void OutputFile::Close() {
  ReleaseTemporary(slot_);
  slot_ = -1;
  kind_ = Kind::kNone;
  target_.clear();
  temporary_.clear();
  failed_ = false;
}

bool WriteOutputFile(const std::string& path, const void* data, std::size_t size, std::string* why,
                     const std::vector<std::string>& inputs) {
  OutputFile out;
  const bool ok = out.Open(path, inputs) && out.Write(data, size) && out.Commit();
  if (!ok && why) *why = out.error();
  return ok;
}

bool IsStandardOutput(const std::string& path) {
  Destination to;
  return CurrentEnv()->Locate(path.c_str(), &to) && to.descriptor == 1;
}

bool IsTemporaryName(const std::string& name) {
  const std::size_t n = name.size();
  if (n < 10 || name[0] != '.' || name.compare(n - 10, 2, ".~") != 0) return false;
  for (std::size_t i = n - 8; i < n; ++i) {
    const char c = name[i];
    if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) return false;
  }
  return true;
}

bool FolderTakesFiles(const std::string& folder, std::string* why) {
  Destination to;
  if (!CurrentEnv()->Locate(folder.c_str(), &to)) {
    *why = LastErrorText();
    return false;
  }
  if (to.kind != PathKind::kFolder) {
    *why = ErrorText(to.kind == PathKind::kMissing ? Failure::kNotFound : Failure::kNotADirectory);
    return false;
  }
  std::string temporary;
  if (!CreateTemporary(to.path + "\\srtm", nullptr, &temporary, why)) return false;
  const int slot = RegisterTemporary(ToNativePath(temporary));  // a signal now must not leave it
  CurrentEnv()->Delete(temporary.c_str());
  ReleaseTemporary(slot);
  return true;
}

}  // namespace srtm::platform
