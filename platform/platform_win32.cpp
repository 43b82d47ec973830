// Win32 implementation on the A functions: paths pass to the system unchanged.
#include <windows.h>

#include <string>

#include "platform/platform.h"
#include "platform/platform_internal.h"

namespace srtm::platform {
namespace {

class Win32File final : public File {
 public:
  // `owned` false: Close leaves the handle open (standard output).
  explicit Win32File(HANDLE handle, bool owned = true) : handle_(handle), owned_(owned) {}
  ~Win32File() override { Close(); }

  bool Read(void* buffer, std::size_t size, std::size_t* got) override {
    char* p = static_cast<char*>(buffer);
    std::size_t done = 0;
    bool ok = true;
    while (done < size) {
      DWORD chunk = static_cast<DWORD>(size - done > 0x40000000 ? 0x40000000 : size - done);
      DWORD read = 0;
      if (!::ReadFile(handle_, p + done, chunk, &read, nullptr)) ok = false;
      if (!ok || read == 0) break;
      done += read;
    }
    if (got) *got = done;
    return ok;
  }
  bool ReadAt(std::uint64_t offset, void* buffer, std::size_t size, std::size_t* got) override {
    if (!Seek(offset)) {
      if (got) *got = 0;
      return false;
    }
    return Read(buffer, size, got);
  }
  bool Write(const void* data, std::size_t size) override {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
      DWORD chunk = static_cast<DWORD>(size > 0x40000000 ? 0x40000000 : size);
      DWORD written = 0;
      if (!::WriteFile(handle_, p, chunk, &written, nullptr) || written == 0) return false;
      p += written;
      size -= written;
    }
    return true;
  }
  bool Seek(std::uint64_t offset) override {
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(offset);
    return offset <= 0x7FFFFFFFFFFFFFFFull && ::SetFilePointerEx(handle_, at, nullptr, FILE_BEGIN);
  }
  std::uint64_t Tell() override {
    LARGE_INTEGER zero, at;
    zero.QuadPart = 0;
    if (!::SetFilePointerEx(handle_, zero, &at, FILE_CURRENT)) return 0;
    return static_cast<std::uint64_t>(at.QuadPart);
  }
  bool Close() override {
    if (handle_ == INVALID_HANDLE_VALUE) return true;
    BOOL ok = owned_ ? ::CloseHandle(handle_) : TRUE;
    handle_ = INVALID_HANDLE_VALUE;
    return ok != FALSE;
  }

 private:
  HANDLE handle_;
  bool owned_;
};

// A handle for asking what `path` is, without reading or writing it; links followed.
HANDLE OpenForQuery(const char* path) {
  return ::CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

DWORD CodeOf(Failure failure) {
  switch (failure) {
    case Failure::kDiskFull: return ERROR_DISK_FULL;
    case Failure::kAccessDenied: return ERROR_ACCESS_DENIED;
    case Failure::kNotFound: return ERROR_PATH_NOT_FOUND;
    case Failure::kIsADirectory: return ERROR_ACCESS_DENIED;  // what Windows answers for a folder
    case Failure::kNotADirectory: return ERROR_DIRECTORY;
    case Failure::kIoError: break;
  }
  return ERROR_WRITE_FAULT;
}

}  // namespace

std::string LastErrorText() {
  const DWORD code = ::GetLastError();
  char text[512];
  DWORD n = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text,
                             sizeof text, nullptr);
  while (n > 0 && (text[n - 1] == '\r' || text[n - 1] == '\n' || text[n - 1] == ' ' || text[n - 1] == '.')) --n;
  if (n == 0) return "error " + std::to_string(code);
  return std::string(text, n);
}

void SimulateFailure(Failure failure) { ::SetLastError(CodeOf(failure)); }

std::string ErrorText(Failure failure) {
  SimulateFailure(failure);
  return LastErrorText();
}

std::string ToNativePath(const std::string& path) { return path; }

std::string FromUserPath(const std::string& path) {
  // An absolute Unix path (a test or tool run under Wine) lies on Wine's root drive Z:.
  std::string out = !path.empty() && path[0] == '/' ? "Z:" + path : path;
  for (std::size_t i = 0; i < out.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(out[i]);
    if (IsLeadByte(c)) {
      ++i;
    } else if (c == '/') {
      out[i] = '\\';
    }
  }
  return out;
}

bool Env::GetFileSize(const char* path, std::uint64_t* size) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!::GetFileAttributesExA(path, GetFileExInfoStandard, &data)) return false;
  *size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  return true;
}

bool Env::FileExists(const char* path) { return ::GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

std::unique_ptr<File> Env::OpenShared(const char* path) {
  HANDLE h = ::CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return nullptr;
  return std::make_unique<Win32File>(h);
}

std::unique_ptr<File> Env::Create(const char* path) {
  HANDLE h = ::CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return nullptr;
  return std::make_unique<Win32File>(h);
}

bool Env::Delete(const char* path) { return ::DeleteFileA(path) != FALSE; }

bool Env::Rename(const char* from, const char* to) {
  return ::MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

bool Env::Locate(const char* path, Destination* out) {
  *out = Destination();
  out->path = path;
  const DWORD attributes = ::GetFileAttributesA(path);
  // Devices (NUL, CON, pipes) may or may not have attributes: their handle tells.
  HANDLE h = OpenForQuery(path);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    // Nothing there, or a link that leads nowhere; a link that cannot be followed (a
    // loop) is an error.
    return !(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) ||
           error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
  }
  BY_HANDLE_FILE_INFORMATION info;
  const bool identified = ::GetFileType(h) == FILE_TYPE_DISK && ::GetFileInformationByHandle(h, &info);
  if (identified) {
    out->id.volume = info.dwVolumeSerialNumber;
    out->id.file = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  }
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    char final[kMaxPath + 8];
    const DWORD n = ::GetFinalPathNameByHandleA(h, final, sizeof final, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (n > 0 && n < sizeof final) {
      std::string target(final, n);
      if (target.compare(0, 8, "\\\\?\\UNC\\") == 0) {
        target = "\\" + target.substr(7);
      } else if (target.compare(0, 4, "\\\\?\\") == 0) {
        target = target.substr(4);
      }
      out->path = target;
    }
  }
  ::CloseHandle(h);
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    out->kind = PathKind::kFolder;
  } else {
    out->kind = identified && attributes != INVALID_FILE_ATTRIBUTES ? PathKind::kRegular : PathKind::kOther;
  }
  return true;
}

bool Env::Identify(const char* path, FileId* out) {
  HANDLE h = OpenForQuery(path);
  if (h == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info;
  const bool ok = ::GetFileInformationByHandle(h, &info) != FALSE;
  ::CloseHandle(h);
  if (!ok) return false;
  out->volume = info.dwVolumeSerialNumber;
  out->file = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  return true;
}

std::unique_ptr<File> Env::CreateNew(const char* path, const char*) {
  // Shared for deleting: a signal handler can then remove it while it is still open
  // (it goes when its last handle does).
  HANDLE h = ::CreateFileA(path, GENERIC_WRITE, FILE_SHARE_DELETE, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return nullptr;
  return std::make_unique<Win32File>(h);
}

std::unique_ptr<File> Env::OpenDescriptor(int descriptor) {
  const DWORD which = descriptor == 0 ? STD_INPUT_HANDLE : descriptor == 1 ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE;
  HANDLE h = descriptor >= 0 && descriptor <= 2 ? ::GetStdHandle(which) : INVALID_HANDLE_VALUE;
  if (h == INVALID_HANDLE_VALUE || h == nullptr) return nullptr;
  return std::make_unique<Win32File>(h, false);
}

bool Env::FindFiles(const char* folder, const char* pattern, std::vector<DirEntry>* out) {
  out->clear();
  std::string query = folder;
  if (!query.empty() && query.back() != '\\' && query.back() != ':') query += '\\';
  query += pattern;
  WIN32_FIND_DATAA data;
  HANDLE h = ::FindFirstFileA(query.c_str(), &data);
  if (h == INVALID_HANDLE_VALUE) return ::GetLastError() == ERROR_FILE_NOT_FOUND;
  do {
    const char* name = data.cFileName;
    if ((name[0] == '.' && name[1] == '\0') || (name[0] == '.' && name[1] == '.' && name[2] == '\0')) continue;
    out->push_back(DirEntry{name, (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
  } while (::FindNextFileA(h, &data));
  ::FindClose(h);
  return true;
}

int Env::ShowMessageBox(void* owner, const char* text, const char* caption, unsigned type) {
  int answer = kIdOk;
  if (RecordMessageBox(text, caption, type, &answer)) return answer;
  return ::MessageBoxA(static_cast<HWND>(owner), text, caption, type);
}

Env* DefaultEnv() {
  static Env env;
  return &env;
}

}  // namespace srtm::platform
