// One output file of a command, written so that nothing the user has is lost.
//
// A regular file, or a name not taken yet, is written under a temporary name of its own
// in the same folder, ".<name>.~XXXXXXXX" (8 hexadecimal digits; ".~XXXXXXXX" when the
// name is too long for that): a file created new and exclusively, never one that was
// there, never shared by two runs, with the mode, owner and group of the file it will
// replace. It takes the target's name in one step when Commit has written all of it. On
// any failure, for an output never committed, and when a signal ends the process
// (platform/process.h), the temporary file is removed and a file already at the target
// stays byte for byte. A symbolic link is followed: the file it names is the one
// replaced, and the link stays; a loop of links is an error. Anything that is not a
// regular file (a device, a named pipe, a terminal) is written in place and is never
// removed or renamed, and so is standard output by any of its names (natively
// /dev/stdout, /dev/fd/N, /proc/self/fd/N, or a file it is redirected to): it is the
// open descriptor, so `>>` appends and a pipe works. An output that is the same file as
// one of the inputs given to Open is refused before anything is written. Nothing the
// writer did not create is ever removed.
//
//   OutputFile out;
//   if (!out.Open(path, {input})) ... out.error() ...;   // or OpenStandardOutput()
//   out.Write(...); out.Write(...);                       // a failed write is remembered
//   if (!out.Commit()) ... out.error() ...;               // the output is not there, the old file is
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace srtm::platform {

class OutputFile {
 public:
  enum class Kind {
    kNone,            // not open
    kReplaced,        // a regular file, written beside the target and renamed over it
    kInPlace,         // a device, a pipe or a terminal, written as it is
    kStandardOutput,  // an open descriptor of the process (standard output, ...)
  };

  OutputFile() = default;
  ~OutputFile();  // Abandon()
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Opens the output at the plug-in path `path`. False, with error(), when it cannot be
  // written there: it is a folder, a loop of links, the same file as one of `inputs`
  // (plug-in paths), its folder does not exist or takes no new file, or the device
  // refuses (nothing is created then).
  bool Open(const std::string& path, const std::vector<std::string>& inputs = {});
  // Opens the process's standard output (its C stream flushed first).
  bool OpenStandardOutput();

  // Appends bytes. False when they could not be written; every later Write and the
  // Commit then fail too.
  bool Write(const void* data, std::size_t size);
  // Goes back to `offset` to write there again: a replaced file only (seekable()).
  bool Seek(std::uint64_t offset);
  bool seekable() const { return kind_ == Kind::kReplaced; }

  // Completes the output: closes it and, for a regular file, gives the temporary file
  // the target's name. False when any write, the close or the rename failed; the
  // output is then abandoned.
  bool Commit();
  // Removes the temporary file of an output that is not committed; an output written
  // in place is closed and left as it is. Nothing happens when none is open.
  void Abandon();

  Kind kind() const { return kind_; }
  // The file that is replaced (links followed); empty for standard output.
  const std::string& target() const { return target_; }
  // The temporary file while one is being written; empty otherwise.
  const std::string& temporary() const { return temporary_; }
  // Why the last Open, Write, Seek or Commit failed, in the system's words ("No space
  // left on device"), or "is the input <path>"; empty after a success.
  const std::string& error() const { return error_; }
  // The last Open was refused because the output is one of its inputs.
  bool isAnInput() const { return isAnInput_; }

 private:
  bool Fail(std::string why);
  void Close();

  std::unique_ptr<File> file_;
  Kind kind_ = Kind::kNone;
  std::string target_;
  std::string temporary_;
  int slot_ = -1;  // the temporary file's place among those a signal removes
  bool failed_ = false;
  bool isAnInput_ = false;
  std::string error_;
};

// Writes `size` bytes as one output at the plug-in path `path`, by the rule above (none
// of `inputs`). On failure `why` (when given) gets error().
bool WriteOutputFile(const std::string& path, const void* data, std::size_t size, std::string* why = nullptr,
                     const std::vector<std::string>& inputs = {});

// True when `path` (a plug-in path) is the process's standard output by another name
// (natively /dev/stdout, /dev/fd/1, /proc/self/fd/1, or the file it is redirected to):
// a command's own lines then go to standard error, so that its data stays clean.
bool IsStandardOutput(const std::string& path);

// True when `name` is the name of a temporary file of the rule above.
bool IsTemporaryName(const std::string& name);

// True when a new file can be made in `folder` (one is made and removed again); else
// false with the system's reason ("Read-only file system", "Not a directory", ...).
bool FolderTakesFiles(const std::string& folder, std::string* why);

}  // namespace srtm::platform
