#include "platform/output_file.h"

#include <atomic>
#include <chrono>
#include <cstdio>

namespace srtm::platform {
namespace {

// Names of temporary files differ between processes (the start is taken from the clock)
// and within one (the counter); a name that is taken anyway is passed over, since the
// file is created new.
std::atomic<std::uint32_t> g_serial{static_cast<std::uint32_t>(
    static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) * 2654435761u)};

// Where the temporary file of `target` goes: beside it, ".<name>.~<8 hex digits>", or,
// when that would not fit a path buffer, "~<8 hex digits>.tmp" in the same folder. No
// search for the target's extension finds either.
std::string TemporaryName(const std::string& target) {
  std::size_t nameStart = 0;
  for (std::size_t i = 0; i < target.size(); ++i) {
    const auto c = static_cast<unsigned char>(target[i]);
    if (IsLeadByte(c)) {
      ++i;
    } else if (c == '\\' || c == '/' || c == ':') {
      nameStart = i + 1;
    }
  }
  char serial[16];
  std::snprintf(serial, sizeof serial, "%08X", static_cast<unsigned>(g_serial.fetch_add(1)));
  const std::string folder = target.substr(0, nameStart);
  std::string name = "." + target.substr(nameStart) + ".~" + serial;
  if (folder.size() + name.size() >= kMaxPath) name = std::string("~") + serial + ".tmp";
  return folder + name;
}

}  // namespace

OutputFile::~OutputFile() { Abandon(); }

bool OutputFile::Open(const std::string& path) {
  Abandon();
  Env* env = CurrentEnv();
  std::string target = env->FollowLinks(path.c_str());
  switch (env->Inspect(target.c_str())) {
    case PathKind::kFolder:
      return false;
    case PathKind::kOther:
      file_ = env->Create(target.c_str());
      if (!file_) return false;
      kind_ = Kind::kInPlace;
      break;
    case PathKind::kMissing:
    case PathKind::kRegular:
      for (int attempt = 0; attempt < 100 && !file_; ++attempt) {
        std::string temporary = TemporaryName(target);
        file_ = env->CreateNew(temporary.c_str());
        if (file_) {
          temporary_ = std::move(temporary);
        } else if (env->Inspect(temporary.c_str()) == PathKind::kMissing) {
          return false;  // not a name taken: the folder takes no new file
        }
      }
      if (!file_) return false;
      kind_ = Kind::kReplaced;
      break;
  }
  target_ = std::move(target);
  failed_ = false;
  return true;
}

bool OutputFile::OpenStandardOutput() {
  Abandon();
  std::fflush(stdout);
  file_ = CurrentEnv()->StandardOutput();
  if (!file_) return false;
  kind_ = Kind::kStandardOutput;
  failed_ = false;
  return true;
}

bool OutputFile::Write(const void* data, std::size_t size) {
  if (!file_ || failed_) return false;
  if (size > 0 && !file_->Write(data, size)) failed_ = true;
  return !failed_;
}

bool OutputFile::Commit() {
  if (!file_) return false;
  bool ok = !failed_ && file_->Close();
  file_.reset();
  if (ok && kind_ == Kind::kReplaced) ok = CurrentEnv()->Rename(temporary_.c_str(), target_.c_str());
  if (!ok) {
    Abandon();
    return false;
  }
  kind_ = Kind::kNone;
  target_.clear();
  temporary_.clear();
  return true;
}

void OutputFile::Abandon() {
  file_.reset();
  if (!temporary_.empty()) CurrentEnv()->Delete(temporary_.c_str());
  kind_ = Kind::kNone;
  target_.clear();
  temporary_.clear();
  failed_ = false;
}

bool WriteOutputFile(const std::string& path, const void* data, std::size_t size) {
  OutputFile out;
  return out.Open(path) && out.Write(data, size) && out.Commit();
}

}  // namespace srtm::platform
