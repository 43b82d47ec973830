// One output file of a command, written so that nothing the user has is lost.
//
// A regular file, or a name not taken yet, is written under a temporary name of its own
// in the same folder (a file created new, never one that was there) and takes the
// target's name in one step when Commit has written all of it. On any failure, and for
// an output never committed, the temporary file is removed and a file already at the
// target stays byte for byte. A symbolic link is followed: the file it names is the one
// replaced, and the link stays. Anything that is not a regular file (a device, a named
// pipe, a terminal, standard output) is written in place and is never removed or
// renamed. Nothing the writer did not create is ever removed.
//
//   OutputFile out;
//   if (!out.Open(path)) ...;           // or OpenStandardOutput()
//   out.Write(...); out.Write(...);      // a failed write is remembered
//   if (!out.Commit()) ...;              // false: the output is not there, the old file is
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "platform/platform.h"

namespace srtm::platform {

class OutputFile {
 public:
  enum class Kind {
    kNone,            // not open
    kReplaced,        // a regular file, written beside the target and renamed over it
    kInPlace,         // a device, a pipe or a terminal, written as it is
    kStandardOutput,  // the process's standard output
  };

  OutputFile() = default;
  ~OutputFile();  // Abandon()
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Opens the output at the plug-in path `path`. False when it cannot be written there:
  // it is a folder, its folder does not exist or takes no new file, or the device
  // refuses (nothing is created then).
  bool Open(const std::string& path);
  // Opens the process's standard output (its C stream flushed first).
  bool OpenStandardOutput();

  // Appends bytes. False when they could not be written; every later Write and the
  // Commit then fail too.
  bool Write(const void* data, std::size_t size);

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

 private:
  std::unique_ptr<File> file_;
  Kind kind_ = Kind::kNone;
  std::string target_;
  std::string temporary_;
  bool failed_ = false;
};

// Writes `size` bytes as one output at the plug-in path `path`, by the rule above.
bool WriteOutputFile(const std::string& path, const void* data, std::size_t size);

}  // namespace srtm::platform
