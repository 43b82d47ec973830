// POSIX implementation: the plug-in's DOS-style paths mapped onto a Unix tree of UTF-8 names.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/platform.h"
#include "platform/platform_internal.h"

namespace srtm::platform {
namespace {

class PosixFile final : public File {
 public:
  // `owned` false: Close leaves the descriptor open (standard output).
  explicit PosixFile(int fd, bool owned = true) : fd_(fd), owned_(owned) {}
  ~PosixFile() override { Close(); }

  bool Read(void* buffer, std::size_t size, std::size_t* got) override {
    return Transfer(buffer, size, got, [this](char* p, std::size_t n) { return ::read(fd_, p, n); });
  }
  bool ReadAt(std::uint64_t offset, void* buffer, std::size_t size, std::size_t* got) override {
    return Transfer(buffer, size, got, [this, &offset](char* p, std::size_t n) {
      ssize_t r = ::pread(fd_, p, n, static_cast<off_t>(offset));
      if (r > 0) offset += static_cast<std::uint64_t>(r);
      return r;
    });
  }
  bool Write(const void* data, std::size_t size) override {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
      ssize_t r = ::write(fd_, p, size);
      if (r < 0 && errno == EINTR) continue;
      if (r <= 0) return false;
      p += r;
      size -= static_cast<std::size_t>(r);
    }
    return true;
  }
  bool Seek(std::uint64_t offset) override {
    return offset <= static_cast<std::uint64_t>(LLONG_MAX) &&
           ::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) >= 0;
  }
  std::uint64_t Tell() override {
    off_t at = ::lseek(fd_, 0, SEEK_CUR);
    return at < 0 ? 0 : static_cast<std::uint64_t>(at);
  }
  bool Close() override {
    if (fd_ < 0) return true;
    const int r = owned_ ? ::close(fd_) : 0;
    fd_ = -1;
    return r == 0;
  }

 private:
  // Repeats a read until `size` bytes arrived, the file ended or an error occurred.
  template <typename Op>
  bool Transfer(void* buffer, std::size_t size, std::size_t* got, Op op) {
    char* p = static_cast<char*>(buffer);
    std::size_t done = 0;
    bool ok = true;
    while (done < size) {
      ssize_t r = op(p + done, size - done);
      if (r < 0 && errno == EINTR) continue;
      if (r < 0) ok = false;
      if (r <= 0) break;
      done += static_cast<std::size_t>(r);
    }
    if (got) *got = done;
    return ok;
  }

  int fd_;
  bool owned_;
};

// The folder part of a native path ("." for a bare name).
std::string NativeFolder(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// The descriptor a native path names as such (/dev/stdout, /dev/fd/N, /proc/self/fd/N
// and this process's own /proc/PID/fd/N), or -1.
int DescriptorName(const std::string& path) {
  if (path == "/dev/stdin") return 0;
  if (path == "/dev/stdout") return 1;
  if (path == "/dev/stderr") return 2;
  const std::string own = "/proc/" + std::to_string(::getpid()) + "/fd/";
  for (const std::string& folder : {std::string("/dev/fd/"), std::string("/proc/self/fd/"), own}) {
    if (path.compare(0, folder.size(), folder) != 0 || path.size() == folder.size() ||
        path.size() > folder.size() + 9) {
      continue;
    }
    int descriptor = 0;
    for (std::size_t i = folder.size(); i < path.size(); ++i) {
      if (path[i] < '0' || path[i] > '9') return -1;
      descriptor = descriptor * 10 + (path[i] - '0');
    }
    return descriptor;
  }
  return -1;
}

FileId IdOf(const struct stat& st) {
  return FileId{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

// The text of an error code, from either strerror_r the C library has.
[[maybe_unused]] const char* Chosen(int result, const char* buffer) { return result == 0 ? buffer : "unknown error"; }
[[maybe_unused]] const char* Chosen(const char* result, const char*) { return result; }

int ErrnoOf(Failure failure) {
  switch (failure) {
    case Failure::kDiskFull: return ENOSPC;
    case Failure::kAccessDenied: return EACCES;
    case Failure::kNotFound: return ENOENT;
    case Failure::kIsADirectory: return EISDIR;
    case Failure::kNotADirectory: return ENOTDIR;
    case Failure::kIoError: break;
  }
  return EIO;
}

}  // namespace

std::string LastErrorText() {
  const int code = errno;
  char buffer[256] = {};
  return Chosen(strerror_r(code, buffer, sizeof buffer), buffer);
}

void SimulateFailure(Failure failure) { errno = ErrnoOf(failure); }

std::string ErrorText(Failure failure) {
  SimulateFailure(failure);
  return LastErrorText();
}

std::string ToNativePath(const std::string& path) {
  std::size_t i = 0;
  if (path.size() >= 2 && path[1] == ':' &&
      ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'))) {
    i = 2;
  }
  // UTF-8: no byte of a multi-byte character is a backslash or a '/'.
  std::string out = path.substr(i);
  for (char& c : out) c = c == '\\' ? '/' : c == '/' ? '\\' : c;
  return out.empty() ? "/" : out;
}

std::string FromUserPath(const std::string& path) {
  std::string absolute = path;
  if (absolute.empty() || absolute[0] != '/') {
    // A working folder longer than the system's limit stays relative, which the system
    // still resolves.
    char cwd[PATH_MAX];
    if (::getcwd(cwd, sizeof cwd)) absolute = std::string(cwd) + "/" + path;
  }
  std::string out = "Z:";
  for (char c : absolute) out += c == '/' ? '\\' : c == '\\' ? '/' : c;
  return out;
}

bool Env::GetFileSize(const char* path, std::uint64_t* size) {
  struct stat st;
  if (::stat(ToNativePath(path).c_str(), &st) != 0) return false;
  *size = static_cast<std::uint64_t>(st.st_size);
  return true;
}

bool Env::FileExists(const char* path) { return ::access(ToNativePath(path).c_str(), F_OK) == 0; }

std::unique_ptr<File> Env::OpenShared(const char* path) {
  int fd = ::open(ToNativePath(path).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  return std::make_unique<PosixFile>(fd);
}

std::unique_ptr<File> Env::Create(const char* path) {
  int fd = ::open(ToNativePath(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return nullptr;
  return std::make_unique<PosixFile>(fd);
}

bool Env::Delete(const char* path) { return ::unlink(ToNativePath(path).c_str()) == 0; }

bool Env::Rename(const char* from, const char* to) {
  return std::rename(ToNativePath(from).c_str(), ToNativePath(to).c_str()) == 0;
}

bool Env::Locate(const char* path, Destination* out) {
  *out = Destination();
  std::string native = ToNativePath(path);
  // As the system does, give up after 40 links: a loop.
  for (int links = 0;; ++links) {
    out->descriptor = DescriptorName(native);
    if (out->descriptor >= 0) {
      out->kind = PathKind::kOther;
      out->path = path;
      return true;
    }
    struct stat st;
    if (::lstat(native.c_str(), &st) != 0) {
      if (errno != ENOENT) return false;
      break;
    }
    if (!S_ISLNK(st.st_mode)) {
      out->kind = S_ISREG(st.st_mode) ? PathKind::kRegular : S_ISDIR(st.st_mode) ? PathKind::kFolder : PathKind::kOther;
      out->id = IdOf(st);
      break;
    }
    if (links == 40) {
      errno = ELOOP;
      return false;
    }
    std::string target(PATH_MAX, '\0');
    const ssize_t n = ::readlink(native.c_str(), &target[0], target.size());
    if (n < 0) return false;
    if (n == 0 || static_cast<std::size_t>(n) >= target.size()) {
      errno = ENAMETOOLONG;
      return false;
    }
    target.resize(static_cast<std::size_t>(n));
    native = target[0] == '/' ? target : NativeFolder(native) + "/" + target;
  }
  out->path = native == ToNativePath(path) ? std::string(path) : FromUserPath(native);
  // A file that is already open as the standard output or error is written through it,
  // so that what the shell appends and what the command writes stay in order.
  for (int descriptor : {1, 2}) {
    struct stat st;
    if (out->kind != PathKind::kMissing && ::fstat(descriptor, &st) == 0 && IdOf(st) == out->id) {
      out->descriptor = descriptor;
      break;
    }
  }
  return true;
}

bool Env::Identify(const char* path, FileId* out) {
  struct stat st;
  if (::stat(ToNativePath(path).c_str(), &st) != 0) return false;
  *out = IdOf(st);
  return true;
}

std::unique_ptr<File> Env::CreateNew(const char* path, const char* like) {
  struct stat model;
  const bool copy = like && ::stat(ToNativePath(like).c_str(), &model) == 0 && S_ISREG(model.st_mode);
  // A copied mode is set only once the file is the process's alone: it may be narrower
  // than the default.
  int fd = ::open(ToNativePath(path).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, copy ? 0600 : 0666);
  if (fd < 0) return nullptr;
  if (copy) {
    // The owner only the superuser may give; the group any of its members.
    if (::fchown(fd, model.st_uid, model.st_gid) != 0 && ::fchown(fd, static_cast<uid_t>(-1), model.st_gid) != 0) {
    }
    if (::fchmod(fd, model.st_mode & 07777) != 0) {
    }
  }
  return std::make_unique<PosixFile>(fd);
}

std::unique_ptr<File> Env::OpenDescriptor(int descriptor) { return std::make_unique<PosixFile>(descriptor, false); }

bool Env::FindFiles(const char* folder, const char* pattern, std::vector<DirEntry>* out) {
  out->clear();
  std::string native = ToNativePath(folder);
  DIR* dir = ::opendir(native.c_str());
  if (!dir) return false;
  while (struct dirent* entry = ::readdir(dir)) {
    const char* name = entry->d_name;
    if ((name[0] == '.' && name[1] == '\0') || (name[0] == '.' && name[1] == '.' && name[2] == '\0')) continue;
    if (!MatchesPattern(name, pattern)) continue;
    struct stat st;
    bool isDir = ::stat((native + "/" + name).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    out->push_back(DirEntry{name, isDir});
  }
  ::closedir(dir);
  return true;
}

int Env::ShowMessageBox(void*, const char* text, const char* caption, unsigned type) {
  int answer = kIdOk;
  RecordMessageBox(text, caption, type, &answer);
  return answer;
}

Env* DefaultEnv() {
  static Env env;
  return &env;
}

}  // namespace srtm::platform
