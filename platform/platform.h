// Files, folder searches, memory and message boxes for the plug-in and its tools.
//
// Paths are the plug-in's own: byte strings in DOS form ("Z:\a\b"), in the code page of
// the world (kPathCodePage) and at most kMaxPath bytes with the terminator. The Win32
// implementation hands them to the A functions unchanged: code page 932, 260 bytes, and
// the trail byte of a double-byte character is never a separator even when it is 0x5C.
// The POSIX implementation maps them to the system's paths, which are UTF-8 text: a
// drive prefix such as "Z:" stands for the root (as under Wine), every backslash is a
// '/', and a '/' in the plug-in's form is a backslash that is part of a name, so every
// name of the system goes through the plug-in's form and back unchanged.
//
// Every operation goes through the current Env, so tests can put a failing or
// counting Env in front of the real one (see SetEnv) without any fork of the code.
#pragma once

#include <climits>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <vector>

namespace srtm::platform {

// How the bytes of a path spell its characters.
enum class PathCodePage {
  kShiftJis,  // code page 932: a byte 0x80-0x9F or 0xE0-0xFF and the byte after it are one character
  kUtf8,      // every byte of a multi-byte character is 0x80 or above
};
#if defined(_WIN32)
constexpr PathCodePage kPathCodePage = PathCodePage::kShiftJis;
constexpr std::size_t kMaxPath = 260;  // path buffer size, terminator included
#else
constexpr PathCodePage kPathCodePage = PathCodePage::kUtf8;
// The system's longest path and the "Z:" the plug-in's form puts before it.
constexpr std::size_t kMaxPath = PATH_MAX + 2;
#endif

// An open file. Reads and writes report failure as false; `got` receives the number
// of bytes actually read (which may be short at the end of the file).
class File {
 public:
  virtual ~File() = default;
  virtual bool Read(void* buffer, std::size_t size, std::size_t* got) = 0;
  virtual bool ReadAt(std::uint64_t offset, void* buffer, std::size_t size, std::size_t* got) = 0;
  virtual bool Write(const void* data, std::size_t size) = 0;
  virtual bool Seek(std::uint64_t offset) = 0;
  virtual std::uint64_t Tell() = 0;
  // Closes the file; false when data could not be flushed. A destroyed File closes itself.
  virtual bool Close() = 0;
};

// One match of a folder search: a plain file name (no folder part).
struct DirEntry {
  std::string name;
  bool isDirectory = false;
};

// Message box types, icons and answers, with the Win32 values.
enum : unsigned {
  kMbOk = 0x0,
  kMbOkCancel = 0x1,
  kMbYesNo = 0x4,
  kMbIconError = 0x10,
  kMbIconQuestion = 0x20,
  kMbIconExclamation = 0x30,
  kMbIconInformation = 0x40,
};
enum : int { kIdOk = 1, kIdCancel = 2, kIdYes = 6, kIdNo = 7 };

// What a path names, symbolic links followed.
enum class PathKind {
  kMissing,  // nothing (or a link to nothing)
  kRegular,  // a regular file
  kFolder,
  kOther,  // a device, a named pipe, a terminal
};

// Which file a path names: the same file has the same identity whatever path leads to
// it (device and inode; volume and file index in the Windows world).
struct FileId {
  std::uint64_t volume = 0;
  std::uint64_t file = 0;
  bool operator==(const FileId& other) const { return volume == other.volume && file == other.file; }
};

// Where a path for an output leads (Env::Locate).
struct Destination {
  PathKind kind = PathKind::kMissing;
  // The path at the end of its symbolic links; the path itself when it is no link.
  std::string path;
  // An open descriptor of this process that the path names (natively /dev/stdout,
  // /dev/fd/N, /proc/self/fd/N, or a file that is the standard output or error), to be
  // written as it is; -1 for none.
  int descriptor = -1;
  FileId id;  // when kind is not kMissing
};

// Reasons a failure can be given (SimulateFailure, ErrorText).
enum class Failure { kIoError, kDiskFull, kAccessDenied, kNotFound, kIsADirectory, kNotADirectory };

// The operating system as the plug-in sees it. Every member has a real implementation
// in the platform's Env (DefaultEnv); test Envs override what they need and forward
// the rest.
class Env {
 public:
  virtual ~Env() = default;
  // Size of the file at `path`; false when its status cannot be read (no such file).
  virtual bool GetFileSize(const char* path, std::uint64_t* size);
  virtual bool FileExists(const char* path);
  // Read-only open that lets other processes read and write the file meanwhile.
  virtual std::unique_ptr<File> OpenShared(const char* path);
  // Creates or truncates a file for writing, without text translation, not shared.
  virtual std::unique_ptr<File> Create(const char* path);
  virtual bool Delete(const char* path);
  // Gives the file `from` the name `to`, replacing a file there in one step: a reader
  // of `to` sees the old file or the new one, never a mixture. false when it cannot.
  virtual bool Rename(const char* from, const char* to);
  // Where `path` leads through any chain of symbolic links (a link to nothing leads to
  // the name it points at), and what is there. false, with the reason, for a loop of
  // links or a path that cannot be looked up.
  virtual bool Locate(const char* path, Destination* out);
  // The identity of the file at `path`, links followed; false when there is none.
  virtual bool Identify(const char* path, FileId* out);
  // Creates a file that does not exist yet, for writing; null when the name is taken
  // or the file cannot be created. Only a file made this way is ever the caller's to
  // remove. With `like` (an existing file it is to replace), it gets that file's mode
  // and, where the process may set them, its owner and group, before anything is written.
  virtual std::unique_ptr<File> CreateNew(const char* path, const char* like);
  // An open descriptor of this process (1: standard output), unbuffered; closing it
  // leaves it open. Null when the world has no such descriptor.
  virtual std::unique_ptr<File> OpenDescriptor(int descriptor);
  // Names in `folder` matching `pattern` ("*.hgt": '*' and '?', letter case ignored),
  // in the order the file system returns them. false when the folder cannot be read.
  virtual bool FindFiles(const char* folder, const char* pattern, std::vector<DirEntry>* out);
  // Asked before every buffer the plug-in allocates; false makes the allocation fail.
  virtual bool MayAllocate(std::size_t bytes);
  // Shows (or, in the native world, records) a message box and returns the answer.
  // (Names avoid the Win32 macros CreateFile, DeleteFile and MessageBox.)
  virtual int ShowMessageBox(void* owner, const char* text, const char* caption, unsigned type);
};

Env* CurrentEnv();
// Installs `env` (nullptr: the default) and returns the one it replaces.
Env* SetEnv(Env* env);
Env* DefaultEnv();

inline bool GetFileSize(const char* path, std::uint64_t* size) { return CurrentEnv()->GetFileSize(path, size); }
inline bool FileExists(const char* path) { return CurrentEnv()->FileExists(path); }
inline std::unique_ptr<File> OpenShared(const char* path) { return CurrentEnv()->OpenShared(path); }
inline std::unique_ptr<File> CreateOutputFile(const char* path) { return CurrentEnv()->Create(path); }
inline bool RemoveFile(const char* path) { return CurrentEnv()->Delete(path); }
// What is at `path`, symbolic links followed (a loop of them: nothing).
inline PathKind Inspect(const char* path) {
  Destination at;
  return CurrentEnv()->Locate(path, &at) ? at.kind : PathKind::kMissing;
}
inline bool FindFiles(const char* folder, const char* pattern, std::vector<DirEntry>* out) {
  return CurrentEnv()->FindFiles(folder, pattern, out);
}
inline int ShowMessageBox(void* owner, const char* text, const char* caption, unsigned type) {
  return CurrentEnv()->ShowMessageBox(owner, text, caption, type);
}

// Allocates an array of n default-initialised T, or returns null when memory (or the
// current Env) refuses. Hot loops never allocate; these are the once-per-object buffers.
template <typename T>
std::unique_ptr<T[]> AllocateArray(std::size_t n) {
  if (n > SIZE_MAX / sizeof(T) || !CurrentEnv()->MayAllocate(n * sizeof(T))) return nullptr;
  return std::unique_ptr<T[]>(new (std::nothrow) T[n]);
}

// ---- Failures ----

// Why the last request of this thread failed, in the system's words ("No space left on
// device").
std::string LastErrorText();
// The system's words for `failure`.
std::string ErrorText(Failure failure);
// Makes LastErrorText tell `failure`: for an Env that fails requests on purpose.
void SimulateFailure(Failure failure);

// ---- Paths ----

// True when byte b starts a double-byte character of code page 932 (0x80-0x9F or
// 0xE0-0xFF): in the plug-in's Japanese texts, and in paths of that code page.
inline bool IsLeadByte(unsigned char b) { return (b >= 0x80 && b <= 0x9F) || b >= 0xE0; }
// True when byte b of a path in code page `cp` starts a double-byte character: the
// byte after it is its trail byte and is never tested as a separator. Never in UTF-8.
inline bool IsPathLeadByte(unsigned char b, PathCodePage cp) {
  return cp == PathCodePage::kShiftJis && IsLeadByte(b);
}

// Where the last part of a path of this system begins: after its last '/', and in the
// Windows world its last '\' or drive ':' (a trail byte is never one of them).
inline std::size_t NameStart(const std::string& path) {
  std::size_t start = 0;
  for (std::size_t i = 0; i < path.size(); ++i) {
#if defined(_WIN32)
    if (IsLeadByte(static_cast<unsigned char>(path[i]))) {
      ++i;
      continue;
    }
    if (path[i] == '\\' || path[i] == ':') start = i + 1;
#endif
    if (path[i] == '/') start = i + 1;
  }
  return start;
}

// The native path for a plug-in path (POSIX: drive prefix dropped, '\\' and '/'
// exchanged; Win32: unchanged).
std::string ToNativePath(const std::string& path);
// The plug-in path for a path a user typed on this system (POSIX: "/a/b" becomes
// "Z:\a\b", relative paths are made absolute first, a backslash in a name becomes '/';
// Win32: '/' becomes '\\').
std::string FromUserPath(const std::string& path);

// ---- Message boxes in the native world ----

// What a message box showed, as recorded by the native Env.
struct MessageBoxRecord {
  std::string text;
  std::string caption;
  unsigned type = 0;
};
// The native world shows no windows: message boxes are recorded and answered at once,
// by the responder when one is set, else with the first button (OK or Yes).
using MessageBoxResponder = int (*)(const MessageBoxRecord& shown, void* context);
void SetMessageBoxResponder(MessageBoxResponder responder, void* context);
std::vector<MessageBoxRecord> RecordedMessageBoxes();
void ClearRecordedMessageBoxes();

}  // namespace srtm::platform
