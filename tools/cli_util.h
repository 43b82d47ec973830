// Small pieces every command of the srtm tool uses: argument parsing, texts for the
// terminal, and the library's message boxes turned into lines on stderr.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace srtm::cli {

bool IsHelp(const char* arg);
// A whole decimal 32-bit number, nothing before or after it.
bool ParseInt32(const char* text, std::int32_t* out);
// "on" (1) or "off" (0).
bool ParseSwitch(const char* text, std::int32_t* out);
// An option that is not a number: "-o", "--fill" (a lone "-", "-5" or "-.5" is a value).
bool LooksLikeOption(const char* arg);

// The separator of the system's paths, for texts that show one.
#if defined(_WIN32)
constexpr char kPathSeparator[] = "\\";
#else
constexpr char kPathSeparator[] = "/";
#endif

// Code-page-932 text as the terminal shows it: natively converted to the character set
// of the locale (UTF-8 when the locale names none); in
// the Windows world unchanged (its consoles and pipes use code page 932), unless the
// console was set to UTF-8.
std::string ToTerminal(const std::string& cp932);
// Code-page-932 text as UTF-8.
std::string Cp932ToUtf8(const std::string& cp932);
// Text of the system (a path as typed, a message) as UTF-8: natively as it is, with
// U+FFFD for each byte that is not UTF-8; in the Windows world from the ANSI code page.
std::string SystemTextToUtf8(const std::string& text);

// True when `stream` is a terminal (progress bars redraw in place only there).
bool IsTerminal(FILE* stream);

// Output files named on the command line ("-o OUT"): "-" is standard output, anything
// else a path of this system written by the output rule of platform/output_file.h (a
// regular file replaced only when complete; devices and pipes written in place; nothing
// the tool did not create ever removed).
bool IsStandardOutput(const std::string& arg);
// Writes `size` bytes as the output `arg`; false when they could not all be written.
bool WriteOutput(const std::string& arg, const void* data, std::size_t size);
// Where a command's informational lines go: standard error when its data goes to
// standard output, so that the data stays clean; standard output otherwise.
FILE* InfoStream(const std::string& outputArg);

// Prints the message boxes the library shows on stderr instead ("srtm: <text>", with
// the prefix of the current thread when one is set) and answers OK, for its lifetime.
class MessageBoxesToStderr {
 public:
  MessageBoxesToStderr();
  ~MessageBoxesToStderr();
  MessageBoxesToStderr(const MessageBoxesToStderr&) = delete;
  MessageBoxesToStderr& operator=(const MessageBoxesToStderr&) = delete;

  // What this thread's message boxes are about ("N57E011.hgt"); empty for nothing.
  static void SetSubject(const std::string& subject);
};

}  // namespace srtm::cli
