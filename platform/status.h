// The outcome of an operation that can fail for a reason worth telling: ok, or a code
// and a message naming the failed check ("block (3, 4): stream ends after 120 samples").
// One error type for every library: no exceptions cross an interface.
#pragma once

#include <string>
#include <utility>

namespace srtm {

class Status {
 public:
  enum Code { kOk = 0, kCorrupt, kIoError, kInvalidArgument, kNotFound, kUnsupported };

  Status() = default;
  static Status Ok() { return Status(); }
  static Status Corrupt(std::string message) { return Status(kCorrupt, std::move(message)); }
  static Status IoError(std::string message) { return Status(kIoError, std::move(message)); }
  static Status InvalidArgument(std::string message) { return Status(kInvalidArgument, std::move(message)); }
  static Status NotFound(std::string message) { return Status(kNotFound, std::move(message)); }
  // Well formed, but beyond what is read (a 7z archive, an encrypted member, a limit).
  static Status Unsupported(std::string message) { return Status(kUnsupported, std::move(message)); }

  bool ok() const { return code_ == kOk; }
  Code code() const { return code_; }
  const std::string& message() const { return message_; }
  // "ok", or the kind of failure and its message.
  std::string ToString() const {
    static const char* const kNames[] = {"ok", "corrupt", "I/O error", "invalid argument", "not found",
                                       "not supported"};
    return ok() ? "ok" : std::string(kNames[code_]) + ": " + message_;
  }

 private:
  Status(Code code, std::string message) : code_(code), message_(std::move(message)) {}
  Code code_ = kOk;
  std::string message_;
};

}  // namespace srtm
